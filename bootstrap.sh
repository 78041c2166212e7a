#!/usr/bin/env bash
# Makes a fresh Debian 12 (amd64) machine ready to build and test Tavrin, then
# builds it and runs every test. Safe to run again: each step is skipped when done.
#   bootstrap.sh              set up, build, test
#   bootstrap.sh --no-build   set up only
#   bootstrap.sh --run        set up, build, start the program under Wine
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
mode=test
case "${1:-}" in
  --no-build) mode=setup ;;
  --run) mode=run ;;
  "") ;;
  *) echo "usage: $0 [--no-build|--run]" >&2; exit 2 ;;
esac

t0=$(date +%s)
step() { printf '[%4ss] %s\n' "$(( $(date +%s) - t0 ))" "$*"; }
sudo=""
[ "$(id -u)" -eq 0 ] || sudo=sudo
export DEBIAN_FRONTEND=noninteractive

packages=(
  g++-mingw-w64-i686-posix g++-mingw-w64-x86-64-posix cmake ninja-build make dpkg-dev ca-certificates
  wine wine32:i386 wine64 fonts-wine
  # Wine's preloaders reserve the address ranges of Windows programs before
  # anything else is mapped there; without them a program now and then fails to
  # start ("failed to map the shared user data") and ends at once with status 1.
  wine32-preloader:i386 wine64-preloader
  libgnutls30:i386 libxrender1:i386 libxcursor1:i386 libxrandr2:i386 libxi6:i386
  libxinerama1:i386 libxcomposite1:i386 libxfixes3:i386 libxxf86vm1:i386
  xvfb xauth x11-utils imagemagick
  libboost-dev libstb-dev googletest
  ffmpeg mpg123 python3 python3-mutagen python3-numpy sox mp3val bchunk libcdio-utils cdrdao
  mp3splt cuetools lame libtag1-dev libcdio-dev libburn-dev pkg-config g++ util-linux libxml2-utils
  fp-utils-3.2.2 libdiscid0 libcddb2-dev
)

need_update=0
if ! dpkg --print-foreign-architectures | grep -qx i386; then
  step "adding the i386 architecture"
  $sudo dpkg --add-architecture i386
  need_update=1
fi

# deb-src entries copied from the machine's own binary entries
for f in /etc/apt/sources.list.d/*.sources; do
  [ -e "$f" ] || continue
  case "$f" in *-src.sources) continue ;; esac
  src="${f%.sources}-src.sources"
  if [ ! -e "$src" ] && grep -q '^Types: deb$' "$f"; then
    step "adding deb-src entries for $f"
    sed 's/^Types: deb$/Types: deb-src/' "$f" | $sudo tee "$src" >/dev/null
    need_update=1
  fi
done
if [ -s /etc/apt/sources.list ] && ! grep -q '^deb-src ' /etc/apt/sources.list; then
  step "adding deb-src lines to sources.list"
  grep '^deb ' /etc/apt/sources.list | sed 's/^deb /deb-src /' | $sudo tee -a /etc/apt/sources.list >/dev/null
  need_update=1
fi
if ! ls /var/lib/apt/lists/*_Sources* >/dev/null 2>&1 || ! ls /var/lib/apt/lists/*i386_Packages* >/dev/null 2>&1; then
  need_update=1
fi

# Installs those of the named packages that are missing.
install_missing() {
  local p missing=()
  for p in "$@"; do
    dpkg-query -W -f='${Status}\n' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
  done
  [ ${#missing[@]} -gt 0 ] || return 0
  if [ $need_update -eq 1 ]; then step "apt-get update"; $sudo apt-get update -qq; need_update=0; fi
  step "installing ${#missing[@]} packages"
  $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
}
install_missing "${packages[@]}"
if [ $need_update -eq 1 ]; then step "apt-get update"; $sudo apt-get update -qq; need_update=0; fi

step "fetching third-party sources"
"$here/tools/fetch-sources.sh" "$here/.deps"

step "preparing the Wine prefix"
WINE_LINGER=${WINE_LINGER:-0} "$here/cmake/wine-run.sh" --prepare

# Where the kernel runs no 32-bit programs, the 32-bit build runs in an emulated
# PC (tools/guest), which the set-up builds from Debian's packages once.
# TAVRIN_GUEST=yes takes that way on any machine (TAVRIN_GUEST=no never does).
guest=
case "${TAVRIN_GUEST:-auto}" in
  yes) guest=yes ;;
  no) ;;
  *) "$here/cmake/wine-run.sh" --runs32 || guest=yes ;;
esac
if [ -n "$guest" ]; then
  install_missing qemu-system-x86 mmdebstrap e2fsprogs
  if [ ! -f "$("$here/tools/guest/build.sh" --path)/ready" ]; then
    step "building the emulated PC"
    $sudo "$here/tools/guest/build.sh"
  fi
fi

[ "$mode" = setup ] && { step "set-up done"; exit 0; }

build() {
  step "configuring $1"
  cmake -S "$here" -B "$here/$1" -G Ninja -DCMAKE_BUILD_TYPE=Release \
    -DCMAKE_TOOLCHAIN_FILE="$here/cmake/toolchain-$2-w64-mingw32.cmake" >/dev/null
  step "building $1"
  ninja -C "$here/$1"
}
build build i686
# Beside the emulated PC the same sources are also built for 64-bit Windows,
# which runs natively; the product is the 32-bit build, and both must pass.
[ -z "$guest" ] || build build-x86_64 x86_64

if [ "$mode" = run ]; then
  step "starting Tavrin"
  if [ -n "$guest" ]; then exec "$here/cmake/wine-run.sh" "$here/build-x86_64/bin/Tavrin.exe"; fi
  exec "$here/cmake/wine-run.sh" "$here/build/bin/Tavrin.exe"
fi

status=0
if [ -n "$guest" ]; then
  step "testing build-x86_64"
  (cd "$here/build-x86_64" && xvfb-run -a -s "-screen 0 1024x768x24" \
    ctest --output-on-failure -j"$(nproc)" -LE demo) || status=$?
  step "build-x86_64 done (ctest exit $status)"
  step "testing build in the emulated PC"
  guest_status=0
  (cd "$here" && "$here/tools/guest/run.sh") || guest_status=$?
  step "build done in the emulated PC (ctest exit $guest_status)"
  [ "$guest_status" -eq 0 ] || status=$guest_status
else
  step "testing build"
  cd "$here/build"
  xvfb-run -a -s "-screen 0 1024x768x24" \
    ctest --output-on-failure -j"$(nproc)" -LE demo || status=$?
  step "done (ctest exit $status)"
fi
exit $status
