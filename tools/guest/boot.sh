# The guest's set-up after its init, run from the host's control folder: the
# rest of the file systems, the host's clone at the host's own path (ctest's
# files hold absolute paths), then the command the host left beside this file,
# whose exit code is written back there.
set -u
mkdir -p /dev/pts /dev/shm
mount -t devpts -o ptmxmode=0666 devpts /dev/pts
mount -t tmpfs shm /dev/shm
mount -t tmpfs -o size=50% tmp /tmp
[ -e /dev/fd ] || ln -s /proc/self/fd /dev/fd
[ -e /dev/stdin ] || ln -s /proc/self/fd/0 /dev/stdin
[ -e /dev/stdout ] || ln -s /proc/self/fd/1 /dev/stdout
[ -e /dev/stderr ] || ln -s /proc/self/fd/2 /dev/stderr
stty -onlcr 2>/dev/null
. /run/control/env
mkdir -p "$GUEST_TREE"
# Without the page cache, programs mapped from 9p read zero pages.
mount -t 9p -o trans=virtio,version=9p2000.L,msize=524288,cache=loose tree "$GUEST_TREE" || exit 1
# The Wine prefix's disk (see run.sh).
mkdir -p /var/tmp/prefix
mount /dev/vdb /var/tmp/prefix || exit 1
ip link set lo up
hostname guest
export HOME=/root LANG=C.UTF-8 TMPDIR=/tmp USER=root LOGNAME=root
cd "$GUEST_CWD" && bash /run/control/run
echo $? >/run/control/status
cd /
sync
umount "$GUEST_TREE"
