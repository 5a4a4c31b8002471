#!/usr/bin/env bash
# As a user with an empty home, against the simulated web: an address given
# on the command line lands in the list, and the next start's Yes fetches
# its file. Installed (a folder the user cannot write): both in the user's
# folders, nothing beside the program. A copy of the user's own: both beside
# the program, nothing in the home. What D-Bus (autolaunched on a desktop
# with dbus-x11) or the desktop's caches write there on their own is not
# the program's doing and does not count.
set -euo pipefail
build=$1 web=$2
address='http://www.videkta.ge/?video_id=147629'
command -v xdotool >/dev/null || { echo "missing tool: xdotool" >&2; exit 1; }
tmp=$(mktemp -d)
chmod 755 "$tmp"
webpid=
trap '[ -n "$webpid" ] && kill $webpid 2>/dev/null; rm -rf "$tmp"' EXIT
cmake --install "$build" --prefix "$tmp/prefix" >/dev/null
mkdir "$tmp/copy"
# The screen's starter, where the unprivileged user can read it.
cp "$(dirname "$0")/../support/ondisplay.sh" "$tmp/ondisplay.sh"
cp "$tmp/prefix/bin/vidrona" "$tmp/copy/vidrona"

# As root the program runs as an unprivileged user (made once, kept);
# otherwise the installed folder is made read-only for the caller.
if [ "$(id -u)" -eq 0 ]; then
  user=vidrona-test as=(runuser -u vidrona-test --)
  id "$user" >/dev/null 2>&1 || useradd --system --user-group --no-create-home "$user"
  chown -R "$user:" "$tmp/copy"
else
  user=$(id -un) as=()
  chmod a-w "$tmp/prefix/bin"
fi

"$web" --port 0 >"$tmp/web.log" &
webpid=$!
for _ in $(seq 50); do grep -q listening "$tmp/web.log" && break; sleep 0.1; done
proxy=http://127.0.0.1:$(sed -n 's/.*127\.0\.0\.1:\([0-9]*\).*/\1/p' "$tmp/web.log")

# inside.sh PROGRAM LIST WORD [ARG]: starts the program, answers Yes to the
# start-up question when it comes, and stops it once LIST holds WORD.
cat >"$tmp/inside.sh" <<'INNER'
exe=$1 list=$2 word=$3; shift 3
"$exe" "$@" &
for _ in $(seq 200); do
  win=$(xdotool search --name '^Confirm$' 2>/dev/null | head -1)
  [ -n "$win" ] && xdotool windowfocus "$win" key Return 2>/dev/null
  grep -q "$word" "$list" 2>/dev/null && break
  sleep 0.1
done
kill $! 2>/dev/null; wait $! 2>/dev/null
grep -q "$word" "$list" 2>/dev/null || { echo "$list never held $word" >&2; exit 1; }
INNER

# program_files HOME: the files under HOME, less those of D-Bus and caches.
program_files() {
  (cd "$1" && find . -mindepth 1 \( -path ./.dbus -o -path ./.cache \) -prune -o -type f -print | sort)
}

run_case() { # NAME PROGRAM LIST_FOLDER DOWNLOAD_FOLDER (~: the case's home)
  local home=$tmp/home-$1 runtime=$tmp/run-$1
  mkdir "$home" "$runtime"; chown "$user:" "$home" "$runtime"; chmod 700 "$runtime"
  local list=${3/\~/$home}/List file=${4/\~/$home}/147629.flv
  local step args=("$address")
  for step in PENDING COMPLETED; do
    "${as[@]}" env -i HOME="$home" XDG_RUNTIME_DIR="$runtime" PATH=/usr/bin:/bin http_proxy="$proxy" \
      bash "$tmp/ondisplay.sh" bash "$tmp/inside.sh" "$2" "$list" $step "${args[@]}"
    args=()
  done
  curl -s --max-time 20 -x "$proxy" "$(sed -n 2p "$list" | tr -d '\r')" -o "$tmp/served"
  cmp "$tmp/served" "$file"
}

run_case installed "$tmp/prefix/bin/vidrona" '~/.local/share/Vidrona' '~/Downloads/Vidrona'
# The program and its browser host, nothing written beside them.
[ "$(ls -A "$tmp/prefix/bin" | tr '\n' ' ')" = "vidrona vidrona-browser-host " ] || {
  echo "written beside the installed program" >&2; exit 1; }
expected=$(printf '%s\n' ./.local/share/Vidrona/List ./Downloads/Vidrona/147629.flv | sort)
[ "$(program_files "$tmp/home-installed")" = "$expected" ] || {
  echo "the installed program wrote elsewhere in the home:" >&2; program_files "$tmp/home-installed" >&2; exit 1; }
run_case copy "$tmp/copy/vidrona" "$tmp/copy" "$tmp/copy"
[ -z "$(program_files "$tmp/home-copy")" ] || {
  echo "the copy wrote into the home:" >&2; program_files "$tmp/home-copy" >&2; exit 1; }
echo "installed: list and file in the user's folders; copy: both beside the program"
