#!/usr/bin/env bash
# Proves that bootstrap.sh makes a bare Debian 12 ready: builds a minbase chroot,
# copies the project in, and runs the README's test command there, inside private
# mount namespaces with a /dev of its own. Run as root, with mmdebstrap installed:
#   tools/fresh-chroot-test.sh WORKDIR
# TAVRIN_GUEST is passed on (yes: test the 32-bit build in the emulated PC even
# where this kernel runs 32-bit programs).
# WORKDIR must lie outside the project; it is cleared first, never while anything
# is mounted below it.
set -u
[ "$(id -u)" -eq 0 ] || { echo "run as root" >&2; exit 2; }
command -v mmdebstrap >/dev/null || { echo "needs mmdebstrap: apt-get install mmdebstrap" >&2; exit 2; }
work=$(realpath -m "${1:?usage: fresh-chroot-test.sh WORKDIR}")
project=$(cd "$(dirname "$0")/.." && pwd)
case "$work/" in "$project"/*) echo "WORKDIR must lie outside the project" >&2; exit 2 ;; esac
if grep -q " $work[/ ]" /proc/self/mountinfo; then
  echo "something is still mounted under $work; not touching it" >&2
  exit 2
fi
rm -rf "$work"
mkdir -p "$work"
root=$work/root
t0=$(date +%s)
log() { printf '[%4ss] %s\n' "$(( $(date +%s) - t0 ))" "$*"; }

log "mmdebstrap (minbase bookworm)"
unshare -m --propagation private \
  mmdebstrap --quiet --variant=minbase --mode=root --architectures=amd64 bookworm "$root" \
  "deb http://deb.debian.org/debian bookworm main" \
  "deb http://deb.debian.org/debian bookworm-updates main" \
  "deb http://deb.debian.org/debian-security bookworm-security main" || exit 1
# minbase keeps sources in sources.list: bootstrap.sh must add the deb-src lines itself.

log "copying the project"
mkdir -p "$root/src"
tar -C "$project" --exclude=./build --exclude=./.deps --exclude='./build-*' -cf - . | tar -C "$root/src" -xf -
cp /etc/resolv.conf "$root/etc/resolv.conf"

log "running bootstrap.sh in the chroot"
unshare -m --propagation private bash -c '
  set -u
  root=$1 guest=$2
  mount -t proc proc "$root/proc" || exit 1
  mount -t sysfs sys "$root/sys" || exit 1
  mount -t tmpfs tmp "$root/tmp" || exit 1
  mount -t tmpfs -o mode=755 dev "$root/dev" || exit 1
  for n in "null 1 3" "zero 1 5" "full 1 7" "random 1 8" "urandom 1 9" "tty 5 0"; do
    set -- $n
    mknod -m 666 "$root/dev/$1" c "$2" "$3"
  done
  mkdir -p "$root/dev/pts" "$root/dev/shm"
  mount -t devpts -o newinstance,ptmxmode=0666 devpts "$root/dev/pts" || exit 1
  ln -s pts/ptmx "$root/dev/ptmx"
  mount -t tmpfs shm "$root/dev/shm" || exit 1
  ln -s /proc/self/fd "$root/dev/fd"
  ln -s /proc/self/fd/0 "$root/dev/stdin"
  ln -s /proc/self/fd/1 "$root/dev/stdout"
  ln -s /proc/self/fd/2 "$root/dev/stderr"
  chroot "$root" env -i PATH=/usr/sbin:/usr/bin:/sbin:/bin HOME=/root LANG=C.UTF-8 \
    WINE_LINGER=0 ${guest:+TAVRIN_GUEST=$guest} bash -c "cd /src && ./bootstrap.sh" </dev/null
' _ "$root" "${TAVRIN_GUEST:-}"
status=$?
log "bootstrap.sh exit $status"
# The namespace is gone with its mounts; check before anyone clears the folder.
if grep -q " $work[/ ]" /proc/self/mountinfo; then
  echo "warning: mounts remain under $work" >&2
fi
exit $status
