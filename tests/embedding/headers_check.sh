#!/usr/bin/env bash
# Every public header compiles alone, with warnings as errors: the C header as C11 and C++20,
# the C++ header as C++20, the GTK header as both (GTK's own headers as system headers).
#   headers_check.sh C_COMPILER CXX_COMPILER INCLUDE_DIR
set -euo pipefail
cc=$1 cxx=$2 include=$3
strict=(-Wall -Wextra -pedantic -Werror -fsyntax-only -I "$include")
check() {
  local header=$1; shift
  echo "#include <brevalcore/$header>" | "$@" "${strict[@]}" - || { echo "$header does not compile alone: $*" >&2; exit 1; }
}
check brevalcore.h "$cc" -std=c11 -x c
check brevalcore.h "$cxx" -std=c++20 -x c++
check control.h "$cxx" -std=c++20 -x c++
# The C and C++ interfaces together, as a C++ host may include them.
printf '#include <brevalcore/brevalcore.h>\n#include <brevalcore/control.h>\n' |
  "$cxx" -std=c++20 -x c++ "${strict[@]}" - || { echo "brevalcore.h and control.h do not compile together" >&2; exit 1; }
if [ -f "$include/brevalcore/gtk.h" ] && pkg-config --exists gtk+-3.0; then
  read -r -a gtk <<<"$(pkg-config --cflags-only-I gtk+-3.0 | sed 's/-I/-isystem /g')"
  check gtk.h "$cc" -std=c11 -x c "${gtk[@]}"
  check gtk.h "$cxx" -std=c++20 -x c++ "${gtk[@]}"
fi
echo "public headers compile alone"
