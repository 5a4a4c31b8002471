#!/usr/bin/env bash
# A 10-minute stereo track (made here by ffmpeg: AAC at 160 kb/s, 44.1 kHz)
# encoded to MP3 at LAME's V2 by the program's encoder and by
# `ffmpeg -i TRACK -vn -c:a libmp3lame -q:a 2`, alternately, ROUNDS times
# each. Prints every time, the best of each and their ratio (the
# program's over ffmpeg's), the two files' sizes and lengths.
# Usage: [ROUNDS=n] [BUILD=a configured build folder to add the benchmark
# to] bench/mp3/run.sh
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
"$root/scripts/deps.sh" > /dev/null
. "$root/bench/lib.sh"
build=${BUILD:-$root/build-bench-mp3}
bench_build "$build" mp3_bench

ffmpeg -v error -f lavfi -i "aevalsrc=0.4*sin(2*PI*(220+40*sin(t))*t)+0.1*random(0)|0.4*sin(2*PI*330*t)+0.1*random(1):s=44100:d=600" \
    -c:a aac -b:a 160k "$work/track.m4a"

rounds=${ROUNDS:-3}
echo "10-minute track: $(stat -c %s "$work/track.m4a") bytes; $rounds rounds; load: $(cut -d' ' -f1-3 /proc/loadavg)"
best_v= best_f=
for _ in $(seq "$rounds"); do
    start=$(now)
    ffmpeg -v error -y -i "$work/track.m4a" -vn -c:a libmp3lame -q:a 2 "$work/ffmpeg.mp3"
    f=$(awk -v a="$start" -v b="$(now)" 'BEGIN{printf "%.3f", b - a}')
    start=$(now)
    "$build/bench/mp3/mp3_bench" "$work/track.m4a" "$work/vidrona.mp3" 2 > /dev/null
    v=$(awk -v a="$start" -v b="$(now)" 'BEGIN{printf "%.3f", b - a}')
    echo "ffmpeg $f s   vidrona $v s"
    best_f=$(min "$f" "$best_f")
    best_v=$(min "$v" "$best_v")
done
length() { ffprobe -v error -show_entries format=duration -of csv=p=0 "$1"; }
echo "best: ffmpeg $best_f s, vidrona $best_v s, ratio $(awk -v a="$best_v" -v b="$best_f" 'BEGIN{printf "%.3f", a / b}')"
echo "ffmpeg.mp3 $(stat -c %s "$work/ffmpeg.mp3") bytes, $(length "$work/ffmpeg.mp3") s;" \
     "vidrona.mp3 $(stat -c %s "$work/vidrona.mp3") bytes, $(length "$work/vidrona.mp3") s"
