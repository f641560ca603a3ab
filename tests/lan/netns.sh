#!/usr/bin/env bash
# Runs a command in a network namespace of its own, with its loopback up and a
# port mapper (rpcbind) of its own, so that a test registers and looks up
# VXI-11 servers without touching this computer's. Exit 77 (skipped) where no
# namespace can be made or rpcbind is missing.
set -euo pipefail
if [ "${NV815_IN_NETNS:-}" != 1 ]; then
  command -v rpcbind >/dev/null || { echo "netns.sh: rpcbind is not installed" >&2; exit 77; }
  for how in "unshare -n" "unshare -rn"; do
    if $how true 2>/dev/null; then
      NV815_IN_NETNS=1 exec $how "$0" "$@"
    fi
  done
  echo "netns.sh: no network namespace can be made here" >&2
  exit 77
fi
ip link set lo up
mkdir -p /run/rpcbind
rpcbind -f -w &
mapper=$!
trap 'kill $mapper 2>/dev/null || true' EXIT
for _ in $(seq 50); do
  rpcinfo -p 127.0.0.1 >/dev/null 2>&1 && break
  sleep 0.1
done
"$@"
