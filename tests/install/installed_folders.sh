#!/usr/bin/env bash
# Runs the program as a user, with an empty home, against the simulated web,
# once installed (a folder the user cannot write) and once as a copy in a
# folder of the user's own. Each time an address given on the command line
# must land in the list; on the next start the question's Yes must fetch
# its file. Installed: list and file go to the user's folders and nothing
# beside the program. Copy: both beside the program, nothing in the home.
set -euo pipefail
build=${1:?usage: installed_folders.sh BUILD_DIR TESTWEB}
web=${2:?usage: installed_folders.sh BUILD_DIR TESTWEB}
address='http://www.videkta.ge/?video_id=147629'
for tool in xvfb-run xauth xdotool curl; do
  command -v "$tool" >/dev/null || { echo "missing tool: $tool" >&2; exit 1; }
done

tmp=$(mktemp -d)
chmod 755 "$tmp"
webpid=
trap '[ -n "$webpid" ] && kill $webpid 2>/dev/null; rm -rf "$tmp"' EXIT
cmake --install "$build" --prefix "$tmp/prefix" >/dev/null
mkdir "$tmp/copy"
cp "$tmp/prefix/bin/vidrona" "$tmp/copy/vidrona"

# As root the program runs as an unprivileged user (made once, kept);
# otherwise the installed folder is made read-only for the caller.
if [ "$(id -u)" -eq 0 ]; then
  user=vidrona-test
  id "$user" >/dev/null 2>&1 \
    || useradd --system --user-group --no-create-home --shell /usr/sbin/nologin "$user"
  as=(runuser -u "$user" --)
  chown -R "$user:" "$tmp/copy"
else
  user=$(id -un)
  as=()
  chmod a-w "$tmp/prefix/bin"
fi

"$web" --port 0 >"$tmp/web.log" &
webpid=$!
for _ in $(seq 50); do grep -q listening "$tmp/web.log" && break; sleep 0.1; done
port=$(sed -n 's/.*127\.0\.0\.1:\([0-9]*\).*/\1/p' "$tmp/web.log")
[ -n "$port" ] || { echo "the simulated web did not start" >&2; exit 1; }

# inside.sh PROGRAM LIST WORD [ARG]: starts the program, answers Yes to the
# start-up question when it comes, and stops it once LIST holds WORD.
cat >"$tmp/inside.sh" <<'INNER'
set -u
exe=$1 list=$2 word=$3; shift 3
"$exe" "$@" &
pid=$!
for _ in $(seq 200); do
  if [ "$word" = COMPLETED ]; then
    win=$(xdotool search --name '^Confirm$' 2>/dev/null | head -1)
    [ -n "$win" ] && xdotool windowfocus "$win" key Return 2>/dev/null
  fi
  grep -q "$word" "$list" 2>/dev/null && break
  sleep 0.1
done
kill $pid 2>/dev/null; wait $pid 2>/dev/null
grep -q "$word" "$list" 2>/dev/null || { echo "$list never held $word" >&2; exit 1; }
INNER

run_case() { # NAME PROGRAM LIST_FOLDER (~ for the case's home)
  local home=$tmp/home-$1 runtime=$tmp/run-$1
  mkdir "$home" "$runtime"; chown "$user:" "$home" "$runtime"; chmod 700 "$runtime"
  local list=${3/\~/$home}/List
  as_user() {
    "${as[@]}" env -i HOME="$home" XDG_RUNTIME_DIR="$runtime" PATH=/usr/bin:/bin http_proxy="http://127.0.0.1:$port" \
      xvfb-run -a -s "-screen 0 1024x700x24" bash "$tmp/inside.sh" "$@"
  }
  as_user "$2" "$list" PENDING "$address"
  as_user "$2" "$list" COMPLETED
  cp "$list" "$tmp/list-$1"
}
expect_file() { # NAME PATH: the case's list names the file at PATH, as served
  local fileurl
  fileurl=$(sed -n 2p "$tmp/list-$1" | tr -d '\r')
  curl -s --max-time 20 -x "http://127.0.0.1:$port" "$fileurl" -o "$tmp/expected"
  cmp -s "$tmp/expected" "$2" || { echo "$2 is not the file of $fileurl" >&2; exit 1; }
}

run_case installed "$tmp/prefix/bin/vidrona" '~/.local/share/Vidrona'
expect_file installed "$tmp/home-installed/Downloads/Vidrona/147629.flv"
beside=$(ls -A "$tmp/prefix/bin")
[ "$beside" = vidrona ] || { echo "written beside the installed program: $beside" >&2; exit 1; }

run_case copy "$tmp/copy/vidrona" "$tmp/copy"
expect_file copy "$tmp/copy/147629.flv"
[ -z "$(ls -A "$tmp/home-copy")" ] || { echo "the copy wrote into the home:" >&2; find "$tmp/home-copy" >&2; exit 1; }
echo "installed: list and file in the user's folders; copy: both beside the program"
