#!/usr/bin/env bash
# A 20-second HLS video (made here by ffmpeg, 2-second TS pieces) from one
# local server that sends every piece at 200 kB/s per connection, fetched
# once by the program's stream fetch (8 connections) and once by
# `ffmpeg -i PLAYLIST -c copy`, alternately, ROUNDS times each. Prints the
# best time of each, their ratio (the program's over ffmpeg's) and the
# program's highest peak memory (max RSS); checks that both files decode
# to the same video frames.
# Usage: [ROUNDS=n] [RATE=bytes per second] [BUILD=a configured build
# folder to add the benchmark to] bench/streamed/run.sh
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
build=${BUILD:-$root/build-bench-streamed}
if [ -n "${BUILD:-}" ]; then
    cmake "$build" -DVIDRONA_BENCH=ON > /dev/null
else
    cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release \
          -DVIDRONA_BENCH=ON -DVIDRONA_TESTS=OFF > /dev/null
fi
cmake --build "$build" --target streamed_bench streamed_bench_server > /dev/null

work=$(mktemp -d)
server_pid=
cleanup() {
    [ -n "$server_pid" ] && kill "$server_pid" 2> /dev/null || true
    rm -rf "$work"
}
trap cleanup EXIT

mkdir "$work/site"
ffmpeg -v error -f lavfi -i testsrc=size=640x360:rate=25:duration=20 -f lavfi -i sine=frequency=440:duration=20 \
    -c:v libx264 -b:v 1M -g 50 -pix_fmt yuv420p -c:a aac -b:a 96k \
    -f hls -hls_time 2 -hls_playlist_type vod "$work/site/index.m3u8"
pieces=$(grep -c '\.ts$' "$work/site/index.m3u8")
bytes=$(cat "$work/site"/*.ts | wc -c)

rate=${RATE:-200000}
"$build/bench/streamed/streamed_bench_server" "$work/site" "$rate" > "$work/server.out" &
server_pid=$!
for _ in $(seq 50); do
    grep -q '^port ' "$work/server.out" 2> /dev/null && break
    sleep 0.1
done
port=$(awk '/^port /{print $2}' "$work/server.out")
proxy=http://127.0.0.1:$port
url=http://bench.vidrona.test/index.m3u8

peak_mib() { awk -F': ' '/Maximum resident set size/{printf "%.1f", $2/1024}' "$1"; }
max() { awk -v a="$1" -v b="$2" 'BEGIN{print (a+0 > b+0) ? a : b}'; }
min() { awk -v a="$1" -v b="$2" 'BEGIN{print (b == "" || a+0 < b+0) ? a : b}'; }
frames() { ffmpeg -v error -i "$1" -map 0:v -f framemd5 - | grep -v '^#' | awk -F', *' '{print $NF}'; }

rounds=${ROUNDS:-3}
echo "20 s video: $pieces pieces, $bytes bytes; $rate B/s per connection; server on $proxy;" \
     "$rounds rounds; load: $(cut -d' ' -f1-3 /proc/loadavg)"
best_f= best_v= mem_v=0 mem_f=0 all=
for _ in $(seq "$rounds"); do
    start=$(date +%s.%N)
    /usr/bin/time -v -o "$work/ffmpeg.time" env http_proxy="$proxy" no_proxy= \
        ffmpeg -v error -y -i "$url" -c copy "$work/ffmpeg.mp4"
    f=$(awk -v a="$start" -v b="$(date +%s.%N)" 'BEGIN{print b - a}')
    rm -f "$work/vidrona.mp4"
    start=$(date +%s.%N)
    /usr/bin/time -v -o "$work/vidrona.time" env http_proxy="$proxy" no_proxy= \
        "$build/bench/streamed/streamed_bench" "$url" "$work/vidrona.mp4" > "$work/vidrona.out"
    # Both from the outside, process start included, as for ffmpeg.
    v=$(awk -v a="$start" -v b="$(date +%s.%N)" 'BEGIN{print b - a}')
    cmp -s <(frames "$work/ffmpeg.mp4") <(frames "$work/vidrona.mp4") || { echo "the two files differ"; exit 1; }
    best_f=$(min "$f" "$best_f")
    best_v=$(min "$v" "$best_v")
    mem_v=$(max "$(peak_mib "$work/vidrona.time")" "$mem_v")
    mem_f=$(max "$(peak_mib "$work/ffmpeg.time")" "$mem_f")
    all="$all $(printf '%.2f/%.2f' "$f" "$v")"
done
ratio=$(awk -v v="$best_v" -v f="$best_f" 'BEGIN{printf "%.2f", v/f}')
printf '%9s %9s %6s %11s %12s   %s\n' ffmpeg_s vidrona_s ratio ffmpeg_MiB vidrona_MiB "all rounds (ffmpeg/vidrona s)"
printf '%9.2f %9.2f %6s %11s %12s  %s\n' "$best_f" "$best_v" "$ratio" "$mem_f" "$mem_v" "$all"
