# Sourced by the scripts that build and test in a Debian system made with
# debootstrap (try-deb.sh, try-debian13.sh).

# The Debian archive to make it from: DEBIAN_MIRROR when set, else the one
# this system's apt takes its own release from (so a local mirror keeps
# working); apt's HTTP proxy, if it has one, is used as well.
debian_mirror() {
  if [ -n "${DEBIAN_MIRROR:-}" ]; then
    echo "$DEBIAN_MIRROR"
    return
  fi
  local codename uri
  codename=$(. /etc/os-release && echo "${VERSION_CODENAME:-}")
  uri=$(apt-get indextargets --format '$(REPO_URI) $(RELEASE)' 'Created-By: Packages' 2>/dev/null |
    awk -v release="$codename" '$2 == release { print $1; exit }')
  if [ -z "$uri" ]; then
    echo "no Debian archive for '$codename' in apt's sources: set DEBIAN_MIRROR" >&2
    return 1
  fi
  echo "$uri"
}

use_apt_proxy() {
  eval "$(apt-config shell http_proxy Acquire::http::Proxy)"
  if [ -n "${http_proxy:-}" ]; then
    export http_proxy
  fi
}

# Mounts what programs in the system at $1 need of the running one (/proc,
# /sys, /dev: the loader expands $ORIGIN through /proc), for this run only:
# they are unmounted when the script ends.
chroot_mounted=()
unmount_chroot() {
  for ((i = ${#chroot_mounted[@]} - 1; i >= 0; i--)); do
    umount -l "${chroot_mounted[$i]}" || true
  done
}
mount_for_chroot() {
  local target=$1 fs
  trap unmount_chroot EXIT
  # Its root a mount point of its own, so that a test may make a mount
  # namespace inside it (unshare -m makes / private, which needs one).
  if ! mountpoint -q "$target"; then
    mount --bind "$target" "$target"
    chroot_mounted+=("$target")
  fi
  for fs in proc sys dev dev/pts; do
    mkdir -p "$target/$fs"
    if ! mountpoint -q "$target/$fs"; then
      mount --bind "/$fs" "$target/$fs"
      chroot_mounted+=("$target/$fs")
    fi
  done
  cp /etc/resolv.conf "$target/etc/resolv.conf"
}
