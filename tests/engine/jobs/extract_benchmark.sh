#!/usr/bin/env bash
# Runs the extraction benchmark under Wine in FOLDER, then mp3splt, ffmpeg and
# mpg123 on the same backup file and the same cuts, and prints the figures side
# by side.   extract_benchmark.sh BENCH_EXE FOLDER
set -euo pipefail
bench=$1
dir=$2
here=$(cd "$(dirname "$0")" && pwd)
mkdir -p "$dir"
cd "$dir"
"$here/../../../cmake/wine-run.sh" "$bench" | tr -d '\r'

mb=$(/usr/bin/python3 -c "import sys; from mutagen.id3 import ID3; import os; \
print('%.1f' % ((os.path.getsize('bench.mp3') - ID3('bench.mp3').size) / 1e6))")
seconds=$(awk 'END { print $2 / 75 }' cuts.txt)
hms() { awk -v f="$1" 'BEGIN { printf "%d.%02d.%02d", f / 4500, f / 75 % 60, (f % 75) * 100 / 75 }'; }
sec() { awk -v f="$1" 'BEGIN { printf "%.4f", f / 75 }'; }
now() { date +%s.%N; }
rate() { awk -v a="$1" -v b="$2" -v n="$3" 'BEGIN { t = b - a; printf "%7.3f s  %7.1f", t, n / t }'; }

rm -rf peers && mkdir peers
points=()
while read -r start end; do points+=("$(hms "$start")"); last=$end; done < cuts.txt
points+=("$(hms "$last")")
t0=$(now)
mp3splt -q -f -n -x -d peers -o @n bench.mp3 "${points[@]}" >/dev/null 2>&1
t1=$(now)
echo "mp3splt MP3 copy             $(rate "$t0" "$t1" "$mb") MB/s"

t0=$(now)
n=0
while read -r start end; do
  n=$((n + 1))
  ffmpeg -v error -y -ss "$(sec "$start")" -to "$(sec "$end")" -i bench.mp3 -map 0:a -c copy \
    "peers/ff$n.mp3"
done < cuts.txt
t1=$(now)
echo "ffmpeg  -c copy              $(rate "$t0" "$t1" "$mb") MB/s"

t0=$(now)
n=0
while read -r start end; do
  n=$((n + 1))
  first=$(( (start * 44100 + 1151) / 86400 ))
  frames=$(( (end * 44100 / 86400) - first ))
  mpg123 -q -k "$first" -n "$frames" -w "peers/mpg$n.wav" bench.mp3
done < cuts.txt
t1=$(now)
echo "mpg123  WAV decode           $(rate "$t0" "$t1" "$seconds") s of audio per s"
