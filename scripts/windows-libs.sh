#!/usr/bin/env bash
# Cross-builds the codec libraries of the Windows program, static, with mingw-w64
# (posix threads), from Debian 12's own source packages, into a cache outside the
# clone. Prints the install prefix on the last line of stdout; all else goes to stderr.
#
#   bash scripts/windows-libs.sh [CACHE_ROOT]
#
# The prefix is keyed by this script's content and the compiler's version, so a
# change to either builds a new one; a finished prefix is reused as it is.
set -euo pipefail

script=$(cd "$(dirname "$0")" && pwd)/$(basename "$0")
cache=${1:-${MIRVANE_WINDOWS_LIBS_CACHE:-${XDG_CACHE_HOME:-$HOME/.cache}/mirvane/windows-libs}}
jobs=${MIRVANE_JOBS:-$(nproc)}
# Absolute, as the builds change folder and the prefix printed is used elsewhere.
mkdir -p "$cache"
cache=$(cd "$cache" && pwd)

host=x86_64-w64-mingw32
cc=$host-gcc-posix
cxx=$host-g++-posix

# Debian 12 source packages: name, version, SHA-256 of the .dsc (dpkg-source then
# checks the tarballs against the .dsc). Only bookworm and bookworm-updates: the
# security archive is not reachable from every machine of ours, so its newer
# revisions are not taken.
stage1=(
  "zlib          1:1.2.13.dfsg-1       3fa1e6b2fc525062aa88207dda52fed8e045373c809d362fe8a2bfbf7cf515a8"
  "libdeflate    1.14-1                1f82791c5ac5623ed110e09cc991471deebfe4c419414392d1242e122c6f4c19"
  "libjpeg-turbo 1:2.1.5-2             d718ead0dfbcbc8523665c02a7f7152e31039ded641d022868722623bb3b486d"
  "tiff          4.5.0-6+deb12u4       b32082304d725936078d687303fcf771c9ecf738b505f9a66a29e8ba282c8615"
  "libwebp       1.2.4-0.2+deb12u1     d9ed0b59e2010f255c28d0869fd15b31f9b08aed757bfc91862d43aa9ec1aa99"
  "giflib        5.2.1-2.5+deb12u1     5206a92fd4a057768f429033a3a80bc1e06453f6c60dfec243d8188fa6ade3f4"
  "lcms2         2.14-2+deb12u1        8328883a2b25ac3017bdacd1b1b1b60a3ae1f1e68a7e92d94b03060274cd10c5"
)
# Built after stage1, in this order: each may need those before it.
# AVIF (dav1d, libavif) is not here: libavif's orig tarball is missing from the archive.
stage2=(
  "libde265      1.0.11-1+deb12u2      3f42b562a89db54867cbc7f101b73fc581ac9a0b397637c61d9f41e8bbf13332"
  "libheif       1.15.1-1+deb12u1      e89ce8b9cefe4a72050d2076e0d63206eab20d7b2b8bb699ae576e89073143f3"
  "libraw        0.20.2-2.1+deb12u1    45dc1728f98067951635ca961ef63c9176b2c296883422f597cf25a1c8f574f2"
  "highway       1.0.3-3+deb12u1       e85a23bede87aaf121fc530d30ccfa30d0d9e5620ea51736578620e5d3245401"
  "brotli        1.0.9-2               8c4c86748ec9770e08b60233d658593650444b04a452dc5b607ed5b5537b683e"
  "jpeg-xl       0.7.0-10+deb12u1      de02b90d57f87ff1dc74af03cf98aeb24b03c9186a84e99cf5e2919e9c9702ce"
)

log() { echo "windows-libs: $*" >&2; }
die() { log "$*"; exit 1; }

# Tools: installed the way scripts/setup.sh does, when missing.
need=(dpkg-dev cmake ninja-build make pkg-config patch xz-utils bzip2 nasm
      g++-mingw-w64-x86-64-posix)
missing=()
for p in "${need[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  sudo=""
  [ "$(id -u)" -ne 0 ] && sudo="sudo"
  log "installing: ${missing[*]}"
  $sudo apt-get update -q >&2
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -q "${missing[@]}" >&2
fi

compiler=$($cc --version | head -n1)
key=$( { cat "$script"; echo "$compiler"; } | sha256sum | cut -c1-16)
prefix=$cache/$key

if [ -e "$prefix/.complete" ]; then
  echo "$prefix"
  exit 0
fi

mkdir -p "$cache/sources"
# One build at a time per cache; the second waits and then finds the prefix done.
exec 9>"$cache/.lock"
flock 9
if [ -e "$prefix/.complete" ]; then
  echo "$prefix"
  exit 0
fi

log "building into $prefix (with $compiler)"
started=$SECONDS
rm -rf "$prefix" "$prefix.tmp"
stage=$prefix.tmp
work=$(mktemp -d "${TMPDIR:-/tmp}/mirvane-windows-libs.XXXXXX")
trap 'rm -rf "$work"' EXIT
mkdir -p "$stage"/{include,lib/pkgconfig} "$cache/logs"

# apt, pointed at a list of its own: the machine's sources and lists stay untouched.
apt_dir=$cache/apt
apt_opts=(-o Dir::Etc::SourceParts="$apt_dir/sources.list.d" -o Dir::Etc::SourceList=/dev/null
          -o Dir::State::Lists="$apt_dir/lists" -o Dir::Cache="$apt_dir/cache"
          -o Dir::State::Status=/dev/null -o Debug::NoLocking=1)
[ "$(id -u)" -eq 0 ] && apt_opts+=(-o APT::Sandbox::User=root)
apt_update() {
  [ -e "$work/apt-updated" ] && return
  mkdir -p "$apt_dir/sources.list.d" "$apt_dir/lists/partial" "$apt_dir/cache/archives/partial"
  cat >"$apt_dir/sources.list.d/debian-src.sources" <<'EOF'
Types: deb-src
URIs: http://deb.debian.org/debian
Suites: bookworm bookworm-updates
Components: main
Signed-By: /usr/share/keyrings/debian-archive-keyring.gpg
EOF
  apt-get "${apt_opts[@]}" -q update >&2
  touch "$work/apt-updated"
}

# Leaves the unpacked, patched source of a package in $work/src/<name>.
fetch() {
  local name=$1 version=$2 sum=$3
  local dsc=$cache/sources/${name}_${version#*:}.dsc
  if ! [ -e "$dsc" ] || ! echo "$sum  $dsc" | sha256sum -c --status; then
    apt_update
    local dl=$cache/sources/.download
    rm -rf "$dl" && mkdir -p "$dl"
    (cd "$dl" && apt-get "${apt_opts[@]}" -q source --download-only "$name=$version") >&2 \
      || die "cannot download $name $version (gone from bookworm? pin the version it has now)"
    mv -f "$dl"/* "$cache/sources/"
    rmdir "$dl"
  fi
  echo "$sum  $dsc" | sha256sum -c --status || die "$dsc: SHA-256 differs from the pinned one"
  rm -rf "$work/src/$name"
  mkdir -p "$work/src"
  dpkg-source --no-copy -x "$dsc" "$work/src/$name" >&2
}

tc=$work/toolchain.cmake
cat >"$tc" <<EOF
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(CMAKE_C_COMPILER $cc)
set(CMAKE_CXX_COMPILER $cxx)
set(CMAKE_RC_COMPILER $host-windres)
set(CMAKE_FIND_ROOT_PATH "$stage" /usr/$host)
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
EOF

# Only what was built here is seen; never the machine's own (Linux) libraries.
unset PKG_CONFIG_PATH CPATH C_INCLUDE_PATH LIBRARY_PATH CFLAGS CXXFLAGS LDFLAGS CPPFLAGS
export PKG_CONFIG_LIBDIR=$stage/lib/pkgconfig

cmake_build() { # source dir, options...
  local src=$1; shift
  cd "$work"
  cmake -S "$src" -B "$src.build" -G Ninja -Wno-dev \
    -DCMAKE_TOOLCHAIN_FILE="$tc" -DCMAKE_BUILD_TYPE=Release \
    -DCMAKE_C_FLAGS_RELEASE="-O2 -DNDEBUG" -DCMAKE_CXX_FLAGS_RELEASE="-O2 -DNDEBUG" \
    -DCMAKE_INSTALL_PREFIX="$stage" -DBUILD_SHARED_LIBS=OFF "$@"
  cmake --build "$src.build" -j "$jobs"
  cmake --install "$src.build"
}

build_zlib() {
  cd "$work/src/zlib"
  CHOST=$host CC=$cc AR=$host-ar RANLIB=$host-ranlib CFLAGS=-O2 \
    ./configure --static --prefix="$stage" --libdir="$stage/lib"
  make -j "$jobs" libz.a
  make install
}

build_libdeflate() {
  cd "$work/src/libdeflate"
  # AR is given: the Makefile cannot derive it from a compiler name ending in -posix.
  make -j "$jobs" CC="$cc" AR="$host-ar" CFLAGS=-O2 libdeflatestatic.lib
  install -m644 libdeflatestatic.lib "$stage/lib/libdeflate.a"
  install -m644 libdeflate.h "$stage/include/"
  local v
  v=$(sed -n 's/#define LIBDEFLATE_VERSION_STRING.*"\(.*\)"/\1/p' libdeflate.h)
  sed -e "s|@PREFIX@|$stage|" -e "s|@LIBDIR@|$stage/lib|" -e "s|@INCDIR@|$stage/include|" \
      -e "s|@VERSION@|$v|" libdeflate.pc.in >"$stage/lib/pkgconfig/libdeflate.pc"
}

build_libjpeg-turbo() {
  # Upstream raises Release to -O3 for its own code; left as it is.
  cmake_build "$work/src/libjpeg-turbo" -DENABLE_SHARED=OFF -DENABLE_STATIC=ON \
    -DWITH_TURBOJPEG=OFF -DREQUIRE_SIMD=ON -DCMAKE_ASM_NASM_COMPILER=nasm
}

build_tiff() {
  cmake_build "$work/src/tiff" -Dtiff-tools=OFF -Dtiff-tests=OFF -Dtiff-contrib=OFF \
    -Dtiff-docs=OFF -Dcxx=OFF -Dzlib=ON -Dlibdeflate=ON -Djpeg=ON -Dold-jpeg=ON -Djpeg12=OFF \
    -Dlzma=OFF -Dzstd=OFF -Dwebp=OFF -Djbig=OFF -Dlerc=OFF -Dsphinx=OFF
  # A codec whose library is not found is dropped quietly; make that loud.
  local c
  for c in JPEG_SUPPORT OJPEG_SUPPORT ZIP_SUPPORT LIBDEFLATE_SUPPORT; do
    grep -q "^#define $c 1" "$work/src/tiff.build/libtiff/tif_config.h" \
      "$work/src/tiff.build/libtiff/tiffconf.h" || { echo "tiff: no $c"; return 1; }
  done
}

build_libwebp() {
  cmake_build "$work/src/libwebp" -DWEBP_BUILD_ANIM_UTILS=OFF -DWEBP_BUILD_CWEBP=OFF \
    -DWEBP_BUILD_DWEBP=OFF -DWEBP_BUILD_GIF2WEBP=OFF -DWEBP_BUILD_IMG2WEBP=OFF \
    -DWEBP_BUILD_VWEBP=OFF -DWEBP_BUILD_WEBPINFO=OFF -DWEBP_BUILD_WEBPMUX=OFF \
    -DWEBP_BUILD_EXTRAS=OFF -DWEBP_BUILD_LIBWEBPMUX=ON
}

build_giflib() {
  cd "$work/src/giflib"
  make -j "$jobs" CC="$cc" AR="$host-ar" CFLAGS="-std=gnu99 -O2 -Wall" libgif.a
  install -m644 libgif.a "$stage/lib/"
  install -m644 gif_lib.h "$stage/include/"
  # 5.2 ships no .pc; this is the one Debian writes, under Debian's name.
  cat >"$stage/lib/pkgconfig/libgif.pc" <<EOF
prefix=$stage
libdir=\${prefix}/lib
includedir=\${prefix}/include

Name: libgif
Description: Loads and saves GIF files
Version: $(./getversion)
Cflags: -I\${includedir}
Libs: -L\${libdir} -lgif
EOF
}

build_lcms2() {
  local src=$work/src/lcms2
  mkdir -p "$src.build" && cd "$src.build"
  # Threads are left on: on Windows lcms2 locks with its own critical sections.
  "$src/configure" --host=$host --prefix="$stage" --disable-shared --enable-static \
    --without-jpeg --without-tiff --without-zlib CC="$cc" CFLAGS=-O2
  make -j "$jobs" -C src
  make -C src install-libLTLIBRARIES
  make -C include install
  make install-pkgconfigDATA
}

build_libde265() {
  # No SDL: that is only for its sample player, which is not built.
  cmake_build "$work/src/libde265" -DENABLE_SDL=OFF -DENABLE_DECODER=OFF -DENABLE_ENCODER=OFF
  # Its CMake leaves the version out of the .pc, and it locks with pthreads (winpthread).
  local v
  v=$(sed -n 's/#define LIBDE265_VERSION "\(.*\)"/\1/p' "$stage/include/libde265/de265-version.h")
  sed -i -e "s|^Version:.*|Version: $v|" -e "s|^Libs.private:.*|Libs.private: -lstdc++ -lpthread|" \
    "$stage/lib/pkgconfig/libde265.pc"
}

build_libheif() {
  # Decoding HEIC with libde265 only, linked in; no plugins loaded at run time (their
  # folder would else be written into heif_version.h, as a path of this machine).
  cmake_build "$work/src/libheif" -DENABLE_PLUGIN_LOADING=OFF -DPLUGIN_DIRECTORY= -DWITH_EXAMPLES=OFF \
    -DWITH_LIBDE265=ON -DWITH_LIBDE265_PLUGIN=OFF -DWITH_X265=OFF -DWITH_DAV1D=OFF \
    -DWITH_AOM_ENCODER=OFF -DWITH_AOM_DECODER=OFF -DWITH_SvtEnc=OFF -DWITH_RAV1E=OFF \
    -DWITH_DEFLATE_HEADER_COMPRESSION=OFF
  grep -q '^Requires.private:.*libde265' "$stage/lib/pkgconfig/libheif.pc" \
    || { echo "libheif: built without libde265"; return 1; }
}

build_libraw() {
  # Only the thread-safe library, from the list of upstream's Makefile.am (its autotools
  # files are not generated in the source); with zlib, libjpeg and lcms2 for deflate and
  # lossy DNG and for colour profiles.
  local src=$work/src/libraw f srcs
  cd "$src"
  srcs=$(sed -n '/^lib_libraw_a_SOURCES/,/^$/p' Makefile.am | tr -d '\134' \
         | sed 's/^lib_libraw_a_SOURCES *=//' | tr -s ' \t' '\n' | grep '\.cpp$')
  [ "$(echo "$srcs" | wc -l)" -gt 50 ] || { echo "libraw: source list not found"; return 1; }
  mkdir -p obj
  # shellcheck disable=SC2016,SC2046
  echo "$srcs" | xargs -P "$jobs" -I{} sh -c \
    'exec "$0" -O2 -DNDEBUG -w -I. "$@" -c "{}" -o "obj/$(echo "{}" | tr / _).o"' \
    "$cxx" -DLIBRAW_NODLL -DUSE_ZLIB -DUSE_JPEG -DUSE_LCMS2 $(pkg-config --cflags zlib libjpeg lcms2)
  rm -f "$stage/lib/libraw_r.a"
  $host-ar crs "$stage/lib/libraw_r.a" obj/*.o
  install -d "$stage/include/libraw"
  for f in libraw.h libraw_alloc.h libraw_const.h libraw_datastream.h libraw_internal.h \
           libraw_types.h libraw_version.h; do
    install -m644 "libraw/$f" "$stage/include/libraw/"
  done
  # Its own .pc.in comes filled by configure; this one also carries what static linking needs.
  cat >"$stage/lib/pkgconfig/libraw_r.pc" <<EOT
prefix=$stage
libdir=\${prefix}/lib
includedir=\${prefix}/include

Name: libraw
Description: Raw image decoder library (thread-safe)
Version: $(sh version.sh)
Requires.private: zlib libjpeg lcms2
Libs: -L\${libdir} -lraw_r
Libs.private: -lws2_32 -lstdc++
Cflags: -I\${includedir}/libraw -I\${includedir} -DLIBRAW_NODLL
EOT
}

build_highway() {
  cmake_build "$work/src/highway" -DHWY_ENABLE_TESTS=OFF -DHWY_ENABLE_EXAMPLES=OFF \
    -DHWY_ENABLE_CONTRIB=OFF -DHWY_ENABLE_INSTALL=ON -DHWY_WARNINGS_ARE_ERRORS=OFF
}

build_brotli() {
  cmake_build "$work/src/brotli" -DBROTLI_DISABLE_TESTS=ON
  # 1.0.9 always builds DLLs too, and names its static libraries *-static: keep only those,
  # under the names its .pc files (and libjxl) link by.
  local l
  for l in common dec enc; do
    mv -f "$stage/lib/libbrotli$l-static.a" "$stage/lib/libbrotli$l.a"
  done
  rm -f "$stage"/lib/libbrotli*.dll.a "$stage"/bin/brotli*.dll "$stage"/bin/libbrotli*.dll "$stage/bin/brotli.exe"
}

build_jpeg-xl() {
  # Highway and brotli come from their own packages (Debian strips third_party); colour
  # management by the lcms2 already built, not skcms.
  cmake_build "$work/src/jpeg-xl" -DJPEGXL_STATIC=OFF -DJPEGXL_ENABLE_TOOLS=OFF \
    -DJPEGXL_ENABLE_DEVTOOLS=OFF -DJPEGXL_ENABLE_BENCHMARK=OFF -DJPEGXL_ENABLE_EXAMPLES=OFF \
    -DJPEGXL_ENABLE_DOXYGEN=OFF -DJPEGXL_ENABLE_MANPAGES=OFF -DJPEGXL_ENABLE_JNI=OFF \
    -DJPEGXL_ENABLE_SJPEG=OFF -DJPEGXL_ENABLE_OPENEXR=OFF -DJPEGXL_ENABLE_PLUGINS=OFF \
    -DJPEGXL_ENABLE_VIEWERS=OFF -DJPEGXL_ENABLE_FUZZERS=OFF -DJPEGXL_ENABLE_TCMALLOC=OFF \
    -DJPEGXL_ENABLE_SKCMS=OFF -DJPEGXL_FORCE_SYSTEM_BROTLI=ON -DJPEGXL_FORCE_SYSTEM_HWY=ON \
    -DJPEGXL_FORCE_SYSTEM_LCMS2=ON -DJPEGXL_WARNINGS_AS_ERRORS=OFF -DBUILD_TESTING=OFF
}

build_stage() {
  local entry name version sum t
  for entry in "$@"; do
    read -r name version sum <<<"$entry"
    t=$SECONDS
    log "$name $version"
    # Not in a condition, so that errexit holds inside.
    set +e
    (set -e; fetch "$name" "$version" "$sum"; "build_$name") >"$cache/logs/$name.log" 2>&1
    local rc=$?
    set -e
    if [ $rc -ne 0 ]; then
      tail -n 40 "$cache/logs/$name.log" >&2
      die "$name failed; full log: $cache/logs/$name.log"
    fi
    log "  done in $((SECONDS - t)) s"
    rm -rf "$work/src/$name" "$work/src/$name.build"
  done
}

build_stage "${stage1[@]}"
build_stage "${stage2[@]}"

# Installed, not wanted: programs, manuals, libtool archives.
rm -rf "${stage:?}/bin" "${stage:?}/share" "$stage"/lib/*.la

# The .pc files name the prefix through their own place, so the prefix may move (it is
# renamed from .tmp below); what libtiff needs is named as modules, not as file paths.
# shellcheck disable=SC2016
for pc in "$stage"/lib/pkgconfig/*.pc; do
  sed -i -e 's|^prefix=.*|prefix=${pcfiledir}/../..|' -e "s|$stage|\${prefix}|g" "$pc"
done
sed -i -e 's|^Requires.private:.*|Requires.private: zlib libjpeg libdeflate|' \
       -e 's|^Libs.private:.*|Libs.private:|' "$stage/lib/pkgconfig/libtiff-4.pc"
if leftover=$(grep -rlI -- "$stage" "$stage"); then
  log "paths of the staging prefix left in:"$'\n'"$leftover"
  # CMake's package files are not needed (pkg-config is); the rest must not hold them.
  echo "$leftover" | grep -v '/lib/cmake/' >&2 && die "unrelocatable files"
  rm -rf "$stage/lib/cmake"
fi

# Proves the prefix links before it counts.
cat >"$work/check.c" <<'EOF'
#include <stdio.h>
#include <zlib.h>
#include <libdeflate.h>
#include <jpeglib.h>
#include <tiffio.h>
#include <webp/demux.h>
#include <webp/mux.h>
#include <gif_lib.h>
#include <lcms2.h>
int main(void) {
  struct jpeg_error_mgr e;
  jpeg_std_error(&e);
  printf("%s %s %s %d %d %d\n", zlibVersion(), LIBDEFLATE_VERSION_STRING, TIFFGetVersion(),
         WebPGetDemuxVersion(), WebPGetMuxVersion(), cmsGetEncodedCMMversion());
  return DGifCloseFile(NULL, NULL) == GIF_OK;
}
EOF
pcs="zlib libdeflate libjpeg libtiff-4 libwebp libwebpdemux libwebpmux libgif lcms2"
# shellcheck disable=SC2046,SC2086
$cc -O2 "$work/check.c" -o "$work/check.exe" $(pkg-config --static --cflags --libs $pcs) -static \
  || die "the libraries do not link"
# The same for the second stage, in C++ as its libraries are.
cat >"$work/check2.cpp" <<'EOF'
#include <stdio.h>
#include <libheif/heif.h>
#include <libraw.h>
#include <jxl/decode.h>
#include <jxl/thread_parallel_runner.h>
int main() {
  void *runner = JxlThreadParallelRunnerCreate(nullptr, 1);
  printf("%s %s %u\n", heif_get_version(), libraw_version(), JxlDecoderVersion());
  JxlThreadParallelRunnerDestroy(runner);
  return 0;
}
EOF
pcs2="libheif libraw_r libjxl libjxl_threads"
# shellcheck disable=SC2046,SC2086
$cxx -O2 "$work/check2.cpp" -o "$work/check2.exe" $(pkg-config --static --cflags --libs $pcs2) -static \
  || die "the libraries of the second stage do not link"

touch "$stage/.complete"
mv -T "$stage" "$prefix"
log "done in $((SECONDS - started)) s: $(du -sh "$prefix" | cut -f1)"
echo "$prefix"
