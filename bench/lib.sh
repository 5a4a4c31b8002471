# What every bench's run.sh shares: sourced after `set -euo pipefail` and
# root=<the checkout>. Building, a work folder cleared on exit, one local
# server in the background, and the small figures' arithmetic.

# bench_need COMMAND:PACKAGE...: installs the Debian packages whose
# commands are missing, then stops with a line when one still is.
bench_need() {
    local pair missing=()
    for pair in "$@"; do
        command -v "${pair%%:*}" > /dev/null || missing+=("${pair#*:}")
    done
    if [ ${#missing[@]} -gt 0 ]; then
        local sudo=
        [ "$(id -u)" = 0 ] || sudo=sudo
        $sudo apt-get install -y -qq "${missing[@]}" > /dev/null || true
    fi
    for pair in "$@"; do
        command -v "${pair%%:*}" > /dev/null \
            || { echo "${pair%%:*} is missing and could not be installed" >&2; exit 1; }
    done
}

# bench_build FOLDER TARGET...: builds the targets in FOLDER, Release, the
# benches on and the tests off. A folder given as BUILD is taken as it is
# configured (the benches may share one); the bench is only switched on.
bench_build() {
    local folder=$1
    shift
    if [ -n "${BUILD:-}" ] && [ "$folder" = "$BUILD" ]; then
        cmake "$folder" -DVIDRONA_BENCH=ON > /dev/null
    else
        cmake -S "$root" -B "$folder" -G Ninja -DCMAKE_BUILD_TYPE=Release \
              -DVIDRONA_BENCH=ON -DVIDRONA_TESTS=OFF > /dev/null
    fi
    cmake --build "$folder" --target "$@" > /dev/null
}

# A work folder, and the server started by bench_serve, both gone on exit.
work=$(mktemp -d)
server_pid=
bench_cleanup() {
    [ -n "$server_pid" ] && kill "$server_pid" 2> /dev/null || true
    rm -rf "$work"
}
trap bench_cleanup EXIT

# bench_serve PROGRAM ARG...: starts a local server that prints "port N"
# once it listens, waits for that line (20 s at the most) and sets port and
# proxy.
bench_serve() {
    "$@" > "$work/server.out" &
    server_pid=$!
    local _
    for _ in $(seq 200); do
        grep -q '^port ' "$work/server.out" 2> /dev/null && break
        sleep 0.1
    done
    port=$(awk '/^port /{print $2}' "$work/server.out")
    [ -n "$port" ] || { echo "the bench's server did not start: $*" >&2; exit 1; }
    proxy=http://127.0.0.1:$port
}

peak_mib() { awk -F': ' '/Maximum resident set size/{printf "%.1f", $2/1024}' "$1"; }
max() { awk -v a="$1" -v b="$2" 'BEGIN{print (a+0 > b+0) ? a : b}'; }
min() { awk -v a="$1" -v b="$2" 'BEGIN{print (b == "" || a+0 < b+0) ? a : b}'; }
now() { date +%s.%N; }
since() { awk -v a="$1" -v b="$(now)" 'BEGIN{printf "%.3f", b - a}'; }
ratio() { awk -v a="$1" -v b="$2" 'BEGIN{printf "%.2f", a/b}'; }
