#!/usr/bin/env bash
# Installs the Debian packages that building, testing and running the panel
# need, when they are missing. Safe to run again: it installs only what lacks.
set -euo pipefail

packages=(
  build-essential cmake ninja-build pkg-config
  qt6-base-dev qt6-base-dev-tools qt6-qpa-plugins libgl-dev fonts-dejavu-core
  libsimpleini-dev libjpeg62-turbo-dev libmuparser-dev libsndfile1-dev
  libbenchmark-dev
  python3-pyvisa python3-pyvisa-py lxi-tools
  libtirpc-dev rpcsvc-proto rpcbind libmicrohttpd-dev libsodium-dev chromium
  libgnutls28-dev libgsasl-dev gnutls-bin chromium-driver python3-selenium
  libavahi-client-dev avahi-daemon avahi-utils dbus python3-pymeasure
  iproute2 curl libxml2-utils python3-zeroconf python3-psutil
  clang-format clang
  desktop-file-utils appstream
  xvfb xauth xdotool
)

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
    missing+=("$p")
  fi
done

if [ ${#missing[@]} -eq 0 ]; then
  echo "install-deps: every package is already installed."
  exit 0
fi

echo "install-deps: installing ${missing[*]}"
if [ "$(id -u)" -ne 0 ]; then
  if command -v sudo >/dev/null 2>&1; then
    SUDO=sudo
  else
    echo "install-deps: run this script as root (or install sudo) to install: ${missing[*]}" >&2
    exit 1
  fi
else
  SUDO=
fi
export DEBIAN_FRONTEND=noninteractive
# Another apt or dpkg at work: said at once, not waited for.
apt_get() {
  if ! $SUDO apt-get -o DPkg::Lock::Timeout=0 "$@"; then
    echo "install-deps: apt-get $1 failed (another apt or dpkg may be running: let it" \
      "finish, then run this again)." >&2
    exit 1
  fi
}
apt_get update -q
apt_get install -y -q --no-install-recommends "${missing[@]}"
