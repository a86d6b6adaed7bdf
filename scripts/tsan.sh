#!/usr/bin/env bash
# Runs the whole suite under ThreadSanitizer (not part of CI's time budget).
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh test
scripts/build.sh build-tsan -DTARVO_TSAN=ON -DTARVO_BENCH=OFF -DCMAKE_BUILD_TYPE=Debug
(cd build-tsan && ctest --output-on-failure -j"$(nproc)" --timeout 900 "$@")
