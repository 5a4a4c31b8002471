#!/usr/bin/env bash
# A page that only yt-dlp reads, on a site shaped like YouTube: a picture
# of VIDEO bytes and a sound of AUDIO bytes, each connection at most RATE
# bytes a second, answers longer than CHUNK bytes (10 MiB, the site's
# http_chunk_size) slowed to SLOW bytes a second. Timed from Add Video to
# COMPLETED: Vidrona (yt-dlp finds, Vidrona fetches on 8 connections and
# joins), yt-dlp alone, and yt-dlp with aria2c -x8 -s8 -k1M, in the same
# run; their ratios, and Vidrona's peak memory.
# Usage: bench/sites/run.sh [VIDEO=bytes] [AUDIO=bytes] [RATE=bytes/s] [SLOW=bytes/s]
#        (BUILD=folder adds it to a configured build instead)
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
. "$root/bench/lib.sh"
bench_need yt-dlp:yt-dlp aria2c:aria2 ffmpeg:ffmpeg python3:python3 /usr/bin/time:time
build=${BUILD:-$root/build-bench-sites}
bench_build "$build" sites_bench sites_bench_server

video=${VIDEO:-268435456}
audio=${AUDIO:-33554432}
rate=${RATE:-2097152}
chunk=10485760
slow=${SLOW:-262144}
# Real media, made long by a 'free' box at their end (players and
# libavformat skip it), so the join is quick and the bytes many.
mkdir -p "$work/media"
ffmpeg -loglevel error -f lavfi -i testsrc2=size=640x360:rate=25:duration=10 -c:v libx264 -preset ultrafast \
       -an "$work/media/video.mp4"
ffmpeg -loglevel error -f lavfi -i sine=frequency=440:duration=10 -c:a aac -vn "$work/media/audio.m4a"
python3 - "$work/media/video.mp4" "$video" "$work/media/audio.m4a" "$audio" <<'PY'
import os, struct, sys
for path, size in ((sys.argv[1], int(sys.argv[2])), (sys.argv[3], int(sys.argv[4]))):
    pad = size - os.path.getsize(path)
    with open(path, 'ab') as f:
        f.write(struct.pack('>I', pad) + b'free')
        f.truncate(size)
PY
expire=$(( $(date +%s) + 6 * 3600 ))
cat > "$work/info.json" <<JSON
{"id":"b1","title":"Bench river","extractor":"youtube","extractor_key":"Youtube",
 "webpage_url":"http://www.sites.test/watch?v=b1",
 "formats":[
  {"format_id":"140","url":"http://media.sites.test/audio.m4a?expire=$expire","protocol":"https","ext":"m4a",
   "vcodec":"none","acodec":"mp4a.40.2","tbr":128,"filesize":$audio,
   "downloader_options":{"http_chunk_size":$chunk},"http_headers":{"User-Agent":"Mozilla/5.0 bench"}},
  {"format_id":"137","url":"http://media.sites.test/video.mp4?expire=$expire","protocol":"https","ext":"mp4",
   "vcodec":"avc1.640028","acodec":"none","height":1080,"tbr":4000,"filesize":$video,
   "downloader_options":{"http_chunk_size":$chunk},"http_headers":{"User-Agent":"Mozilla/5.0 bench"}}]}
JSON
printf '#!/bin/sh\nexec yt-dlp --load-info-json "%s" "$@"\n' "$work/info.json" > "$work/yt-dlp-wrapper"
chmod 700 "$work/yt-dlp-wrapper"

bench_serve "$build/bench/sites/sites_bench_server" "$work/media" "$rate" "$chunk" "$slow"

# One fetcher into $work/out/; prints "seconds peak_MiB".
fetch_with() {
    rm -rf "$work/out" && mkdir "$work/out"
    sync
    local start
    start=$(now)
    case $1 in
        vidrona)
            /usr/bin/time -v -o "$work/time" env http_proxy="$proxy" no_proxy= \
                "$build/bench/sites/sites_bench" "http://www.sites.test/watch?v=b1" "$work/out" \
                "$work/yt-dlp-wrapper" 8 > "$work/fetch.out" ;;
        yt-dlp)
            /usr/bin/time -v -o "$work/time" yt-dlp -q --ignore-config --load-info-json "$work/info.json" \
                --proxy "$proxy" -f 137+140 -o "$work/out/out.%(ext)s" ;;
        yt-dlp+aria2c)
            /usr/bin/time -v -o "$work/time" yt-dlp -q --ignore-config --load-info-json "$work/info.json" \
                --proxy "$proxy" -f 137+140 -o "$work/out/out.%(ext)s" \
                --downloader aria2c --downloader-args "aria2c:-x8 -s8 -k1M" ;;
    esac
    local seconds
    seconds=$(since "$start")
    local made
    made=$(find "$work/out" -maxdepth 1 -type f \( -name '*.mp4' -o -name '*.mkv' \) | head -1)
    [ -n "$made" ] || { echo "$1: no file" >&2; exit 1; }
    [ "$(ffprobe -v error -show_entries stream=codec_type -of csv=p=0 "$made" | sort | tr '\n' ' ')" = "audio video " ] \
        || { echo "$1: not a picture and a sound" >&2; exit 1; }
    echo "$seconds $(peak_mib "$work/time")"
}

echo "server on $proxy; video $(( video >> 20 )) MiB, audio $(( audio >> 20 )) MiB, $(( rate >> 10 )) KiB/s per connection, over $(( chunk >> 20 )) MiB at $(( slow >> 10 )) KiB/s; load: $(cut -d' ' -f1-3 /proc/loadavg)"
printf '%-14s %9s %9s\n' fetcher seconds peak_MiB
declare -A secs mem
for f in vidrona yt-dlp+aria2c yt-dlp; do
    read -r s m < <(fetch_with "$f")
    printf '%-14s %9s %9s\n' "$f" "$s" "$m"
    secs[$f]=$s
    mem[$f]=$m
done
awk -v v="${secs[vidrona]}" -v y="${secs[yt-dlp]}" -v a="${secs[yt-dlp+aria2c]}" 'BEGIN{
    printf "vidrona/yt-dlp %.2f (goal <= 0.2); vidrona/yt-dlp+aria2c %.2f (goal <= 1.0)\n", v/y, v/a }'
echo "peak memory: vidrona ${mem[vidrona]} MiB (goal <= 80)"
