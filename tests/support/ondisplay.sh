#!/usr/bin/env bash
# ondisplay.sh COMMAND...: runs COMMAND on a new Xvfb screen of its own
# (DISPLAY set), then stops the screen. The server picks a free display
# itself (-displayfd) and names it only once it takes clients, so two
# screens at once never share a number and the client never comes early.
# xvfb-run -a guessed a free number from lock files: under load a new
# server found the old one of that number still closing, died, and the
# program found no display.
set -euo pipefail
command -v Xvfb >/dev/null || { echo "missing tool: Xvfb" >&2; exit 1; }
fifo=$(mktemp -u)
mkfifo -m 600 "$fifo"
Xvfb -displayfd 3 -screen 0 "${SCREEN:-1024x700x24}" -nolisten tcp 3>"$fifo" 2>/dev/null &
xpid=$!
trap 'kill $xpid 2>/dev/null; wait $xpid 2>/dev/null; rm -f "$fifo"' EXIT
number=
read -r -t 60 number <"$fifo" || true
[ -n "$number" ] || { echo "Xvfb named no display within 60 s" >&2; exit 1; }
DISPLAY=:$number "$@"
