#!/usr/bin/env bash
# Installs what is missing, builds, and runs every test (offscreen, against the
# simulated chassis of the build tree). Arguments go to ctest: -R REGEX runs
# only the tests it matches.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
"$root/scripts/install-deps.sh"
"$root/scripts/build.sh"
build=${BUILD_DIR:-"$root/build"}
cd "$build"
QT_QPA_PLATFORM=offscreen ctest --output-on-failure -j"$(nproc)" "$@"
