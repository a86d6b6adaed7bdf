#!/usr/bin/env bash
# Sets up, builds and runs every test: the normal build, then the same suite under
# AddressSanitizer + UndefinedBehaviorSanitizer.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh test
jobs=$(nproc)

scripts/build.sh build
(cd build && ctest --output-on-failure -j"$jobs" --timeout 600)

if [ "${TARVO_SKIP_ASAN:-0}" != 1 ]; then
  scripts/build.sh build-asan -DTARVO_SANITIZE=ON -DTARVO_BENCH=OFF -DCMAKE_BUILD_TYPE=Debug
  (cd build-asan && ctest --output-on-failure -j"$jobs" --timeout 900)
fi
