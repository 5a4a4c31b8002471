#!/bin/bash
# Builds the benchmark into its own folder and runs it: 256 MiB through the
# YouTube window and with curl from one local server, then a 32 MiB run in
# a fresh process to show that the peak memory does not follow the size,
# then 3 GiB (past 32 bits: the window must complete it and its counters
# show the whole size; needs about 3 GiB free in the temporary folder).
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
. "$root/bench/lib.sh"
build=${BUILD:-$root/build-bench-youtube}
# BUILD: a build folder configured already (the benches may share one), taken as it is
bench_build "$build" youtube_bench
export QT_QPA_PLATFORM=offscreen http_proxy= HTTP_PROXY=
"$build/bench/youtube/youtube_bench" --size $((256 * 1024 * 1024))
"$build/bench/youtube/youtube_bench" --size $((32 * 1024 * 1024))
"$build/bench/youtube/youtube_bench" --size $((3 * 1024 * 1024 * 1024)) --rounds 3
