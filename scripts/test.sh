#!/usr/bin/env bash
# Installs what is missing, builds, and runs every test. Fails when
# anything is missing or when no test ran.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/deps.sh
# The tests are built without a debugger's tables, which took about a fifth
# of each compile, and at -O1, which compiles in about three quarters of
# -O2's time; no test measures the program's speed (bench/ does, at -O2).
bash scripts/build.sh -DCMAKE_CXX_FLAGS_RELWITHDEBINFO="-O1 -DNDEBUG"
cd build
# Four at once on two cores: most tests wait on their local servers and
# timers, so the run is shorter; those that must run alone say so.
ctest --output-on-failure --no-tests=error --parallel 4 --timeout 600
