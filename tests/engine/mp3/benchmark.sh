#!/usr/bin/env bash
# Encoding speed of the encoding filter (LAME library and the ACM codec stand-in)
# beside the host's lame command on the same PCM: seconds of CD audio per second.
#   benchmark.sh BIN_DIR WINE_RUN
set -eu
bin=$1 wine_run=$2
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
seconds=120
sox -n -r 44100 -c 2 -b 16 -e signed -t raw "$tmp/sweep.raw" synth $((seconds / 2)) sine 40:16000 vol 0.5
sox -n -r 44100 -c 2 -b 16 -e signed -t raw "$tmp/noise.raw" synth $((seconds / 2)) pinknoise vol 0.5
cat "$tmp/sweep.raw" "$tmp/noise.raw" >"$tmp/in.raw"
mkdir -p "$tmp/acm"
cp "$bin/mp3_encode_benchmark.exe" "$bin/l3codecp.acm" "$tmp/acm/"
"$wine_run" --prepare

# The prefix's drive Z: is the host's root (the host's winepath starts the 32-bit
# loader, which not every kernel runs).
winpath() { printf 'Z:%s' "${1//\//\\}"; }
product() {  # folder quality
  (cd "$1" && "$wine_run" ./mp3_encode_benchmark.exe "$(winpath "$tmp/in.raw")" "$2" \
    "$(winpath "$tmp/out.mp3")" | tr -d '\r' | awk '{ printf "%.1f", $1 / $2 }')
}
host() {  # lame options
  local t0 t1
  t0=$(date +%s.%N)
  lame --silent -r -s 44.1 --bitwidth 16 --signed --little-endian -m j "$@" "$tmp/in.raw" "$tmp/host.mp3" 2>/dev/null
  t1=$(date +%s.%N)
  awk -v s=$seconds -v a="$t0" -v b="$t1" 'BEGIN { printf "%.1f", s / (b - a) }'
}

ratio() { awk -v a="$1" -v b="$2" 'BEGIN { printf "%.2f", a / b }'; }
row() {  # label, figures at 128 and 320, the host's figures they stand beside
  printf '%-42s %10s %10s %8s %8s\n' "$1" "$2" "$3" "$(ratio "$2" "$4")" "$(ratio "$3" "$5")"
}

# Each product figure stands beside the host's on the same settings, taken
# right after it, so that both see the same load on the machine.
dll128=$(product "$bin" 102) abr128=$(host --abr 128)
dll320=$(product "$bin" 255) cbr320=$(host -b 320)
acm128=$(product "$tmp/acm" 0) cbr128=$(host -b 128)
acm320=$(product "$tmp/acm" 255) acmhost320=$(host -b 320)

printf '%s s of PCM (sweep, then pink noise); seconds of audio encoded per second,\n' $seconds
printf 'and the ratio to the host lame on the same settings\n'
printf '%-42s %10s %10s %8s %8s\n' "" "128 kbit/s" "320 kbit/s" "x host" "x host"
row "filter, lame_enc.dll (ABR 128 / CBR 320)" "$dll128" "$dll320" "$abr128" "$cbr320"
row "host lame (--abr 128 / -b 320)" "$abr128" "$cbr320" "$abr128" "$cbr320"
row "filter, ACM codec stand-in (CBR)" "$acm128" "$acm320" "$cbr128" "$acmhost320"
row "host lame (-b 128 / -b 320)" "$cbr128" "$acmhost320" "$cbr128" "$acmhost320"
