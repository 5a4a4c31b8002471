#!/usr/bin/env bash
# Builds everything with AddressSanitizer and UndefinedBehaviorSanitizer
# (clang) into ./build-sanitize and runs every test there, and every fuzz
# target over its seeds. Leaks that are Qt's own are listed in
# scripts/lsan-qt.supp.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/deps.sh --sanitize
export ASAN_OPTIONS=detect_leaks=1:abort_on_error=0
export LSAN_OPTIONS=suppressions=$PWD/scripts/lsan-qt.supp:print_suppressions=0
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
launcher=()
command -v ccache >/dev/null && launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
# -O1 and line tables only: the reports keep their lines, the build and
# the run stay short.
cmake -S . -B build-sanitize -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DCMAKE_CXX_FLAGS_RELWITHDEBINFO="-O1 -gline-tables-only" \
  -DCMAKE_CXX_COMPILER=clang++-14 "${launcher[@]}" -DVIDRONA_SANITIZE=ON \
  -DVIDRONA_WERROR="${VIDRONA_WERROR:-OFF}" >/dev/null
cmake --build build-sanitize --parallel "$(nproc)"
cd build-sanitize
ctest --output-on-failure --no-tests=error --parallel 4 --timeout 900
