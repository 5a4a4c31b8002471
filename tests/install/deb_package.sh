#!/usr/bin/env bash
# Builds the .deb and checks that its dependencies name every shared
# library the program links: found by dpkg-shlibdeps, not written by hand.
set -euo pipefail
build=${1:?usage: deb_package.sh BUILD_DIR}
out=$(mktemp -d)
trap 'rm -rf "$out"' EXIT
cpack -G DEB --config "$build/CPackConfig.cmake" -B "$out" >/dev/null
deb=$(find "$out" -maxdepth 1 -name '*.deb' | head -1)
[ -n "$deb" ] || { echo "no .deb was made" >&2; exit 1; }
depends=$(dpkg-deb -f "$deb" Depends)
echo "Depends: $depends"
for lib in libavformat libavcodec libavutil libcurl libqt6dbus6 libqt6widgets6; do
  grep -q "$lib" <<<"$depends" || { echo "the package does not depend on $lib" >&2; exit 1; }
done
# The browsers find the host where they look, naming the installed host.
contents=$(dpkg-deb -c "$deb")
for f in ./etc/chromium/native-messaging-hosts/org.vidrona.browser.json \
         ./etc/opt/chrome/native-messaging-hosts/org.vidrona.browser.json \
         ./usr/lib/mozilla/native-messaging-hosts/org.vidrona.browser.json ./usr/bin/vidrona-browser-host; do
  grep -q " $f\$" <<<"$contents" || { echo "the package lacks $f" >&2; exit 1; }
done
dpkg-deb --fsys-tarfile "$deb" | tar -xO ./etc/chromium/native-messaging-hosts/org.vidrona.browser.json \
  | grep -q '"path": "/usr/bin/vidrona-browser-host"' || { echo "the Chromium manifest names another host" >&2; exit 1; }
