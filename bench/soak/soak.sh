#!/usr/bin/env bash
# Long unattended run (not part of CI). Usage: bench/soak/soak.sh [minutes] [build-dir] [WxH]
set -euo pipefail
cd "$(dirname "$0")/../.."
minutes=${1:-30}
build=${2:-build}
size=${3:-640x480}
[ -x "$build/tarvo" ] && [ -x "$build/tools/write_profile" ] || \
  cmake --build "$build" -j"$(nproc)" --target tarvo write_profile
exec /usr/bin/python3 bench/soak/soak.py "$build" --minutes "$minutes" --size "$size"
