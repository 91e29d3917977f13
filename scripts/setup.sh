#!/usr/bin/env bash
# Installs what building, running and testing Mirvane need on Debian 12 (as root,
# or with sudo). Does nothing when everything is there already.
set -euo pipefail

packages=(
  # build
  cmake ninja-build g++ pkg-config qt6-base-dev libgl-dev libtiff-dev
  libjpeg-dev liblcms2-dev libgtest-dev libgmock-dev libxcb1-dev
  # picture formats beyond Qt's: HEIF, AVIF, JPEG XL, camera raw, SVG
  libheif-dev libavif-dev libjxl-dev libraw-dev librsvg2-dev qt6-svg-dev zlib1g-dev
  # PNG image data inflated whole
  libdeflate-dev
  # GIF and WebP, read by our own readers over their libraries
  libgif-dev libwebp-dev
  # run: a font with Japanese glyphs (and the Qt image plugins Qt itself may load)
  qt6-image-formats-plugins fonts-ipafont-gothic
  # tests under a virtual X server and a real window manager, and the pictures they
  # make: ImageMagick, the ICC profiles of libgs-common, webpmux and the encoders of
  # the newer formats
  xvfb xauth xdotool x11-utils openbox imagemagick libgs-common webp
  libheif-examples libavif-bin libjxl-tools
  # the Debian package and its checks; rsvg-convert redraws the icon
  dpkg-dev lintian desktop-file-utils appstream man-db librsvg2-bin
  # benchmark floor and fuzzing
  libjpeg-turbo-progs clang libclang-rt-14-dev
  # the Windows program: cross-built (posix threads for std::thread), tested under Wine
  g++-mingw-w64-x86-64-posix wine wine64 fonts-wine
  # the codec libraries cross-built for it from Debian's sources
  nasm dpkg-dev
  # its installer (wixl; msiextract for its test) and portable zip (unzip for its test)
  wixl msitools zip unzip
)

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0

sudo=""
[ "$(id -u)" -ne 0 ] && sudo="sudo"
echo "Installing: ${missing[*]}"
$sudo apt-get update -q
DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -q "${missing[@]}"
