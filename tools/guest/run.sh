#!/usr/bin/env bash
# Boots the emulated PC that runs the 32-bit build where the kernel runs no
# 32-bit programs (made by build.sh), shares this clone with it at the same
# path, and runs a command there from the current folder.
#   run.sh                 the whole suite of build/ under one X display; ctest's
#                          log stays in build/Testing/Temporary/LastTest.log
#   run.sh COMMAND ARGS    COMMAND, e.g. cmake/wine-run.sh build/bin/X.exe
# The exit code is the command's (ctest's), or 124 when the guest ran longer than
# TAVRIN_GUEST_TIMEOUT seconds (default 5400), or 125 when it gave none.
# TAVRIN_GUEST_MEMORY (default 8G) and TAVRIN_GUEST_CPUS (default: this
# machine's count) size the guest. The guest is stopped on every way out.
#
# Making a Wine prefix takes minutes in the guest, so the first run makes one on
# a disk of its own, kept beside the guest for as long as the guest and
# cmake/wine-run.sh stay the same; every run then starts from a copy of it that
# ends with the run.
set -u
. "$(dirname "$0")/image.sh"
clone=$(cd "$guest_dir/../.." && pwd)
memory=${TAVRIN_GUEST_MEMORY:-8G}
cpus=${TAVRIN_GUEST_CPUS:-$(nproc)}
limit=${TAVRIN_GUEST_TIMEOUT:-5400}
# Emulated, the 32-bit programs run several times slower than natively; the
# tests' own wall-clock limits grow by this factor (see tests/support/TimeScale.h).
scale=${TAVRIN_TIME_SCALE:-10}
cwd=$PWD
case "$cwd/" in "$clone"/*) ;; *) echo "run.sh: run it from inside $clone" >&2; exit 2 ;; esac
[ -f "$guest_image/ready" ] || { echo "run.sh: no guest in $guest_image: run tools/guest/build.sh" >&2; exit 2; }
store=$guest_image
[ -w "$store" ] || store=${TMPDIR:-/tmp}/tavrin-guest-$UID
mkdir -p "$store"
prefix_key=$({ echo "$guest_key"; cat "$clone/cmake/wine-run.sh"; } | sha256sum)
prefix_disk=$store/prefix-${prefix_key:0:16}.img

control=$(mktemp -d "${TMPDIR:-/tmp}/tavrin-guest.XXXXXX")
qemu=
timer=
stop() {
  # Only what this run started, by its ID.
  [ -z "$qemu" ] || kill "$qemu" 2>/dev/null
  [ -z "$timer" ] || kill "$timer" 2>/dev/null
  [ -z "$qemu" ] || wait "$qemu" 2>/dev/null
  rm -rf "$control"
}
trap stop EXIT
trap 'exit 130' INT
trap 'exit 143' TERM
t0=$(date +%s)

# Boots the guest with the control folder's run script and the prefix disk
# (DISK, or DISK,snapshot=on for a copy that is dropped), and gives the
# script's exit code.
boot() {
  rm -f "$control/status"
  qemu-system-x86_64 -accel tcg,thread=multi,tb-size=1024 -cpu max,la57=off,smap=off \
    -smp "$cpus" -m "$memory" -display none -monitor none -serial stdio -no-reboot \
    -kernel "$guest_image/vmlinuz" -initrd "$guest_image/initrd.img" \
    -append "root=/dev/vda rw console=ttyS0 init=/sbin/tavrin-init quiet panic=-1" \
    -drive file="$guest_image/root.img",format=raw,if=virtio,cache=unsafe,snapshot=on \
    -drive file="$1",format=raw,if=virtio,cache=unsafe \
    -virtfs local,path="$control",mount_tag=control,security_model=none \
    -virtfs local,path="$clone",mount_tag=tree,security_model=none \
    </dev/null &
  qemu=$!
  local left=$(( limit - ($(date +%s) - t0) ))
  sleep "$(( left > 0 ? left : 1 ))" &
  timer=$!
  wait -n "$qemu" "$timer"
  if kill -0 "$qemu" 2>/dev/null; then
    echo "run.sh: the guest ran longer than $limit s; stopping it" >&2
    exit 124
  fi
  wait "$qemu"
  qemu=
  kill "$timer" 2>/dev/null
  timer=
  local status=
  { read -r status <"$control/status"; } 2>/dev/null
  [ -n "$status" ] || { echo "run.sh: the guest ended without an exit code" >&2; exit 125; }
  return "$status"
}

cp "$guest_dir/boot.sh" "$control/boot"
printf 'GUEST_TREE=%q\nGUEST_CWD=%q\n' "$clone" "$cwd" >"$control/env"
cat >"$control/prefix" <<EOS
export TAVRIN_TIME_SCALE=$scale WINEPREFIX=/var/tmp/prefix/wineprefix WINE_LINGER=0
EOS

if [ ! -f "$prefix_disk" ]; then
  echo "run.sh: making the guest's Wine prefix (once for this guest and wine-run.sh)"
  new=$prefix_disk.new
  rm -f "$new"
  truncate -s 8G "$new" && mkfs.ext4 -q -F "$new" || exit 1
  cat >"$control/run" <<EOS
. /run/control/prefix
t0=\$(date +%s)
$(printf %q "$clone/cmake/wine-run.sh") --prepare && /usr/lib/wine/wineserver64 -w || exit 1
echo "guest: Wine prefix (\$($(printf %q "$clone/cmake/wine-run.sh") --arch)) made in \$(( \$(date +%s) - t0 )) s"
EOS
  boot "$new" || { rm -f "$new"; exit 1; }
  mv "$new" "$prefix_disk"
  # Prefixes of an older guest or wine-run.sh go.
  for old in "$store"/prefix-*.img; do
    [ "$old" = "$prefix_disk" ] || rm -f "$old"
  done
fi

if [ $# -eq 0 ]; then
  [ -f "$clone/build/CTestTestfile.cmake" ] || { echo "run.sh: build/ is not configured" >&2; exit 2; }
  cat >"$control/run" <<EOS
. /run/control/prefix
cd $(printf %q "$clone/build") || exit 1
# ctest lists the tests of one test program after another before it starts any,
# and emulated, each program takes seconds to start: the programs are asked side
# by side first (a list that cannot be made here is made again by ctest).
xvfb-run -a -s "-screen 0 1024x768x24" bash -c '
  find . -name "*_include.cmake" -print0 | xargs -0 -n1 -P$cpus cmake -P >/dev/null 2>&1
  exec ctest --output-on-failure -j$cpus -LE demo'
EOS
else
  {
    echo '. /run/control/prefix'
    printf 'exec'
    printf ' %q' "$@"
    printf '\n'
  } >"$control/run"
fi
boot "$prefix_disk,snapshot=on"
