#!/usr/bin/env bash
# Installs what building, running and testing Vidrona needs on Debian 12,
# and stops with an error when something is still missing afterwards.
set -euo pipefail

PACKAGES=(g++ cmake ninja-build qt6-base-dev qt6-base-dev-tools libqt6dbus6 libgl-dev
          libcurl4-openssl-dev libavformat-dev libavcodec-dev libavutil-dev libswresample-dev pkg-config ffmpeg xvfb xauth x11-utils imagemagick curl fonts-dejavu-core time procps
          xdotool desktop-file-utils appstream dpkg-dev file passwd dbus dbus-x11 ccache)
TOOLS=(cmake ninja g++ xvfb-run xauth xwininfo import curl /usr/bin/time
       xdotool desktop-file-validate appstreamcli dpkg-shlibdeps cpack file
       useradd runuser pkg-config ffmpeg ffprobe dbus-run-session dbus-launch)
# The browser extension's tests: a headless Chromium, and npm for web-ext.
# A machine whose Node.js comes from elsewhere already has its own npm, and
# Debian's npm package would conflict with it: then only the tool counts.
PACKAGES+=(chromium python3)
command -v npm >/dev/null || PACKAGES+=(npm)
TOOLS+=(chromium npm python3)
# Sites only yt-dlp reads: its tests run the real program.
PACKAGES+=(yt-dlp)
TOOLS+=(yt-dlp)
# The fuzz and sanitizer builds (scripts/fuzz.sh, scripts/test-sanitize.sh)
# also need clang and its sanitizer runtimes.
case "${1:-}" in
  --fuzz|--sanitize) PACKAGES+=(clang-14 libclang-rt-14-dev); TOOLS+=(clang++-14) ;;
esac

missing=()
for p in "${PACKAGES[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
    missing+=("$p")
  fi
done

if [ ${#missing[@]} -gt 0 ]; then
  echo "deps: installing ${missing[*]}"
  if [ "$(id -u)" -ne 0 ]; then
    if command -v sudo >/dev/null; then SUDO=sudo; else
      echo "deps: missing packages (${missing[*]}) and not root: install them first" >&2
      exit 1
    fi
  else
    SUDO=
  fi
  export DEBIAN_FRONTEND=noninteractive
  $SUDO apt-get update -qq
  $SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi

for tool in "${TOOLS[@]}"; do
  if ! command -v "$tool" >/dev/null; then
    echo "deps: required tool '$tool' is missing after installation" >&2
    exit 1
  fi
done
