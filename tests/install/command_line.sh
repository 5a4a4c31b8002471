#!/usr/bin/env bash
# --help and --version answer and exit 0 where there is no display at all;
# an unknown option is refused with status 1.
set -euo pipefail
exe=${1:?usage: command_line.sh path/to/vidrona}
run() { env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM "$exe" "$@"; }

out=$(run --version)
[ "$out" = "vidrona 1.0" ] || { echo "--version printed: $out" >&2; exit 1; }
out=$(run --help)
for word in --help --version address; do
  grep -q -- "$word" <<<"$out" || { echo "--help lacks $word: $out" >&2; exit 1; }
done
status=0; run --no-such-option 2>/dev/null || status=$?
[ "$status" -eq 1 ] || { echo "unknown option gave status $status" >&2; exit 1; }
echo "--help and --version answered without a display"
