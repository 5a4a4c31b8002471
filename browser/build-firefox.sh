#!/bin/sh
# Writes the Firefox add-on from the same sources as the Chromium
# extension: OUT/firefox/ (the unpacked add-on) and OUT/vidrona-firefox.xpi.
# Firefox runs the background as a script, not a service worker, and knows
# the add-on by the id in browser_specific_settings; the Chromium key goes.
set -eu
here=$(cd "$(dirname "$0")" && pwd)
out=${1:-"$here/../build/browser"}
command -v python3 >/dev/null || { echo "build-firefox.sh: python3 is missing" >&2; exit 1; }
rm -rf "$out/firefox"
mkdir -p "$out/firefox"
for f in background.js media.js popup.html popup.js popup.css; do
  cp "$here/$f" "$out/firefox/$f"
done
python3 - "$here/manifest.json" "$out/firefox/manifest.json" <<'PY'
import json, sys
m = json.load(open(sys.argv[1]))
m.pop("key", None)
m["background"] = {"scripts": ["background.js"], "type": "module"}
m["browser_specific_settings"] = {"gecko": {"id": "browser@vidrona.org", "strict_min_version": "115.0",
                                           "data_collection_permissions": {"required": ["none"]}}}
open(sys.argv[2], "w").write(json.dumps(m, indent=2) + "\n")
PY
rm -f "$out/vidrona-firefox.xpi"
(cd "$out/firefox" && python3 -m zipfile -c "$out/vidrona-firefox.xpi" manifest.json background.js media.js popup.html popup.js popup.css)
echo "$out/vidrona-firefox.xpi"
