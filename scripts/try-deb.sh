#!/usr/bin/env bash
# Builds the Debian package, installs it into a fresh Debian 12 system made
# with debootstrap (kept in DEB_ROOT for later runs), and starts the panel
# there on its simulated chassis, offscreen, for a few seconds. Needs root and
# a Debian archive (this system's apt sources', or DEBIAN_MIRROR). Not part
# of CI.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${BUILD_DIR:-"$root/build"}
target=${DEB_ROOT:-/tmp/nv815-deb-root}
# shellcheck source=chroot-common.sh
. "$root/scripts/chroot-common.sh"

if [ "$(id -u)" -ne 0 ]; then
  echo "try-deb: run this as root (debootstrap and chroot need it)." >&2
  exit 1
fi
"$root/scripts/install-deps.sh"
command -v debootstrap >/dev/null || apt-get install -y -q --no-install-recommends debootstrap

echo "try-deb: building the package"
cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=${BUILD_TYPE:-RelWithDebInfo} >/dev/null
cmake --build "$build" -j"$(nproc)" --target nv815-panel nvsim_visa nvsim_driver
(cd "$build" && cpack -G DEB >/dev/null)
deb=$(ls "$build"/nv815-panel_*_amd64.deb | head -n 1)
echo "try-deb: $deb"
dpkg-deb -f "$deb" Depends

if [ ! -x "$target/usr/bin/apt-get" ]; then
  mirror=$(debian_mirror)
  use_apt_proxy
  echo "try-deb: making a fresh Debian 12 in $target from $mirror"
  debootstrap --variant=minbase bookworm "$target" "$mirror" >/dev/null
fi
mount_for_chroot "$target"
cp "$deb" "$target/tmp/"
echo "try-deb: installing the package and what it depends on"
chroot "$target" apt-get update -q >/dev/null
chroot "$target" env DEBIAN_FRONTEND=noninteractive \
  apt-get install -y -q --no-install-recommends "/tmp/$(basename "$deb")" >/dev/null
chroot "$target" nv815-panel --version
status=0
chroot "$target" env QT_QPA_PLATFORM=offscreen timeout 5 nv815-panel-demo || status=$?
if [ "$status" -eq 124 ]; then
  echo "try-deb: the installed panel started on its simulated chassis and ran until stopped."
else
  echo "try-deb: the installed panel ended with status $status." >&2
  exit 1
fi
