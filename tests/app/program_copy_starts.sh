#!/usr/bin/env bash
# Copies the program into an empty folder, starts it under Xvfb and checks
# that its main window shows and that it created an empty list file beside
# itself. With SHOT=path.png set, a screenshot of the screen is kept.
set -euo pipefail
exe=${1:?usage: program_copy_starts.sh path/to/vidrona}
for tool in Xvfb xwininfo; do
  command -v "$tool" >/dev/null || { echo "missing tool: $tool" >&2; exit 1; }
done
dir=$(mktemp -d)
trap 'rm -rf "$dir"' EXIT
cp "$exe" "$dir/vidrona"

cat >"$dir/inside.sh" <<'INNER'
set -u
dir=$1
"$dir/vidrona" &
pid=$!
found=
for _ in $(seq 100); do
  if xwininfo -root -tree 2>/dev/null | grep -q '"Vidrona v.1.0"'; then found=1; break; fi
  sleep 0.1
done
sleep 0.5
[ -n "${SHOT:-}" ] && import -window root "$SHOT"
kill $pid 2>/dev/null; wait $pid 2>/dev/null
[ -n "$found" ] || { echo "no window titled Vidrona v.1.0 appeared" >&2; exit 1; }
INNER

env -u http_proxy -u HTTP_PROXY bash "$(dirname "$0")/../support/ondisplay.sh" bash "$dir/inside.sh" "$dir"
[ -f "$dir/List" ] || { echo "List was not created in $dir" >&2; exit 1; }
size=$(stat -c %s "$dir/List")
[ "$size" -eq 0 ] || { echo "List is $size bytes, expected 0" >&2; exit 1; }
echo "program started from a copy, showed its window and created an empty List"
