#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Cross-builds Qt for 64-bit Windows (mingw-w64) from Debian's own qt6-base
# source package, the same version as the host's Qt, whose moc, rcc and uic
# serve as the host tools. Prints the install prefix on its last line.
#
#   KESTRUN_QT_WINDOWS  where Qt goes (default ~/.cache/kestrun/qt-VERSION-mingw64)
#
# A prefix built from the same version and options is reused as it stands.
# With --fetch-only it only fetches and unpacks the source (the one step that
# uses apt), so the build itself can run beside other apt users.
set -euo pipefail

host_version=$(dpkg-query -W -f='${Version}' qt6-base-dev)
qt_version=${host_version%%+*}
prefix=${KESTRUN_QT_WINDOWS:-${XDG_CACHE_HOME:-$HOME/.cache}/kestrun/qt-$qt_version-mingw64}
jobs=${JOBS:-$(nproc)}
toolchain=$(realpath "$(dirname "$0")/../cmake/toolchain-mingw64.cmake")

options=(
  -DCMAKE_BUILD_TYPE=Release
  -DBUILD_SHARED_LIBS=ON
  -DQT_HOST_PATH=/usr
  -DQT_HOST_PATH_CMAKE_DIR=/usr/lib/x86_64-linux-gnu/cmake
  -DQT_BUILD_EXAMPLES=OFF
  -DQT_BUILD_TESTS=OFF
  # The tarball carries these; no mingw builds of them exist in Debian.
  -DFEATURE_system_zlib=OFF
  -DFEATURE_system_pcre2=OFF
  -DFEATURE_system_freetype=OFF
  -DFEATURE_system_harfbuzz=OFF
  -DFEATURE_system_png=OFF
  -DFEATURE_system_doubleconversion=OFF
  # The dfsg tarball leaves out the wintab header that tablet input needs.
  -DFEATURE_tabletevent=OFF
  # With OpenGL off but dynamicgl on, 6.4.2's Windows platform plugin does
  # not compile.
  -DFEATURE_opengl=OFF
  -DFEATURE_dynamicgl=OFF
  # What Kestrun does not use. Of the network module it needs only the
  # local server that one Kestrun per user is asked through.
  -DFEATURE_sql=OFF
  -DFEATURE_ssl=OFF
  # Its TLS plugin is built even with ssl off, and does not compile then.
  -DFEATURE_schannel=OFF
  -DFEATURE_dbus=OFF
  -DFEATURE_printsupport=OFF
  -DFEATURE_concurrent=OFF
  -DFEATURE_xml=OFF
  -DFEATURE_direct2d=OFF
  # Gui builds its DirectWrite font database only with Direct2D, while the
  # platform plugin asks for it whenever DirectWrite 3 is on.
  -DFEATURE_directwrite3=OFF
  -DFEATURE_jpeg=OFF
  -DFEATURE_gif=OFF
)
stamp_text=$(printf '%s\n' "$host_version" "${options[@]}")

if [ "$(cat "$prefix/.kestrun-stamp" 2>/dev/null)" = "$stamp_text" ]; then
  echo "$prefix"
  exit 0
fi

# apt-get source needs a deb-src entry for the archive the machine already
# uses: the same URIs, suites and keyring as its own Debian sources.
deb_src_entry() {
  local codename
  codename=$(. /etc/os-release && echo "$VERSION_CODENAME")
  {
    for f in /etc/apt/sources.list.d/*.sources; do
      [ -e "$f" ] || continue
      awk -v RS= -v ORS='\n\n' -v codename="$codename" '
        /(^|\n)Types:[^\n]*deb([ \n]|$)/ && $0 ~ "Suites:[^\n]*" codename {
          sub(/Types:[^\n]*/, "Types: deb-src"); print }' "$f"
    done
    if [ -e /etc/apt/sources.list ]; then
      awk -v codename="$codename" '$1 == "deb" && $0 ~ codename {
          $1 = "deb-src"; print; print "" }' /etc/apt/sources.list |
        sed -n 's/^deb-src \(\[[^]]*\] \)\{0,1\}\([^ ]*\) \([^ ]*\) \(.*\)$/Types: deb-src\nURIs: \2\nSuites: \3\nComponents: \4\n/p'
    fi
  }
}

# The licence texts that go with the DLLs: Qt's own, and those of the
# libraries the tarball bundles into Core and Gui.
install_licences() {
  local src=$1 to=$2 lib
  mkdir -p "$to"
  cp "$src"/LICENSES/LGPL-3.0-only.txt "$src"/LICENSES/GPL-3.0-only.txt "$to"/
  for lib in zlib pcre2 freetype harfbuzz-ng libpng double-conversion md4c tinycbor easing \
    sha3 rfc6234 blake2 icc; do
    mkdir -p "$to/$lib"
    find "$src/src/3rdparty/$lib" -maxdepth 2 \( -iname '*licen[cs]e*' -o -iname 'copying*' \
      -o -name FTL.TXT \) -exec cp {} "$to/$lib"/ \;
  done
}

sudo=()
[ "$(id -u)" -eq 0 ] || sudo=(sudo)
# The sources and the build stay beside the prefix until Qt is installed, so
# a build that failed or was stopped goes on where it was when run again.
work=$prefix.work
mkdir -p "$work"
cd "$work"

if [ ! -d src ]; then
  if ! apt-get source --download-only "qt6-base=$host_version" >/dev/null 2>&1; then
    deb_src_entry | "${sudo[@]}" tee /etc/apt/sources.list.d/kestrun-deb-src.sources >/dev/null
    "${sudo[@]}" apt-get update -q >/dev/null
    apt-get source --download-only "qt6-base=$host_version"
  fi
  rm -rf src.new
  dpkg-source -x --no-check qt6-base_*.dsc src.new >/dev/null 2>&1
  mv src.new src
fi
[ "${1:-}" = --fetch-only ] && exit 0

echo "Building Qt $qt_version for Windows into $prefix (about 40 minutes on 2 cores)" >&2
rm -rf "$prefix"
start=$SECONDS
[ "$(cat build/.kestrun-options 2>/dev/null)" = "$stamp_text" ] || rm -rf build
mkdir -p build
printf '%s\n' "$stamp_text" >build/.kestrun-options
cmake -S src -B build -G Ninja -Wno-dev \
  -DCMAKE_TOOLCHAIN_FILE="$toolchain" -DCMAKE_CROSSCOMPILING_EMULATOR= \
  -DCMAKE_INSTALL_PREFIX="$prefix" "${options[@]}" >build.log
if ! cmake --build build -j "$jobs" >>build.log 2>&1; then
  # Parallel jobs' warnings bury the failure: show the failed steps' errors.
  grep -E -A12 '^FAILED:' build.log | grep -E '^FAILED:|error' | head -40 >&2
  echo "Qt's build failed; its log is $work/build.log" >&2
  exit 1
fi
cmake --install build --strip >>build.log 2>&1
install_licences src "$prefix/licenses/qt"
printf '%s\n' "$stamp_text" >"$prefix/.kestrun-stamp"
cd /
rm -rf "$work"
echo "Qt for Windows built in $(((SECONDS - start) / 60)) min $(((SECONDS - start) % 60)) s" >&2
echo "$prefix"
