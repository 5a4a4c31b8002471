#!/usr/bin/env bash
# Installs what is missing, builds, and runs every test. Fails when
# anything is missing or when no test ran.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/deps.sh
bash scripts/build.sh
cd build
ctest --output-on-failure --no-tests=error --parallel 2 --timeout 600
