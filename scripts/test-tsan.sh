#!/usr/bin/env bash
# Builds with ThreadSanitizer (clang) into ./build-tsan the tests that
# drive the engine's threads (those of tests/net and tests/download) and
# runs them there. Tests labelled "processes" stay out: under
# ThreadSanitizer a fork from a threaded Qt program stops TSan's runtime.
# Only the test targets run here are built, with what they link. Qt is not
# built with ThreadSanitizer, so what it cannot see inside Qt is listed in
# scripts/tsan-qt.supp; a race in the program's own code fails its test.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/deps.sh --sanitize
export TSAN_OPTIONS="suppressions=$PWD/scripts/tsan-qt.supp:halt_on_error=1:second_deadlock_stack=1:history_size=4"
launcher=()
command -v ccache >/dev/null && launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
# -O1 and line tables only: the reports keep their lines, the build and
# the run stay short.
cmake -S . -B build-tsan -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DCMAKE_CXX_FLAGS_RELWITHDEBINFO="-O1 -gline-tables-only" \
  -DCMAKE_CXX_COMPILER=clang++-14 "${launcher[@]}" -DVIDRONA_TSAN=ON \
  -DVIDRONA_WERROR="${VIDRONA_WERROR:-OFF}" >/dev/null
# "tsan-open": reports inside Qt that no suppression can name (see
# tests/net/CMakeLists.txt).
labels=(-L '^tests-(net|download)$' -LE '^(processes|tsan-open)$')
tests=$(ctest --test-dir build-tsan -N "${labels[@]}" | sed -n 's/^ *Test *#[0-9]*: *//p')
if [ -z "$tests" ]; then
  echo "test-tsan: no test carries the labels" >&2
  exit 1
fi
# shellcheck disable=SC2086 # one target per word
cmake --build build-tsan --parallel "$(nproc)" --target $tests
cd build-tsan
ctest --output-on-failure --no-tests=error --parallel 2 --timeout 900 "${labels[@]}"
