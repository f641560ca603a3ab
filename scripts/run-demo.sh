#!/usr/bin/env bash
# Installs what is missing, builds the panel and the simulated PXI chassis (and
# nothing else), and starts the panel on that chassis. Set NVSIM_CHASSIS to an
# INI file to describe another chassis. Tests and benchmarks: scripts/test.sh.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${BUILD_DIR:-"$root/build"}

if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ] && [ -z "${QT_QPA_PLATFORM:-}" ]; then
  echo "run-demo: the panel needs a graphical session (neither DISPLAY nor WAYLAND_DISPLAY is set); to run it without one, set QT_QPA_PLATFORM=offscreen." >&2
  exit 1
fi

echo "run-demo: checking the Debian packages the build needs"
"$root/scripts/install-deps.sh"
echo "run-demo: configuring in $build"
# Ninja keeps both cores busy to the end; a tree configured before keeps its generator.
generator=()
[ -f "$build/CMakeCache.txt" ] || generator=(-G Ninja)
cmake -S "$root" -B "$build" "${generator[@]}" -DCMAKE_BUILD_TYPE=${BUILD_TYPE:-RelWithDebInfo} >/dev/null
echo "run-demo: building the panel and the simulated chassis ($(nproc) jobs; a first build takes under a minute on two cores)"
cmake --build "$build" -j"$(nproc)" --target nv815-panel nvsim_visa nvsim_driver
echo "run-demo: starting $build/src/nv815-panel on the simulated chassis"
export LD_LIBRARY_PATH="$build/sim${LD_LIBRARY_PATH:+:$LD_LIBRARY_PATH}"
exec "$build/src/nv815-panel" "$@"
