#!/usr/bin/env bash
# 8 rows at once, each one 64 MiB file over 16 connections, from a local
# server that lets each connection have at most 16 MiB/s and answers
# ranges (bench/segmented's server). Prints the program's threads and
# descriptors at their peak while the rows run, its peak memory, the time
# and the throughput of all rows together.
# With BEFORE=<git checkout> the same program is built from that
# checkout's HEAD (exported to a folder of its own; the checkout is not
# touched) and run first, so the two runs are side by side.
# Usage: bench/rows/run.sh [ROWS=n] [CONNECTIONS=n] [SIZE=bytes] [RATE=bytes/s] [BEFORE=path] [BUILD=folder]
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
rows=${ROWS:-8}
connections=${CONNECTIONS:-16}
size=${SIZE:-67108864}
rate=${RATE:-16777216}
. "$root/bench/lib.sh"

# build SOURCE BUILD: the bench program and the server, Release (a BUILD
# folder given is taken as it is configured).
build() {
    if [ -n "${BUILD:-}" ] && [ "$2" = "$BUILD" ]; then
        cmake "$2" -DVIDRONA_BENCH=ON > /dev/null
    else
        cmake -S "$1" -B "$2" -G Ninja -DCMAKE_BUILD_TYPE=Release -DVIDRONA_BENCH=ON -DVIDRONA_TESTS=OFF > /dev/null
    fi
    cmake --build "$2" --target rows_bench segmented_bench_server > /dev/null
}

# A copy of BEFORE's HEAD with this bench added to it.
before_source() {
    local src=$root/build-bench-rows-before-src
    rm -rf "$src" && mkdir -p "$src"
    git -C "$1" archive HEAD | tar -x -C "$src"
    cp -r "$root/bench/rows" "$src/bench/"
    # Before the layers had targets of their own, one library held them all.
    grep -rqs 'add_library(vidrona_download' "$src/src" \
        || sed -i 's/vidrona_download/vidrona_core/' "$src/bench/rows/CMakeLists.txt"
    # ... and the fetch's names were in the top namespace.
    grep -qs 'namespace vidrona::download' "$src/src/download/filefetch.h" \
        || sed -i 's/vidrona::download::/vidrona::/g' "$src/bench/rows/rowsbench.cpp"
    sed -i 's/^foreach(b \(.*\))$/foreach(b rows \1)/' "$src/bench/CMakeLists.txt"
    echo "$src"
}

after=${BUILD:-$root/build-bench-rows} # BUILD: a build folder configured already (the benches may share one)
build "$root" "$after"
bench_serve "$after/bench/segmented/segmented_bench_server" "$rate"
url=http://bench.vidrona.test/file-$size.bin

run() {
    rm -rf "$work/out" && mkdir "$work/out"
    sync
    echo "== $1"
    env http_proxy=http://127.0.0.1:$port no_proxy= "$2/bench/rows/rows_bench" "$url" "$work/out" "$rows" "$connections" "$size"
}

if [ -n "${BEFORE:-}" ]; then
    src=$(before_source "$BEFORE")
    build "$src" "$root/build-bench-rows-before"
    run "before ($(git -C "$BEFORE" rev-parse --short HEAD))" "$root/build-bench-rows-before"
fi
run "after ($(git -C "$root" rev-parse --short HEAD))" "$after"
