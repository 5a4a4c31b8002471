#!/usr/bin/env bash
# A streamed video from one local server, fetched side by side by the
# program's stream fetch (8 connections), `yt-dlp -N 8` and
# `ffmpeg -i PLAYLIST -c copy`, ROUNDS times each in turn. Two kinds:
#   ROW=slow (default) a 20-second video whose server sends every piece at
#            RATE (200 kB/s) per connection, as HLS (2-second TS pieces)
#            and as DASH (2-second fMP4 pieces, picture and sound apart),
#            one row each;
#   ROW=many           a 4-hour HLS of 14,400 one-second pieces (~42 MB)
#            sent at full speed over loopback.
# The videos are made here by ffmpeg. Prints each tool's best time (from
# the outside, process start included), the program's time over yt-dlp's
# and over ffmpeg's, for the slow rows the program's time over the link's
# limit (the bytes at RATE over 8 connections), the same for the fetch's
# own time (its start to the file in place), and the program's highest
# peak memory; checks that the three files decode to the same video frames. Then, with ROW=slow, a
# sound-only row: the same video behind a master with a sound rendition of
# its own, fetched by this build with the quality "sound"; prints the
# bytes fetched beside the rendition's and the picture's, and fails when
# they pass 1.05 times the rendition's.
# Usage: [ROW=slow|many] [ROUNDS=n] [RATE=bytes per second] [BUILD=a
# configured build folder to add the benchmark to] [PROGRAM=another
# version's streamed_bench, to compare versions] bench/streamed/run.sh
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
row=${ROW:-slow}

. "$root/bench/lib.sh"
# The tools compared with: installed here, and the bench stops without them.
bench_need yt-dlp:yt-dlp ffmpeg:ffmpeg
build=${BUILD:-$root/build-bench-streamed}
bench_build "$build" streamed_bench streamed_bench_server
program=${PROGRAM:-$build/bench/streamed/streamed_bench}

mkdir "$work/site"
if [ "$row" = many ]; then
    seconds=14400 rate=${RATE:-0}
    ffmpeg -v error -f lavfi -i testsrc=size=96x54:rate=2:duration=$seconds \
        -f lavfi -i sine=frequency=440:sample_rate=8000:duration=$seconds \
        -c:v libx264 -preset ultrafast -b:v 10k -g 2 -pix_fmt yuv420p -c:a aac -b:a 8k -ac 1 \
        -f hls -hls_time 1 -hls_list_size 0 -hls_playlist_type vod "$work/site/index.m3u8"
else
    seconds=20 rate=${RATE:-200000}
    ffmpeg -v error -f lavfi -i testsrc=size=640x360:rate=25:duration=20 -f lavfi -i sine=frequency=440:duration=20 \
        -c:v libx264 -b:v 1M -g 50 -pix_fmt yuv420p -c:a aac -b:a 96k \
        -f hls -hls_time 2 -hls_playlist_type vod "$work/site/index.m3u8"
    # The same video as DASH, encoded alike, cut at the same key frames.
    mkdir "$work/site/dash"
    ffmpeg -v error -f lavfi -i testsrc=size=640x360:rate=25:duration=20 -f lavfi -i sine=frequency=440:duration=20 \
        -c:v libx264 -b:v 1M -g 50 -pix_fmt yuv420p -c:a aac -b:a 96k \
        -f dash -seg_duration 2 -use_template 1 -use_timeline 0 "$work/site/dash/index.mpd"
fi

bench_serve "$build/bench/streamed/streamed_bench_server" "$work/site" "$rate"

frames() { ffmpeg -v error -i "$1" -map 0:v -f framemd5 - | grep -v '^#' | awk -F', *' '{print $NF}'; }

rounds=${ROUNDS:-1}
echo "$row: $seconds s video; $rate B/s per connection (0: full speed); server on $proxy; $rounds rounds;" \
     "load: $(cut -d' ' -f1-3 /proc/loadavg)"
# vidrona_s is from the outside, as the others; own_s is the fetch's own
# time from its start to the file in place (Start Download to COMPLETED in
# the window, without the process's start and end).
printf '%-5s %6s %10s %9s %9s %9s %8s %8s %8s %7s %8s %12s   %s\n' form pieces bytes ffmpeg_s ytdlp_s vidrona_s \
    v/ytdlp v/ffmpeg v/link own_s own/link vidrona_MiB "all rounds (ffmpeg/yt-dlp/vidrona/own s)"

# One row: the video at url (path under the site) fetched by the three,
# rounds times in turn; pieces and bytes as the site holds them.
measure() {
    local form=$1 url=http://bench.vidrona.test/$2 pieces=$3 bytes=$4
    local best_f= best_y= best_v= best_o= mem_v=0 all= f y v start
    for _ in $(seq "$rounds"); do
        rm -f "$work"/ffmpeg.mp4 "$work"/ytdlp.* "$work"/vidrona.mp4
        start=$(now)
        env http_proxy="$proxy" no_proxy= ffmpeg -v error -y -i "$url" -c copy "$work/ffmpeg.mp4"
        f=$(since "$start")
        start=$(now)
        yt-dlp -q --no-warnings --proxy "$proxy" -N 8 --no-part --no-cache-dir -o "$work/ytdlp.%(ext)s" \
            --remux-video mp4 "$url"
        y=$(since "$start")
        start=$(now)
        /usr/bin/time -v -o "$work/vidrona.time" env http_proxy="$proxy" no_proxy= \
            "$program" "$url" "$work/vidrona.mp4" > "$work/vidrona.out"
        # All three from the outside, process start included.
        v=$(since "$start")
        frames "$work/ffmpeg.mp4" > "$work/ffmpeg.frames"
        cmp -s "$work/ffmpeg.frames" <(frames "$work/vidrona.mp4") || { echo "vidrona's file differs"; exit 1; }
        cmp -s "$work/ffmpeg.frames" <(frames "$work/ytdlp.mp4") || { echo "yt-dlp's file differs"; exit 1; }
        best_f=$(min "$f" "$best_f")
        best_y=$(min "$y" "$best_y")
        best_v=$(min "$v" "$best_v")
        best_o=$(min "$(awk '/^seconds /{print $2}' "$work/vidrona.out")" "$best_o")
        mem_v=$(max "$(peak_mib "$work/vidrona.time")" "$mem_v")
        all="$all $(printf '%.2f/%.2f/%.2f/%.3f' "$f" "$y" "$v" "$(awk '/^seconds /{print $2}' "$work/vidrona.out")")"
    done
    local link=- own=- limit
    limit=$(awk -v b="$bytes" -v r="$rate" 'BEGIN{print (r > 0 ? b/(r*8) : 0)}')
    [ "$rate" -gt 0 ] && link=$(ratio "$best_v" "$limit") && own=$(ratio "$best_o" "$limit")
    printf '%-5s %6s %10s %9.2f %9.2f %9.2f %8s %8s %8s %7.2f %8s %12s  %s\n' "$form" "$pieces" "$bytes" "$best_f" \
        "$best_y" "$best_v" "$(ratio "$best_v" "$best_y")" "$(ratio "$best_v" "$best_f")" "$link" "$best_o" "$own" \
        "$mem_v" "$all"
}

measure hls index.m3u8 "$(grep -c '\.ts$' "$work/site/index.m3u8")" "$(cat "$work/site"/*.ts | wc -c)"
if [ "$row" = slow ]; then
    measure dash dash/index.mpd "$(ls "$work/site/dash" | grep -c '\.m4s$')" "$(cat "$work/site/dash"/*.m4s | wc -c)"
fi

# Sound only (slow row): the same video behind a master whose sound is a
# rendition of its own; this build's fetch asks for that rendition's pieces
# alone, so the bytes it fetched may be at most 1.05 times the rendition's.
[ "$row" = slow ] || exit 0
mkdir -p "$work/site/so/v" "$work/site/so/a"
ffmpeg -v error -i "$work/site/index.m3u8" -map 0:v -c copy -f hls -hls_time 2 -hls_playlist_type vod "$work/site/so/v/index.m3u8"
ffmpeg -v error -i "$work/site/index.m3u8" -map 0:a -c copy -f hls -hls_time 2 -hls_playlist_type vod "$work/site/so/a/index.m3u8"
printf '%s\n' '#EXTM3U' \
    '#EXT-X-MEDIA:TYPE=AUDIO,GROUP-ID="aud",NAME="English",LANGUAGE="en",DEFAULT=YES,URI="a/index.m3u8"' \
    '#EXT-X-STREAM-INF:BANDWIDTH=1200000,RESOLUTION=640x360,CODECS="avc1.64001e,mp4a.40.2",AUDIO="aud"' \
    'v/index.m3u8' > "$work/site/so/master.m3u8"
sound_bytes=$(cat "$work/site/so/a"/*.ts | wc -c)
video_bytes=$(cat "$work/site/so/v"/*.ts | wc -c)
start=$(date +%s.%N)
env http_proxy="$proxy" no_proxy= "$build/bench/streamed/streamed_bench" \
    http://bench.vidrona.test/so/master.m3u8 "$work/sound.m4a" sound > "$work/sound.out"
s=$(awk -v a="$start" -v b="$(date +%s.%N)" 'BEGIN{print b - a}')
fetched=$(awk '/^bytes /{print $2}' "$work/sound.out")
printf '%-11s %9s %13s %12s %12s %7s\n' row seconds fetched_bytes sound_bytes video_bytes ratio
printf '%-11s %9.2f %13s %12s %12s %7s\n' sound-only "$s" "$fetched" "$sound_bytes" "$video_bytes" \
    "$(awk -v f="$fetched" -v s="$sound_bytes" 'BEGIN{printf "%.3f", f/s}')"
awk -v f="$fetched" -v s="$sound_bytes" 'BEGIN{exit !(f <= 1.05 * s)}' \
    || { echo "sound only fetched more than 1.05 times the sound rendition"; exit 1; }
[ "$(ffprobe -v error -show_entries stream=codec_type -of csv=p=0 "$work/sound.m4a")" = audio ] \
    || { echo "the sound-only file holds more than sound"; exit 1; }
