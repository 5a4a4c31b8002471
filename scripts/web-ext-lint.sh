#!/bin/sh
# Builds the Firefox add-on from browser/ and lints it with Mozilla's
# web-ext, installed by npm into .tools/web-ext (kept out of the system).
# Stops with an error when node/npm or web-ext cannot be had.
set -eu
root=$(cd "$(dirname "$0")/.." && pwd)
tools="$root/.tools/web-ext"
out=${1:-"$root/build/browser"}
command -v npm >/dev/null || { echo "web-ext-lint.sh: npm is missing (apt-get install npm)" >&2; exit 1; }
if [ ! -x "$tools/node_modules/.bin/web-ext" ]; then
  mkdir -p "$tools"
  npm install --prefix "$tools" --no-audit --no-fund --loglevel=error web-ext@8 >&2
fi
[ -x "$tools/node_modules/.bin/web-ext" ] || { echo "web-ext-lint.sh: web-ext did not install" >&2; exit 1; }
"$root/browser/build-firefox.sh" "$out" >/dev/null
"$tools/node_modules/.bin/web-ext" lint --source-dir "$out/firefox" --no-config-discovery
