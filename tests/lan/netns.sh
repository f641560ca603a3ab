#!/usr/bin/env bash
# Runs a command in a network and mount namespace of its own, with its
# loopback up, its own /run (so nothing of this computer's daemons is seen),
# a port mapper (rpcbind) of its own, where they are installed a system
# D-Bus and an Avahi daemon of its own on a veth pair (Avahi leaves loopback
# alone), and a second namespace, a peer host reached through another veth
# pair, that a test can make vanish without a word by taking its link down.
# A test thus registers, announces and looks up servers, and meets clients
# from elsewhere, without touching this computer's network. The command sees
# NV815_PEER_NETNS (the peer's namespace, for setns), NV815_PEER_ADDRESS and
# NV815_HOST_ADDRESS (the two ends) and NV815_PEER_LINK (the peer's end).
# Exit 77 (skipped) where no namespace can be made or rpcbind is missing.
set -euo pipefail
if [ "${NV815_IN_NETNS:-}" != 1 ]; then
  command -v rpcbind >/dev/null || { echo "netns.sh: rpcbind is not installed" >&2; exit 77; }
  command -v ip >/dev/null || { echo "netns.sh: ip (iproute2) is not installed" >&2; exit 77; }
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
# rpcbind's lock file and socket, D-Bus's and Avahi's live in /run: a /run
# of its own, or a daemon of this computer's is found running.
mount -t tmpfs tmpfs /run
mkdir -p /run/lock /run/rpcbind /run/dbus /run/avahi-daemon /run/netns
rpcbind -f -w &
mapper=$!
trap 'kill $mapper 2>/dev/null || true; avahi-daemon -k 2>/dev/null || true;
  ip netns del nv815peer 2>/dev/null || true' EXIT
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
if ip netns add nv815peer 2>/dev/null &&
  ip link add nv815p0 type veth peer name nv815p1 netns nv815peer 2>/dev/null; then
  ip addr add 198.51.100.1/24 dev nv815p0
  ip link set nv815p0 up
  ip -n nv815peer link set lo up
  ip -n nv815peer addr add 198.51.100.2/24 dev nv815p1
  ip -n nv815peer link set nv815p1 up
  export NV815_PEER_NETNS=/run/netns/nv815peer NV815_PEER_ADDRESS=198.51.100.2 \
    NV815_HOST_ADDRESS=198.51.100.1 NV815_PEER_LINK=nv815p1
fi
for _ in $(seq 50); do
  rpcinfo -p 127.0.0.1 >/dev/null 2>&1 && break
  sleep 0.1
done
"$@"
