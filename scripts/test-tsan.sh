#!/usr/bin/env bash
# Builds the program and its tests with ThreadSanitizer (clang) into
# ./build-tsan and runs every test there. Qt is not built with it, so what
# ThreadSanitizer cannot see inside Qt is listed in scripts/tsan-qt.supp;
# a race in the program's own code fails its test.
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
cmake --build build-tsan --parallel "$(nproc)"
cd build-tsan
# The installed tree and the package are no matter of threads.
ctest --output-on-failure --no-tests=error --parallel 2 --timeout 900 \
  --exclude-regex '^(install_tree|installed_folders|deb_package|layer_.*)$'
