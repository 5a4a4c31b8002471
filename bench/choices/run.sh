#!/usr/bin/env bash
# What each quality choice fetches. A 20-second video in three pictures
# (1080p, 720p, 480p) with its sound apart and English subtitles (WebVTT),
# as an HLS master (a sound rendition, a SUBTITLES rendition) and as a DASH
# manifest (three picture representations, one sound, one text set), made
# here by ffmpeg and served at full speed over loopback by bench/streamed's
# server. Each choice (best, 720, 480, sound, sound as MP3, subtitles
# beside, subtitles inside) is fetched once by this build's stream fetch;
# prints the body bytes the engine counted, the bytes of the files the
# choice needs (its picture's pieces and the sound's; the sound's alone for
# sound only), every piece the site holds, the saved file's size, and
# fetched/needed. Subtitles are small files fetched beside the pieces and
# not in the engine's count: their size is printed below the table.
# Usage: [BUILD=a configured build folder to add the benchmark to]
# bench/choices/run.sh
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)

. "$root/bench/lib.sh"
bench_need ffmpeg:ffmpeg
build=${BUILD:-$root/build-bench-choices}
bench_build "$build" choice_bench streamed_bench_server
program=$build/bench/choices/choice_bench

site=$work/site
mkdir -p "$site/hls" "$site/dash"
src=(-f lavfi -i testsrc2=size=1920x1080:rate=25:duration=20 -f lavfi -i sine=frequency=440:duration=20)
# HLS: one playlist per picture, the sound apart, cut at the same key frames.
for h in 1080 720 480; do
    case $h in 1080) w=1920 b=3M ;; 720) w=1280 b=1500k ;; 480) w=854 b=700k ;; esac
    ffmpeg -v error "${src[@]}" -map 0:v -s ${w}x$h -c:v libx264 -preset ultrafast -b:v $b -g 50 -pix_fmt yuv420p \
        -f hls -hls_time 2 -hls_playlist_type vod -hls_segment_filename "$site/hls/v$h-%03d.ts" "$site/hls/v$h.m3u8"
done
ffmpeg -v error "${src[@]}" -map 1:a -c:a aac -b:a 128k -f hls -hls_time 2 -hls_playlist_type vod \
    -hls_segment_filename "$site/hls/a-%03d.ts" "$site/hls/a.m3u8"
printf 'WEBVTT\n\n00:00:01.000 --> 00:00:04.000\nThe first line\n\n00:00:10.000 --> 00:00:12.500\nThe second line\n' \
    > "$site/hls/subs-en.vtt"
cp "$site/hls/subs-en.vtt" "$site/dash/subs-en.vtt"
printf '%s\n' '#EXTM3U' '#EXT-X-TARGETDURATION:20' '#EXT-X-PLAYLIST-TYPE:VOD' '#EXTINF:20.0,' 'subs-en.vtt' \
    '#EXT-X-ENDLIST' > "$site/hls/subs-en.m3u8"
{
    echo '#EXTM3U'
    echo '#EXT-X-MEDIA:TYPE=AUDIO,GROUP-ID="aud",NAME="English",LANGUAGE="en",DEFAULT=YES,URI="a.m3u8"'
    echo '#EXT-X-MEDIA:TYPE=SUBTITLES,GROUP-ID="subs",NAME="English",LANGUAGE="en",URI="subs-en.m3u8"'
    for h in 1080 720 480; do
        case $h in 1080) w=1920 b=3200000 ;; 720) w=1280 b=1650000 ;; 480) w=854 b=850000 ;; esac
        echo "#EXT-X-STREAM-INF:BANDWIDTH=$b,RESOLUTION=${w}x$h,CODECS=\"avc1.640028,mp4a.40.2\",AUDIO=\"aud\",SUBTITLES=\"subs\""
        echo "v$h.m3u8"
    done
} > "$site/hls/master.m3u8"
# DASH: the same three pictures and the sound as representations, and a
# text set whose one file is the WebVTT.
ffmpeg -v error "${src[@]}" -map 0:v -map 0:v -map 0:v -map 1:a -c:v libx264 -preset ultrafast -g 50 -pix_fmt yuv420p \
    -s:v:0 1920x1080 -b:v:0 3M -s:v:1 1280x720 -b:v:1 1500k -s:v:2 854x480 -b:v:2 700k -c:a aac -b:a 128k \
    -f dash -seg_duration 2 -use_template 1 -use_timeline 0 -adaptation_sets "id=0,streams=v id=1,streams=a" \
    "$site/dash/index.mpd"
sed -i 's|</Period>|<AdaptationSet contentType="text" mimeType="text/vtt" lang="en"><Representation id="subs" bandwidth="256"><BaseURL>subs-en.vtt</BaseURL></Representation></AdaptationSet></Period>|' \
    "$site/dash/index.mpd"

bench_serve "$build/bench/streamed/streamed_bench_server" "$site" 0

bytes() { cat "$@" | wc -c; }
# The files a choice needs, per form: its picture's pieces (and init
# segment) and the sound's.
needed() {
    local form=$1 picture=$2 sound
    if [ "$form" = hls ]; then
        sound=$(bytes "$site"/hls/a-*.ts)
        [ "$picture" = none ] && { echo "$sound"; return; }
        echo $(( $(bytes "$site"/hls/v"$picture"-*.ts) + sound ))
    else # ffmpeg names DASH representations 0 (1080p), 1 (720p), 2 (480p), 3 (sound)
        sound=$(bytes "$site"/dash/*-stream3*.m4s)
        [ "$picture" = none ] && { echo "$sound"; return; }
        local id
        case $picture in 1080) id=0 ;; 720) id=1 ;; 480) id=2 ;; esac
        echo $(( $(bytes "$site"/dash/*-stream$id[-.]*m4s) + sound ))
    fi
}
every() {
    if [ "$1" = hls ]; then bytes "$site"/hls/*.ts; else bytes "$site"/dash/*.m4s; fi
}

echo "load: $(cut -d' ' -f1-3 /proc/loadavg)"
printf '%-5s %-17s %13s %13s %11s %12s %8s  %s\n' form choice fetched_bytes needed_bytes all_bytes saved_bytes \
    fetched/needed saved
# form, choice's name, quality, picture the choice needs (none: sound
# alone), output extension, then the subtitle arguments.
run() {
    local form=$1 name=$2 quality=$3 picture=$4 ext=$5
    shift 5
    local url=http://bench.vidrona.test/hls/master.m3u8 out=$work/out-$form-$name.$ext
    [ "$form" = dash ] && url=http://bench.vidrona.test/dash/index.mpd
    # libavformat's notes go aside, and are shown when the fetch fails.
    env http_proxy="$proxy" no_proxy= "$program" "$url" "$out" "$quality" "$@" > "$work/run.out" 2> "$work/run.err" \
        || { cat "$work/run.err" >&2; exit 1; }
    local fetched size placed need
    fetched=$(awk '/^bytes /{print $2}' "$work/run.out")
    size=$(awk '/^size /{print $2}' "$work/run.out")
    placed=$(sed -n 's/^placed //p' "$work/run.out")
    need=$(needed "$form" "$picture")
    printf '%-5s %-17s %13s %13s %11s %12s %8s  %s\n' "$form" "$name" "$fetched" "$need" "$(every "$form")" "$size" \
        "$(awk -v f="$fetched" -v n="$need" 'BEGIN{printf "%.3f", f/n}')" \
        "$(ffprobe -v error -show_entries stream=codec_name,height -of csv=p=0 "$placed" | tr '\n' ' ')"
}
for form in hls dash; do
    run $form best best 1080 mp4
    run $form 720p 720 720 mp4
    run $form 480p 480 480 mp4
    run $form sound sound none m4a
    run $form sound-as-mp3 sound none mp3
    run $form subtitles-beside best 1080 mp4 en
    ls "$work"/out-$form-subtitles-beside*.srt > /dev/null || { echo "no subtitles beside the $form video"; exit 1; }
    run $form subtitles-inside best 1080 mp4 en inside
done
echo "subtitles: the WebVTT file is $(bytes "$site/hls/subs-en.vtt") bytes, fetched once per row that asks for it"
