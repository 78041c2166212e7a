#!/usr/bin/env bash
# Seconds of audio turned into raw sectors per second of work, by the raw
# sector stream and by the disc-image job, beside mpg123 decoding the same MP3
# audio to PCM.
set -eu
exe=$1 emulator=$2 folder=$3 seconds=${4:-300}
mkdir -p "$folder"
out=$("$emulator" "$exe" "$(winepath -w "$folder" 2>/dev/null || echo "$folder")" "$seconds" | tr -d '\r')
start=$(date +%s.%N)
mpg123 -q --no-gapless -s "$folder/backup.mp3" >/dev/null
end=$(date +%s.%N)
mpg=$(python3 -c "print(f'{$seconds / ($end - $start):.1f}')")
echo "$out" | awk -v mpg="$mpg" '
  /^audio/ { printf "%-44s %s s\n", "audio:", $2 }
  /^subchannel/ { subc = $2 }
  /^raw-sectors/ { raw = $2 }
  /^disc-image/ { img = $2 }
  END {
    printf "%-44s %8s\n", "seconds of audio per second", ""
    printf "%-44s %8s\n", "  subchannel alone (P-W with CD-Text)", subc
    printf "%-44s %8s\n", "  raw sectors (2448 bytes, P-W, CD-Text)", raw
    printf "%-44s %8s\n", "  disc image (.bin + .cue)", img
    printf "%-44s %8s\n", "  mpg123 --no-gapless -s (host, native)", mpg
  }'
