#!/usr/bin/env bash
# The library's ABI as hosts see it: its SONAME, and the exported symbols (with their version)
# compared with the committed list. A change to the list is a change to the ABI: review it,
# and raise the SONAME when something was removed or changed.
#   abi_check.sh LIBRARY SYMBOL_LIST SONAME
set -euo pipefail
lib=$1 expected=$2 soname=$3
if ! readelf -d "$lib" | grep -q "Library soname: \[$soname\]"; then
  echo "$lib: the SONAME is not $soname" >&2
  exit 1
fi
actual=$(nm -D --defined-only "$lib" | awk '{print $3}' | LC_ALL=C sort)
if ! diff -u "$expected" <(echo "$actual"); then
  echo "$lib: the exported symbols differ from $expected (- committed, + built)" >&2
  exit 1
fi
echo "$lib: $(echo "$actual" | wc -l) symbols as committed, SONAME $soname"
