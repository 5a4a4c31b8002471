#!/usr/bin/env bash
# Installs what is missing, builds, and starts Vidrona.
#   scripts/run.sh              the program as it is, on the real network
#   scripts/run.sh --simulated  the program against the project's simulated
#                               web (the sites of the time no longer serve
#                               the pages the program reads)
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/deps.sh
bash scripts/build.sh
if [ "${1:-}" = "--simulated" ]; then
  log=$(mktemp)
  build/testweb/vidrona-testweb --port 0 >"$log" &
  web=$!
  trap 'kill $web 2>/dev/null || true; rm -f "$log"' EXIT
  for _ in $(seq 50); do grep -q listening "$log" && break; sleep 0.1; done
  port=$(sed -n 's/.*127\.0\.0\.1:\([0-9]*\).*/\1/p' "$log")
  [ -n "$port" ] || { echo "run: the simulated web did not start" >&2; exit 1; }
  echo "run: simulated web on 127.0.0.1:$port"
  echo "run: addresses to paste, one per site: docs/simulated-web.md"
  echo "run: pages opened in the browser need its HTTP proxy set to 127.0.0.1:$port"
  http_proxy="http://127.0.0.1:$port" no_proxy= build/vidrona
else
  build/vidrona
fi
