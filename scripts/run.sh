#!/usr/bin/env bash
# Sets up, builds and starts Tarvo. Without a camera it uses the built-in test device.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh build
scripts/build.sh build
exec build/tarvo "$@"
