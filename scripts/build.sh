#!/usr/bin/env bash
# Configures and builds into ./build (tests included). VIDRONA_WERROR=ON
# in the environment (as CI sets it) turns warnings into errors.
set -euo pipefail
cd "$(dirname "$0")/.."
launcher=()
command -v ccache >/dev/null && launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo "${launcher[@]}" \
  -DVIDRONA_WERROR="${VIDRONA_WERROR:-OFF}" "$@" >/dev/null
cmake --build build --parallel "$(nproc)"
