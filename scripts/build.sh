#!/usr/bin/env bash
# Configures and builds into build/ (or the folder given), passing extra CMake options through.
# Usage: scripts/build.sh [build-dir] [-DOPTION=...]
set -euo pipefail
cd "$(dirname "$0")/.."
dir=${1:-build}
shift || true
gen=(); command -v ninja >/dev/null && gen=(-G Ninja)
[ -f "$dir/CMakeCache.txt" ] && gen=()
cmake -S . -B "$dir" "${gen[@]}" "$@" >/dev/null
cmake --build "$dir" -j"$(nproc)"
