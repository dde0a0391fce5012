#!/usr/bin/env bash
# Plays `brevalcore demo` twice over the same banner folder (as two doctors on one machine)
# and checks what a reader relies on: the narration's key lines in their order, the letter
# filled in, the package unpacked once, nothing written outside the demo's folders, and a clear
# error for a package that is missing.
set -euo pipefail
tool=$1 samples=$2
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
export TMPDIR=$work/tmp HOME=$work/home
mkdir -p "$TMPDIR" "$HOME"
fail() { echo "FAIL: $*" >&2; [ -z "${DEMO_TEST_KEEP:-}" ] || cp -r "$work" "$DEMO_TEST_KEEP"; exit 1; }

run_demo() {
  "$tool" demo --data-root "$work/data" "$@"
}

# Each line must appear after the one before it. One awk reads the whole file: a reader
# that stops at its first match would break the pipe of the one writing to it.
expect_in_order() {
  local file=$1; shift
  printf '%s\n' "$@" >"$work/wanted.txt"
  local missing
  missing=$(awk 'NR == FNR { want[++n] = $0; next }
                 k < n && index($0, want[k + 1]) { k++ }
                 END { if (k < n) print want[k + 1] }' "$work/wanted.txt" "$file")
  [ -z "$missing" ] || fail "missing from ${file##*/}, or out of order: $missing"
}

run_demo --control-dir "$work/control" >"$work/first.txt" || fail "the demo ended with status $?"
files=$(find "$samples/package" -maxdepth 1 -type f | wc -l)
expect_in_order "$work/first.txt" \
  "package   $files files unpacked from BVCRES.DLL into the banner folder" \
  '  host      StartPrescription()' \
  '  rules     chose banner B12' \
  '  page      B12.html  «Vitamina B12 dopo i 65 anni»' \
  '  event     OnRequiredDrugDescription("029876015")  host answers "Cobalvit 1000 mcg 30 compresse"' \
  '  event     OnCommandClickExtended("PRESCRIBE", "029876015", "NOTREPLACEABLE=0")' \
  '  rules     chose banner gastroprotezione in place of B12' \
  '  rules     no banner now (was gastroprotezione): the default page comes back' \
  '  event     OnRequiredField("AMBULATORIO")  host answers "Via Saragozza 12, Bologna"' \
  '  shell     opens <banner folder>/TEMP/~D0451_20261207085000_lettera.rtf' \
  '  event     OnCommandClick("SUBSTITUTE", "039876543&1")' \
  '  event     OnCommandClick("AUTOSUBSTITUTE", "039876543&1")' \
  '  rules     chose banner ecm?asl=105' \
  'BVC_D0451.INI' \
  '    [B12]' \
  'The session is over.'

letter=$work/data/Brevalcore/TEMP/~D0451_20261207085000_lettera.rtf
[ -f "$letter" ] || fail "the letter was not written"
for field in Esposito Bianchi "Via Saragozza 12, Bologna"; do
  grep -q -F "$field" "$letter" || fail "the letter lacks $field"
done
grep -q -F '??' "$letter" && fail "a field of the letter was left unfilled"

# Another doctor's copy of the host on the same machine: the banner folder is shared and
# already at the package's version, so nothing is unpacked again.
run_demo --control-dir "$work/control2" >"$work/second.txt" || fail "the second demo ended with status $?"
expect_in_order "$work/second.txt" \
  "the banner folder is already at the library's version: nothing to unpack" 'The session is over.'
grep -q -F "files unpacked" "$work/second.txt" && fail "the second run unpacked the package again"

# Everything the demo writes is in its two folders (and the desktop under the data root).
stray=$(find "$work" -mindepth 1 -maxdepth 1 ! -name data ! -name control ! -name control2 ! -name tmp ! -name home \
          ! -name first.txt ! -name second.txt ! -name wanted.txt)
[ -z "$stray" ] || fail "written outside the demo's folders: $stray"
[ -z "$(find "$TMPDIR" "$HOME" -mindepth 1)" ] || fail "written in the temporary or home folder"

if run_demo --control-dir "$work/control3" --package "$work/none/BVCRES.DLL" >"$work/missing.txt" 2>&1; then
  fail "a missing package was accepted"
fi
grep -q -F "no package at $work/none/BVCRES.DLL" "$work/missing.txt" || fail "the error does not name the package: $(cat "$work/missing.txt")"
echo "demo checked"
