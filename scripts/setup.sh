#!/usr/bin/env bash
# Installs the Debian 12 packages Quillet needs to build, test and run, when they are
# missing and we are root; then configures and builds into ./build with two jobs: the
# targets named (scripts/setup.sh quillet quillet-toolkit), else everything.
set -euo pipefail
cd "$(dirname "$0")/.."

PACKAGES=(
  build-essential cmake pkg-config googletest libgtest-dev
  qt6-base-dev libgstreamer1.0-dev
  gstreamer1.0-plugins-base gstreamer1.0-plugins-good gstreamer1.0-plugins-ugly gstreamer1.0-libav
  xvfb xauth dbus-daemon
  mkvtoolnix ffmpeg mencoder faad normalize-audio soundstretch sox mediainfo
  time bc strace
  libbluray-bin libbluray-dev
  fonts-dejavu-core fonts-liberation fonts-wqy-microhei tesseract-ocr tesseract-ocr-heb
  nlohmann-json3-dev
  dpkg-dev file help2man librsvg2-bin lintian desktop-file-utils appstream
)

missing=()
for p in "${PACKAGES[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  if [ "$(id -u)" -eq 0 ]; then
    echo "Installing: ${missing[*]}" >&2
    export DEBIAN_FRONTEND=noninteractive
    apt-get update -qq
    apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
  else
    echo "Missing Debian packages (run as root to install them): ${missing[*]}" >&2
  fi
fi

cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
if [ $# -gt 0 ]; then
  cmake --build build -j2 --target "$@"
else
  cmake --build build -j2
fi
