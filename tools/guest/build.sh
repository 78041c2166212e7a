#!/usr/bin/env bash
# Builds the emulated PC that runs the 32-bit build's tests where the kernel
# runs no 32-bit programs: a Debian 12 root (amd64 with i386), its kernel and
# initrd, made from Debian's packages alone (the list beside this file) and
# kept outside the clone. A guest of the same recipe already built is kept.
# Run as root; needs mmdebstrap and e2fsprogs.
#   build.sh          build the guest unless it is there
#   build.sh --path   print the guest's folder (built or not)
set -euo pipefail
. "$(dirname "$0")/image.sh"
[ "${1:-}" = --path ] && { echo "$guest_image"; exit 0; }
[ -f "$guest_image/ready" ] && exit 0
[ "$(id -u)" -eq 0 ] || { echo "build.sh: run as root" >&2; exit 2; }

mkdir -p "$guest_cache"
exec 9>"$guest_cache/.lock"
flock 9
[ -f "$guest_image/ready" ] && exit 0

t0=$(date +%s)
step() { printf '[guest %4ss] %s\n' "$(( $(date +%s) - t0 ))" "$*"; }
work=$guest_image.work
root=$work/root
if grep -q " $work[/ ]" /proc/self/mountinfo; then
  echo "build.sh: something is mounted under $work; not touching it" >&2
  exit 1
fi
rm -rf "$work" "$guest_image"
mkdir -p "$work"

# The guest takes its packages from where this machine takes its own.
sources=()
if [ -s /etc/apt/sources.list ] && grep -q '^deb ' /etc/apt/sources.list; then
  grep '^deb ' /etc/apt/sources.list >"$work/host.list"
  sources+=("$work/host.list")
fi
for f in /etc/apt/sources.list.d/*.list /etc/apt/sources.list.d/*.sources; do
  [ -e "$f" ] || continue
  case "$f" in
    *-src.sources) continue ;;
    *.list) grep -q '^deb ' "$f" || continue; grep '^deb ' "$f" >"$work/${f##*/}"; f=$work/${f##*/} ;;
    *.sources) grep -q '^Types: deb$' "$f" || continue ;;
  esac
  sources+=("$f")
done
[ ${#sources[@]} -gt 0 ] || { echo "build.sh: no apt sources found" >&2; exit 1; }

packages=$(sed 's/#.*//' "$guest_dir/packages" | tr -s ' \n' ',' | sed 's/^,//; s/,$//')
step "mmdebstrap of the guest's root"
# mmdebstrap's mounts stay in a namespace of their own. In a chroot whose root
# is no mount point its propagation cannot be changed: there it is left as the
# chroot's maker set it.
propagation=private
mountpoint -q / || propagation=unchanged
unshare -m --propagation "$propagation" \
  mmdebstrap --quiet --variant=apt --mode=root --architectures=amd64,i386 \
    --dpkgopt='path-exclude=/usr/share/man/*' --dpkgopt='path-exclude=/usr/share/doc/*' \
    --include="$packages" bookworm "$root" "${sources[@]}"
install -m 755 "$guest_dir/init.sh" "$root/sbin/tavrin-init"
echo guest >"$root/etc/hostname"
mkdir -p "$work/boot"
cp "$root"/boot/vmlinuz-* "$work/boot/vmlinuz"
cp "$root"/boot/initrd.img-* "$work/boot/initrd.img"

step "root image"
mkfs.ext4 -q -F -L guest -d "$root" "$work/boot/root.img" 16G
rm -rf "$root"
mv "$work/boot" "$guest_image"
rm -rf "$work"
touch "$guest_image/ready"
# Guests of older recipes go; one still running keeps its open files.
for old in "$guest_cache"/*; do
  [ -d "$old" ] && [ "$old" != "$guest_image" ] && rm -rf "$old"
done
step "guest ready in $guest_image"
