#!/usr/bin/env bash
# Fetches the third-party sources that are built from Debian's source packages
# (Debian's patches applied) into DEPS_DIR (default: .deps beside this folder).
set -euo pipefail
deps=${1:-$(cd "$(dirname "$0")/.." && pwd)/.deps}
mkdir -p "$deps/dl"

fetch() {  # package, version prefix, target folder
  local pkg=$1 want=$2 dir=$deps/$3
  [ -f "$dir/.debian-version" ] && return 0
  (
    cd "$deps/dl"
    rm -rf "$pkg"-* "$pkg"_*
    apt-get -qq -o APT::Sandbox::User=root source --download-only "$pkg" >/dev/null
    local dsc
    dsc=$(ls "$pkg"_*.dsc | head -n 1)
    local ver
    ver=$(sed -n 's/^Version: //p' "$dsc")
    case "$ver" in
      "$want"*) ;;
      *) echo "$pkg: expected version $want, found $ver" >&2; exit 1 ;;
    esac
    rm -rf unpack && dpkg-source -q --no-check -x "$dsc" unpack >/dev/null
    rm -rf "$dir" && mv unpack "$dir"
    echo "$ver" >"$dir/.debian-version"
  )
}

fetch tinyxml 2.6.2 tinyxml
fetch lame 3.100 lame
