#!/usr/bin/env bash
# Installs the build into an empty prefix and checks the tree: exactly the
# program, its menu entry, icons, description and manual page, all valid.
set -euo pipefail
build=${1:?usage: install_tree.sh BUILD_DIR}
prefix=$(mktemp -d)
trap 'rm -rf "$prefix"' EXIT
cmake --install "$build" --prefix "$prefix" >/dev/null

expected="bin/vidrona
bin/vidrona-browser-host
etc/chromium/native-messaging-hosts/org.vidrona.browser.json
etc/opt/chrome/native-messaging-hosts/org.vidrona.browser.json
lib/mozilla/native-messaging-hosts/org.vidrona.browser.json
share/applications/org.vidrona.vidrona.desktop
share/man/man1/vidrona.1.gz
share/metainfo/org.vidrona.vidrona.metainfo.xml"
for size in 16 22 24 32 48 64 128 256; do
  expected+=$'\n'"share/icons/hicolor/${size}x${size}/apps/vidrona.png"
done
actual=$(cd "$prefix" && find . -type f | sed 's|^\./||' | LC_ALL=C sort)
expected=$(LC_ALL=C sort <<<"$expected")
if [ "$actual" != "$expected" ]; then
  echo "installed tree differs:"; diff <(echo "$expected") <(echo "$actual"); exit 1
fi
[ -x "$prefix/bin/vidrona" ] || { echo "bin/vidrona is not executable" >&2; exit 1; }

desktop="$prefix/share/applications/org.vidrona.vidrona.desktop"
desktop-file-validate "$desktop"
grep -qx 'Exec=vidrona %U' "$desktop"
appstreamcli validate --no-net "$prefix/share/metainfo/org.vidrona.vidrona.metainfo.xml"
zcat "$prefix/share/man/man1/vidrona.1.gz" | MANWIDTH=80 man -l - >/dev/null
# Each browser's manifest names the installed host and only the extension.
for m in "$prefix"/etc/chromium/native-messaging-hosts/org.vidrona.browser.json \
         "$prefix"/etc/opt/chrome/native-messaging-hosts/org.vidrona.browser.json; do
  python3 -c 'import json,sys; m=json.load(open(sys.argv[1])); assert m["path"]==sys.argv[2], m; assert m["allowed_origins"]==["chrome-extension://hiemkdcfblalgmlpnmnopjohncebladp/"], m' "$m" "$prefix/bin/vidrona-browser-host"
done
python3 -c 'import json,sys; m=json.load(open(sys.argv[1])); assert m["path"]==sys.argv[2], m; assert m["allowed_extensions"]==["browser@vidrona.org"], m' \
  "$prefix/lib/mozilla/native-messaging-hosts/org.vidrona.browser.json" "$prefix/bin/vidrona-browser-host"
echo "installed tree complete and valid"
