#!/usr/bin/env bash
# Installs the build into a temporary prefix and builds a host program against it twice:
# with CMake's find_package(Brevalcore) and with pkg-config. Each host must run.
set -euo pipefail
build=$1 source=$2
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
prefix=$work/prefix

cmake --install "$build" --prefix "$prefix" >/dev/null
export BREVALCORE_COMMON_APPDATA=$work/data BREVALCORE_CONTROL_DIR=$work/control
mkdir -p "$BREVALCORE_COMMON_APPDATA" "$BREVALCORE_CONTROL_DIR"

echo "== find_package(Brevalcore)"
cmake -S "$source/consumer" -B "$work/cmake-host" -G Ninja -DCMAKE_PREFIX_PATH="$prefix" >/dev/null
cmake --build "$work/cmake-host" >/dev/null
"$work/cmake-host/host"

echo "== pkg-config brevalcore"
export PKG_CONFIG_PATH=$prefix/lib/pkgconfig:$prefix/lib/$(gcc -print-multiarch 2>/dev/null || true)/pkgconfig
# shellcheck disable=SC2046
c++ -std=c++20 "$source/consumer/host.cpp" -o "$work/pc-host" $(pkg-config --cflags --libs brevalcore)
"$work/pc-host"

if [ -x "$prefix/bin/brevalcore" ] && [ -f "$prefix/share/brevalcore/BVCRES.DLL" ]; then
  echo "== installed brevalcore demo"
  "$prefix/bin/brevalcore" demo --data-root "$work/demo-data" --control-dir "$work/demo-control" >"$work/demo.txt"
  grep -q "The session is over" "$work/demo.txt"
fi
echo "installed library usable"
