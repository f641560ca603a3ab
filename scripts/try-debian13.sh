#!/usr/bin/env bash
# Builds and tests the project in a fresh Debian 13 (trixie) made with
# debootstrap, exactly as the README says: the sources are copied into it and
# scripts/test.sh installs the packages, builds and runs every test there. The
# system is kept in TRIXIE_ROOT for later runs (the sources and the build are
# made again each time). Needs root and a Debian archive (this system's apt
# sources', or DEBIAN_MIRROR); takes about 20 minutes on two cores. Not part
# of CI. TRY_TESTS=REGEX runs only the tests it matches (TRY_TESTS=hislip: the
# HiSLIP tests, PyVISA's HiSLIP client among them, which Debian 12 lacks).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
target=${TRIXIE_ROOT:-/tmp/nv815-trixie-root}
# shellcheck source=chroot-common.sh
. "$root/scripts/chroot-common.sh"

if [ "$(id -u)" -ne 0 ]; then
  echo "try-debian13: run this as root (debootstrap and chroot need it)." >&2
  exit 1
fi
command -v debootstrap >/dev/null ||
  apt-get -o DPkg::Lock::Timeout=0 install -y -q --no-install-recommends debootstrap

if [ ! -x "$target/usr/bin/apt-get" ]; then
  mirror=$(debian_mirror)
  use_apt_proxy
  echo "try-debian13: making a fresh Debian 13 in $target from $mirror"
  debootstrap --variant=minbase trixie "$target" "$mirror" >/dev/null
fi
mount_for_chroot "$target"

echo "try-debian13: copying the sources"
rm -rf "$target/src/nv815"
mkdir -p "$target/src/nv815"
(cd "$root" && git ls-files -z --cached --others --exclude-standard |
  tar --null -T - -cf -) | tar -xf - -C "$target/src/nv815"

echo "try-debian13: scripts/test.sh in Debian 13"
chroot "$target" env -i PATH=/usr/sbin:/usr/bin:/sbin:/bin HOME=/root \
  TRY_TESTS="${TRY_TESTS:-}" \
  bash -c 'cd /src/nv815 && scripts/test.sh ${TRY_TESTS:+-R "$TRY_TESTS"}' 2>&1 |
  tee "$target/src/test.log"
status=${PIPESTATUS[0]}
warnings=$(grep -c 'warning:' "$target/src/test.log" || true)
echo "try-debian13: scripts/test.sh ended with status $status; $warnings compiler warnings" \
  "(the whole output is in $target/src/test.log)."
[ "$status" -eq 0 ] && [ "$warnings" -eq 0 ]
