#!/usr/bin/env bash
# Fetches a 1 MiB and a 1 GiB generated file from one local server, once
# with curl and once through the program's queue, and prints the times,
# both peak memory figures and the queue's longest event-loop gap, with three
# ratios: body_s (the queue's time until the whole body had arrived) over
# curl_s, queue_s (until the row is COMPLETED: the file synced to disk
# and in place) over sync_s (curl followed by an fsync of curl's file), and
# queue_s over curl_s: durable until COMPLETED against a plain curl -o,
# which does not sync (goal for 1 GiB: at most 1.1). On a disk slower than
# loopback curl is no limit, so the same bytes are also written straight to
# the same disk (dd oflag=direct, then an fsync): the link/disk limit is
# the slower of curl and that write, and q/limit is the queue against it.
# Usage: bench/queue/run.sh [ROUNDS=n] [BUILD=folder]
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
. "$root/bench/lib.sh"
bench_need curl:curl
build=${BUILD:-$root/build-bench-queue}
bench_build "$build" queue_bench queue_bench_server

bench_serve "$build/bench/queue/queue_bench_server"

# Each size is fetched ROUNDS times by both, alternately; the best time of
# each and the highest memory and event-loop gap of all rounds are shown.
rounds=${ROUNDS:-3}
echo "server on $proxy; $rounds rounds per size; load: $(cut -d' ' -f1-3 /proc/loadavg)"
printf '%-6s %8s %8s %6s %8s %8s %6s %7s %7s %7s %9s %10s %7s   %s\n' size curl_s body_s ratio sync_s queue_s ratio q/curl \
    dd_s q/limit curl_MiB queue_MiB gap_ms "all rounds (curl/curl+fsync/dd/body/queue s)"
for size in 1048576 1073741824; do
    url=http://bench.vidrona.test/file-$size.bin
    best_c= best_s= best_q= best_b= best_d= mem_c=0 mem_q=0 gap=0 all=
    for _ in $(seq "$rounds"); do
        # Each run starts with no dirty pages of the one before: otherwise
        # the second one pays for writing back the first one's file.
        sync
        start=$(date +%s.%N)
        /usr/bin/time -v -o "$work/curl.time" curl -sS --noproxy '' -x "$proxy" "$url" \
            -o "$work/curl.bin" -w '%{time_total}' > "$work/curl.out"
        sync "$work/curl.bin" # fsync of that one file, as the queue does
        synced=$(awk -v a="$start" -v b="$(date +%s.%N)" 'BEGIN{print b - a}')
        sync
        start=$(date +%s.%N)
        dd if="$work/curl.bin" of="$work/direct.bin" bs=4M oflag=direct conv=fsync status=none
        direct=$(awk -v a="$start" -v b="$(date +%s.%N)" 'BEGIN{print b - a}')
        rm -f "$work/direct.bin"
        mkdir "$work/q"
        sync
        /usr/bin/time -v -o "$work/queue.time" env http_proxy="$proxy" no_proxy= \
            "$build/bench/queue/queue_bench" "$url" "$work/q" > "$work/queue.out" 2> "$work/queue.err"
        grep -q '^ok 1' "$work/queue.out" || { echo "queue run failed at $size"; cat "$work/queue.err"; exit 1; }
        cmp -s "$work/curl.bin" "$work/q/file-$size.bin" || { echo "files differ at $size"; exit 1; }
        c=$(cat "$work/curl.out")
        q=$(awk '/^queue_seconds/{print $2}' "$work/queue.out")
        body=$(awk '/^body_seconds/{print $2}' "$work/queue.out")
        best_b=$(min "$body" "$best_b")
        best_c=$(min "$c" "$best_c")
        best_s=$(min "$synced" "$best_s")
        best_d=$(min "$direct" "$best_d")
        best_q=$(min "$q" "$best_q")
        mem_c=$(max "$(peak_mib "$work/curl.time")" "$mem_c")
        mem_q=$(max "$(peak_mib "$work/queue.time")" "$mem_q")
        gap=$(max "$(awk '/^longest_gap_ms/{print $2}' "$work/queue.out")" "$gap")
        all="$all $(printf '%.2f/%.2f/%.2f/%.2f/%.2f' "$c" "$synced" "$direct" "$body" "$q")"
        rm -rf "$work/q" "$work/curl.bin"
    done
    ratio=$(awk -v q="$best_q" -v c="$best_s" 'BEGIN{printf "%.2f", q/c}')
    ratio_b=$(awk -v q="$best_b" -v c="$best_c" 'BEGIN{printf "%.2f", q/c}')
    ratio_c=$(awk -v q="$best_q" -v c="$best_c" 'BEGIN{printf "%.2f", q/c}')
    ratio_l=$(awk -v q="$best_q" -v c="$best_c" -v d="$best_d" 'BEGIN{l = (c > d) ? c : d; printf "%.2f", q/l}')
    label=$([ "$size" -ge 1073741824 ] && echo 1GiB || echo 1MiB)
    printf '%-6s %8.3f %8.3f %6s %8.3f %8.3f %6s %7s %7.3f %7s %9s %10s %7s  %s\n' "$label" "$best_c" "$best_b" \
        "$ratio_b" "$best_s" "$best_q" "$ratio" "$ratio_c" "$best_d" "$ratio_l" "$mem_c" "$mem_q" "$gap" "$all"
done
