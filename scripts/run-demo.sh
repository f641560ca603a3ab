#!/usr/bin/env bash
# Installs what is missing, builds, and starts the panel on the simulated PXI
# chassis. Set NVSIM_CHASSIS to an INI file to describe another chassis.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
"$root/scripts/install-deps.sh"
"$root/scripts/build.sh"
build=${BUILD_DIR:-"$root/build"}
export LD_LIBRARY_PATH="$build/sim${LD_LIBRARY_PATH:+:$LD_LIBRARY_PATH}"
exec "$build/src/nv815-panel" "$@"
