#!/usr/bin/env bash
# Builds the fuzz targets with clang into ./build-fuzz and runs each for
# SECONDS (default 60) from its committed seeds. Prints the executions of
# each; stops with an error at the first finding (kept in build-fuzz/findings).
set -euo pipefail
cd "$(dirname "$0")/.."
SECONDS_EACH=${1:-60}
bash scripts/deps.sh --fuzz
launcher=()
command -v ccache >/dev/null && launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
cmake -S . -B build-fuzz -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DCMAKE_CXX_COMPILER=clang++-14 "${launcher[@]}" -DVIDRONA_FUZZ=ON -DVIDRONA_TESTS=OFF >/dev/null
cmake --build build-fuzz --parallel "$(nproc)" --target fuzz_all
targets=$(cat build-fuzz/fuzz/targets.txt)
mkdir -p build-fuzz/findings
export ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1
for t in $targets; do
  corpus=build-fuzz/corpus/$t
  mkdir -p "$corpus"
  log=build-fuzz/fuzz_$t.log
  if ! build-fuzz/fuzz/fuzz_$t -max_total_time="$SECONDS_EACH" -max_len=8192 -print_final_stats=1 \
       -artifact_prefix=build-fuzz/findings/$t- "$corpus" "fuzz/seeds/$t" >"$log" 2>&1; then
    tail -40 "$log"
    echo "fuzz: $t found a fault (see build-fuzz/findings)" >&2
    exit 1
  fi
  runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log")
  echo "fuzz: $t ran $runs inputs in ${SECONDS_EACH}s without a finding"
done
