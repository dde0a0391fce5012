#!/usr/bin/env bash
# Installs the build into a temporary prefix and uses it as an integrator would, from folders
# outside the source tree: checks that only the public headers and shared libraries are
# installed, builds examples/c-host with pkg-config and with find_package (a C-only project)
# and runs it, runs examples/python over ctypes, builds examples/gtk-host both ways, and makes
# the Debian package with cpack.
#   install_test.sh BUILD_DIR SOURCE_DIR
set -euo pipefail
build=$1 source=$2
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
prefix=$work/prefix
fail() { echo "FAILED: $*" >&2; exit 1; }

cmake --install "$build" --prefix "$prefix" >/dev/null
lib=$(find "$prefix" -name libbrevalcore.so.1 -print -quit)
[ -n "$lib" ] || fail "libbrevalcore.so.1 is not installed"
libdir=$(dirname "$lib")
export PKG_CONFIG_PATH=$libdir/pkgconfig LD_LIBRARY_PATH=$libdir

echo "== nothing internal is installed"
headers=$(cd "$prefix/include" && find . -type f | LC_ALL=C sort | tr '\n' ' ')
case "$headers" in
  "./brevalcore/brevalcore.h ./brevalcore/control.h ./brevalcore/gtk.h " | \
  "./brevalcore/brevalcore.h ./brevalcore/control.h ") ;;
  *) fail "installed headers: $headers" ;;
esac
[ -z "$(find "$prefix" -name '*.a')" ] || fail "static archives installed: $(find "$prefix" -name '*.a')"
pkg-config --cflags brevalcore | grep -q -- '-std' && fail "pkg-config forces a language standard"

package=$prefix/share/brevalcore
[ -f "$package/BVCRES.DLL" ] || fail "the sample package is not installed"
# Runs a headless example in fresh folders and checks the lines every run prints.
run_headless() {
  local name=$1; shift
  local run=$work/run-$name
  mkdir -p "$run/control" "$run/data"
  "$@" "$run/control" "$run/data" "$package" >"$run/out.txt" 2>&1 || { cat "$run/out.txt"; fail "$name failed"; }
  for line in "ABI 1" "InitializeContext -> True" "page file://$run/data/Brevalcore/B12.html" \
              "event OnRequiredDrugDescription" "event OnClick" "done"; do
    grep -qF "$line" "$run/out.txt" || { cat "$run/out.txt"; fail "$name printed no \"$line\""; }
  done
  [ -f "$run/control/BVC_D1.INI" ] || fail "$name: no settings file in its control folder"
  echo "$name: ok"
}

echo "== examples/c-host"
# shellcheck disable=SC2046
cc -std=c11 -Wall -Wextra -pedantic -Werror "$source/examples/c-host/host.c" -o "$work/c-host-pc" \
  $(pkg-config --cflags --libs brevalcore)
run_headless c-host-pkg-config "$work/c-host-pc"
cmake -S "$source/examples/c-host" -B "$work/c-host" -G Ninja -DCMAKE_PREFIX_PATH="$prefix" >/dev/null
cmake --build "$work/c-host" >/dev/null
run_headless c-host-find-package "$work/c-host/c-host"

echo "== examples/python"
BREVALCORE_LIBRARY=$lib run_headless python python3 "$source/examples/python/host.py"

if [ -f "$prefix/include/brevalcore/gtk.h" ]; then
  echo "== examples/gtk-host (built; it needs a display to run)"
  # shellcheck disable=SC2046
  c++ -std=c++20 -Wall -Wextra "$source/examples/gtk-host/host.cpp" -o "$work/gtk-host-pc" \
    $(pkg-config --cflags --libs brevalcore-gtk)
  cmake -S "$source/examples/gtk-host" -B "$work/gtk-host" -G Ninja -DCMAKE_PREFIX_PATH="$prefix" >/dev/null
  cmake --build "$work/gtk-host" >/dev/null
fi

if [ -x "$prefix/bin/brevalcore" ]; then
  echo "== installed brevalcore demo"
  "$prefix/bin/brevalcore" demo --data-root "$work/demo-data" --control-dir "$work/demo-control" >"$work/demo.txt"
  grep -q "The session is over" "$work/demo.txt" || fail "brevalcore demo"
  echo "== installed completion and manual pages"
  [ -f "$prefix/share/bash-completion/completions/brevalcore" ] || fail "no bash completion installed"
  [ -f "$prefix/share/zsh/vendor-completions/_brevalcore" ] || fail "no zsh completion installed"
  for page in brevalcore brevalcore-check brevalcore-pack brevalcore-trace; do
    MANWIDTH=80 man -l "$prefix/share/man/man1/$page.1" >/dev/null 2>&1 || fail "manual page $page(1)"
  done
fi

echo "== cpack -G DEB"
(cd "$work" && cpack -G DEB --config "$build/CPackConfig.cmake" -B "$work/deb" >/dev/null)
deb=$(find "$work/deb" -maxdepth 1 -name '*.deb' -print -quit)
[ -n "$deb" ] || fail "cpack made no .deb"
contents=$(dpkg-deb -c "$deb")
for file in libbrevalcore.so.1 include/brevalcore/brevalcore.h include/brevalcore/control.h pkgconfig/brevalcore.pc \
            cmake/Brevalcore/BrevalcoreConfig.cmake bin/brevalcore man1/brevalcore-check.1 \
            bash-completion/completions/brevalcore; do
  grep -qF "$file" <<<"$contents" || fail "the package lacks $file"
done
grep -q '\.a$' <<<"$contents" && fail "the package holds static archives"
dpkg-deb -f "$deb" Depends | grep -q libc6 || fail "the package declares no dependencies"
echo "installed library usable: $(basename "$deb")"
