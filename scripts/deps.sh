#!/usr/bin/env bash
# Installs the Debian 12 packages needed to build, test and run the program.
# Does nothing when they are all present already. --fuzz adds clang and its libFuzzer runtime,
# for the fuzz targets (see README).
set -euo pipefail

packages=(
  cmake ninja-build g++ pkg-config ccache
  qt6-base-dev qt6-base-dev-tools qt6-image-formats-plugins qt6-svg-dev qt6-qpa-plugins
  libvips-dev libvips-tools libtiff-dev libraw-dev libzstd-dev libssl-dev liblcms2-dev libimagequant-dev zlib1g-dev libjpeg-turbo-progs
  libharfbuzz-dev libgtest-dev libgmock-dev
  fonts-dejavu-core fonts-wqy-microhei fonts-noto-core fonts-noto-cjk fonts-noto-color-emoji
  xvfb xauth xdotool parallel
  poppler-utils qpdf libtiff-tools libimage-exiftool-perl icc-profiles-free imagemagick time
  cups cups-client cups-bsd printer-driver-cups-pdf
  librsvg2-bin dpkg-dev file desktop-file-utils appstream bash-completion
)
[ "${1:-}" = "--fuzz" ] && packages+=(clang libclang-rt-14-dev)

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0

SUDO=""
[ "$(id -u)" -ne 0 ] && SUDO="sudo"
echo "Installing: ${missing[*]}"
$SUDO apt-get update
DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y --no-install-recommends "${missing[@]}"
