#!/usr/bin/env bash
# Makes the Debian package build/quillet_<version>_<arch>.deb and prints its path.
#
# Installs what is missing and builds only what the package holds (scripts/setup.sh with
# the program, its toolkit and the files made for the package: icons, manual page,
# completion), then packs it with cpack. Install it with: sudo apt install ./build/quillet_*.deb
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/setup.sh quillet quillet-toolkit quillet_package_files
cpack -G DEB --config build/CPackConfig.cmake -B build >&2
version=$(sed -n 's/^set(CPACK_PACKAGE_VERSION "\(.*\)")$/\1/p' build/CPackConfig.cmake)
deb="build/quillet_${version}_$(dpkg --print-architecture).deb"
[ -f "$deb" ] || { echo "cpack made no $deb" >&2; exit 1; }
echo "$deb"
