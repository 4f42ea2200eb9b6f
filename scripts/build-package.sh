#!/usr/bin/env bash
# Builds the Debian package of the programs: scripts/build-package.sh [BUILD_DIR]
# BUILD_DIR (default build-package) is configured as a Release build without tests the first
# time; an existing build tree (build/ after ./test) is reused as it is. Prints the package's path.
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build-package}
if [ ! -f "$build/CMakeCache.txt" ]; then
  launcher=()
  command -v ccache >/dev/null && launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache -DCMAKE_C_COMPILER_LAUNCHER=ccache)
  cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=Release -DPIXAROLL_TESTS=OFF -DPIXAROLL_BENCH=OFF "${launcher[@]}" >/dev/null
fi
# What the package holds; the rest of the tree (tests, benchmarks) is not needed for it.
cmake --build "$build" -j2 --target pixaroll pixaroll-cli install-data >/dev/null
rm -f "$build"/pixaroll_*.deb
if ! log=$(cd "$build" && cpack -G DEB 2>&1); then
  echo "$log" >&2
  exit 1
fi
ls "$PWD/$build"/pixaroll_*.deb
