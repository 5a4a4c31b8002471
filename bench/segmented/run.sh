#!/usr/bin/env bash
# One 256 MiB file from a local server that lets each connection have at
# most 16 MiB/s and answers ranges, fetched in the same run by the
# program's file fetch with 8 connections (until the file is synced and in
# place), by the same with 1 connection, by aria2c -x8 -s8 -k1M and by one
# curl. Prints the times, the ratios against aria2c and against one
# connection, and each one's peak memory.
# Usage: bench/segmented/run.sh [ROUNDS=n] [SIZE=bytes] [RATE=bytes/s] [BUILD=folder]
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
. "$root/bench/lib.sh"
bench_need aria2c:aria2 curl:curl
build=${BUILD:-$root/build-bench-segmented}
bench_build "$build" segmented_bench segmented_bench_server

size=${SIZE:-268435456}
rate=${RATE:-16777216}
rounds=${ROUNDS:-1}

bench_serve "$build/bench/segmented/segmented_bench_server" "$rate"
url=http://bench.vidrona.test/file-$size.bin

# Runs one fetcher into $work/out/; prints "seconds peak_MiB".
fetch_with() {
    rm -rf "$work/out" && mkdir "$work/out"
    sync
    local start
    start=$(now)
    case $1 in
        vidrona8 | vidrona1)
            /usr/bin/time -v -o "$work/time" env http_proxy="$proxy" no_proxy= \
                "$build/bench/segmented/segmented_bench" "$url" "$work/out/file.bin" "${1#vidrona}" \
                > "$work/fetch.out" ;;
        aria2c)
            /usr/bin/time -v -o "$work/time" aria2c -q -x8 -s8 -k1M --all-proxy="$proxy" \
                --allow-overwrite=true --file-allocation=none -d "$work/out" -o file.bin "$url" ;;
        curl)
            /usr/bin/time -v -o "$work/time" curl -sS --noproxy '' -x "$proxy" "$url" -o "$work/out/file.bin" ;;
    esac
    local seconds
    seconds=$(since "$start")
    [ "$(stat -c %s "$work/out/file.bin")" = "$size" ] || { echo "$1: wrong size" >&2; exit 1; }
    # Every fetcher's bytes against the first one's: curl's among them.
    [ -e "$work/ref.bin" ] || mv "$work/out/file.bin" "$work/ref.bin"
    [ ! -e "$work/out/file.bin" ] || cmp -s "$work/out/file.bin" "$work/ref.bin" || { echo "$1: bytes differ" >&2; exit 1; }
    echo "$seconds $(peak_mib "$work/time")"
}

echo "server on $proxy; $(( size >> 20 )) MiB, $(( rate >> 20 )) MiB/s per connection; load: $(cut -d' ' -f1-3 /proc/loadavg)"
printf '%-9s %9s %9s\n' fetcher seconds peak_MiB
declare -A best mem
for _ in $(seq "$rounds"); do
    for f in vidrona8 aria2c vidrona1 curl; do
        read -r s m < <(fetch_with "$f")
        printf '%-9s %9s %9s\n' "$f" "$s" "$m"
        best[$f]=$(awk -v a="$s" -v b="${best[$f]:-}" 'BEGIN{print (b == "" || a+0 < b+0) ? a : b}')
        mem[$f]=$(awk -v a="$m" -v b="${mem[$f]:-0}" 'BEGIN{print (a+0 > b+0) ? a : b}')
    done
done
echo "best: vidrona8 ${best[vidrona8]} s, aria2c ${best[aria2c]} s, vidrona1 ${best[vidrona1]} s, curl ${best[curl]} s"
awk -v v="${best[vidrona8]}" -v a="${best[aria2c]}" -v o="${best[vidrona1]}" 'BEGIN{
    printf "vidrona8/aria2c %.2f (goal <= 1.05); vidrona1/vidrona8 %.2f (goal >= 6)\n", v/a, o/v }'
echo "peak memory: vidrona8 ${mem[vidrona8]} MiB (goal <= 80), vidrona1 ${mem[vidrona1]} MiB, aria2c ${mem[aria2c]} MiB, curl ${mem[curl]} MiB"
