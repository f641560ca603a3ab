#!/usr/bin/env bash
# Runs a command in a network and mount namespace of its own, with its
# loopback up, a port mapper (rpcbind) of its own, and, where they are
# installed, a system D-Bus and an Avahi daemon of its own on a veth pair
# (Avahi leaves loopback alone), so that a test registers, announces and
# looks up servers without touching this computer's. Exit 77 (skipped)
# where no namespace can be made or rpcbind is missing.
set -euo pipefail
if [ "${NV815_IN_NETNS:-}" != 1 ]; then
  command -v rpcbind >/dev/null || { echo "netns.sh: rpcbind is not installed" >&2; exit 77; }
  for how in "unshare -n -m" "unshare -rn -m"; do
    if $how true 2>/dev/null; then
      NV815_IN_NETNS=1 exec $how "$0" "$@"
    fi
  done
  echo "netns.sh: no network namespace can be made here" >&2
  exit 77
fi
mount --make-rprivate / 2>/dev/null || true
ip link set lo up
for dir in /run/rpcbind /run/dbus /run/avahi-daemon; do
  mkdir -p "$dir" && mount -t tmpfs tmpfs "$dir"
done
rpcbind -f -w &
mapper=$!
trap 'kill $mapper 2>/dev/null || true; avahi-daemon -k 2>/dev/null || true' EXIT
if command -v avahi-daemon >/dev/null && command -v dbus-daemon >/dev/null &&
  ip link add nv815a type veth peer name nv815b 2>/dev/null; then
  ip link set nv815a multicast on up
  ip link set nv815b multicast on up
  ip addr add 192.0.2.10/24 dev nv815a
  dbus-daemon --system --fork
  avahi-daemon -D --no-drop-root --no-chroot >/dev/null 2>&1 || true
  for _ in $(seq 50); do
    avahi-daemon -c 2>/dev/null && break
    sleep 0.1
  done
fi
for _ in $(seq 50); do
  rpcinfo -p 127.0.0.1 >/dev/null 2>&1 && break
  sleep 0.1
done
"$@"
