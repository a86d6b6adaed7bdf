#!/usr/bin/env bash
# Configures and builds into build/ (or the folder given), passing extra CMake options through.
# Usage: scripts/build.sh [build-dir] [-DOPTION=...]
set -euo pipefail
cd "$(dirname "$0")/.."
dir=${1:-build}
shift || true
gen=(); command -v ninja >/dev/null && gen=(-G Ninja)
[ -f "$dir/CMakeCache.txt" ] && gen=()
# A compiler cache, when installed, makes rebuilds in other checkouts of the tree cheap.
command -v ccache >/dev/null && gen+=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache -DCMAKE_C_COMPILER_LAUNCHER=ccache)
cmake -S . -B "$dir" "${gen[@]}" "$@" >/dev/null
cmake --build "$dir" -j"$(nproc)"
