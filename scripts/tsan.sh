#!/usr/bin/env bash
# Runs the whole suite under ThreadSanitizer (not part of CI's time budget) with the suppressions of
# tsan.supp, which cover only GLib/GStreamer internals. Any report fails the test that produced it.
# Extra arguments go to ctest (e.g. -R capture).
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh test
scripts/build.sh build-tsan -DTARVO_TSAN=ON -DTARVO_BENCH=OFF -DCMAKE_BUILD_TYPE=Debug
export TSAN_OPTIONS="second_deadlock_stack=1 halt_on_error=1 exitcode=66 suppressions=$PWD/tsan.supp"
(cd build-tsan && ctest --output-on-failure -j"$(nproc)" --timeout 900 "$@")
