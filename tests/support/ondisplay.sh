#!/usr/bin/env bash
# ondisplay.sh COMMAND...: runs COMMAND on a new Xvfb screen of its own
# (DISPLAY set), then stops the screen. The server picks a free display
# itself (-displayfd) and names it only once it takes clients, so two
# screens at once never share a number and the client never comes early.
# xvfb-run -a guessed a free number from lock files: under load a new
# server found the old one of that number still closing, died, and the
# program found no display. A screen that is named but does not answer a
# client (seen once in CI, right after the screen before it closed) is
# stopped and another started, three times at most.
set -euo pipefail
for tool in Xvfb xwininfo; do
  command -v "$tool" >/dev/null || { echo "missing tool: $tool" >&2; exit 1; }
done
fifo=$(mktemp -u)
xpid=
stop_screen() {
  [ -z "$xpid" ] || { kill "$xpid" 2>/dev/null; wait "$xpid" 2>/dev/null || true; }
  xpid=
}
trap 'stop_screen; rm -f "$fifo"' EXIT

# start_screen: a new screen; its display number on stdout, or nothing.
start_screen() {
  rm -f "$fifo" && mkfifo -m 600 "$fifo"
  Xvfb -displayfd 3 -screen 0 "${SCREEN:-1024x700x24}" -nolisten tcp 3>"$fifo" 2>/dev/null &
  xpid=$!
  number=
  read -r -t 60 number <"$fifo" || true
}

for try in 1 2 3; do
  start_screen
  if [ -n "$number" ] && DISPLAY=:$number timeout 10 xwininfo -root >/dev/null 2>&1; then
    DISPLAY=:$number "$@"
    exit
  fi
  echo "ondisplay: screen ${number:-(none)} did not answer (try $try of 3)" >&2
  stop_screen
done
echo "ondisplay: no screen answered" >&2
exit 1
