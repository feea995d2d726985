#!/usr/bin/env bash
# Builds the Debian package build/pagorra_<version>_<arch>.deb (installs what is missing first).
# Install it with: sudo apt install ./build/pagorra_*.deb
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/deps.sh
scripts/build.sh "$@"
rm -f build/pagorra_*.deb
(cd build && cpack -G DEB >/dev/null)
ls build/pagorra_*.deb
