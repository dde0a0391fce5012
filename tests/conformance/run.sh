#!/usr/bin/env bash
# Runs the conformance areas by hand and prints their counts:
#   tests/conformance/run.sh build/bin/brevalcore [AREA...]
set -uo pipefail
here=$(cd "$(dirname "$0")" && pwd)
tool=$1; shift
areas=("$@")
if [ ${#areas[@]} -eq 0 ]; then
  for f in "$here"/*.vbs; do [ "$(basename "$f")" = prelude.vbs ] || areas+=("$(basename "$f" .vbs)"); done
fi
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
status=0
for area in "${areas[@]}"; do
  cat "$here/prelude.vbs" "$here/$area.vbs" > "$work/$area.vbs"
  "$tool" vbs "$work/$area.vbs" || status=1
done
exit $status
