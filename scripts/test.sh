#!/usr/bin/env bash
# Installs what is missing, builds, and runs the whole test suite headless.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
scripts/build.sh
cmake --build build --target format-check
export QT_QPA_PLATFORM=offscreen
cd build
ctest --output-on-failure -j2 "$@"
