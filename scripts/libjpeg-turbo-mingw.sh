#!/usr/bin/env bash
# Builds the JPEG library of the Windows build: libjpeg-turbo from Debian's own source package of
# the version the native build links (libturbojpeg0-dev), cross-compiled with mingw-w64 and nasm
# as a static library. apt fetches the source and checks it against the archive's signed index,
# as it does for every package. Runs once: later calls see the stamp and return at once.
#
#   scripts/libjpeg-turbo-mingw.sh [PREFIX]   (default build/deps/libjpeg-turbo-mingw)
#
# PREFIX then holds include/turbojpeg.h, lib/libturbojpeg.a and the library's licence texts.
# Needs root (or sudo) only the first time, to install nasm and dpkg-dev and, when the machine
# has no source entries, to add a deb-src entry for Debian's main archive.
set -euo pipefail
cd "$(dirname "$0")/.."
prefix=${1:-$PWD/build/deps/libjpeg-turbo-mingw}
version=$(dpkg-query -W -f='${Version}' libturbojpeg0-dev)
wanted="libjpeg-turbo $version x86_64-w64-mingw32 static"
if [ -f "$prefix/lib/libturbojpeg.a" ] && [ "$(cat "$prefix/built-from" 2>/dev/null)" = "$wanted" ]; then
  exit 0
fi
echo "libjpeg-turbo-mingw: building $wanted into $prefix"

sudo=""
if [ "$(id -u)" -ne 0 ]; then sudo="sudo"; fi

missing=()
for p in nasm dpkg-dev; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if ((${#missing[@]})); then
  $sudo apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi

# A deb-src entry beside each deb entry of the Debian archive, when the machine has no source
# entry at all (a stock Debian 12 has none).
has_deb_src() {
  grep -qsE '^[[:space:]]*Types:.*deb-src' /etc/apt/sources.list.d/*.sources ||
    grep -qsE '^[[:space:]]*deb-src[[:space:]]' /etc/apt/sources.list /etc/apt/sources.list.d/*.list
}
if ! has_deb_src; then
  entries=$(mktemp)
  # deb822 files: the same stanzas with Types: deb-src.
  for f in /etc/apt/sources.list.d/*.sources; do
    [ -f "$f" ] || continue
    awk 'BEGIN { RS = ""; ORS = "\n\n" }
         /(^|\n)Types:[^\n]*deb/ && /(^|\n)URIs:[^\n]*debian/ {
           sub(/(^|\n)Types:[^\n]*/, "\nTypes: deb-src"); sub(/^\n/, ""); print }' "$f" >>"$entries"
  done
  # One-line files: the same lines with deb-src.
  for f in /etc/apt/sources.list /etc/apt/sources.list.d/*.list; do
    [ -f "$f" ] || continue
    sed -nE 's/^[[:space:]]*deb([[:space:]]+.*debian.*)$/deb-src\1/p' "$f" >>"$entries"
  done
  if [ ! -s "$entries" ]; then
    echo "libjpeg-turbo-mingw: no Debian archive found in /etc/apt to add a deb-src entry for" >&2
    exit 1
  fi
  if grep -q '^Types:' "$entries"; then
    $sudo install -m 644 "$entries" /etc/apt/sources.list.d/tavrix-deb-src.sources
  else
    $sudo install -m 644 "$entries" /etc/apt/sources.list.d/tavrix-deb-src.list
  fi
  rm -f "$entries"
fi
if ! apt-cache showsrc libjpeg-turbo 2>/dev/null | grep -qx "Version: $version"; then
  $sudo apt-get update -qq
fi

work="$PWD/build/deps/libjpeg-turbo-src"
rm -rf "$work"
mkdir -p "$work"
# apt checks the .dsc and the tarballs against the hashes of the signed Sources index.
(cd "$work" && apt-get source -qq "libjpeg-turbo=$version" >/dev/null)
src=$(find "$work" -mindepth 1 -maxdepth 1 -type d -name 'libjpeg-turbo-*' | head -n1)
[ -n "$src" ] || { echo "libjpeg-turbo-mingw: apt-get source gave no source tree" >&2; exit 1; }

cmake -S "$src" -B "$work/build" -G Ninja -Wno-dev \
  -DCMAKE_TOOLCHAIN_FILE="$PWD/cmake/mingw-w64.cmake" \
  -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX="$prefix" \
  -DENABLE_SHARED=OFF -DENABLE_STATIC=ON -DWITH_TURBOJPEG=ON -DWITH_JAVA=OFF \
  -DREQUIRE_SIMD=ON -DCMAKE_ASM_NASM_COMPILER=nasm >"$work/configure.log"
cmake --build "$work/build" --target turbojpeg-static -j "$(nproc)" >"$work/build.log"

rm -rf "$prefix"
mkdir -p "$prefix/include" "$prefix/lib" "$prefix/share/licences"
cp "$src/turbojpeg.h" "$prefix/include/"
cp "$work/build/libturbojpeg.a" "$prefix/lib/"
cp "$src/LICENSE.md" "$src/README.ijg" "$src/debian/copyright" "$prefix/share/licences/"
echo "$wanted" >"$prefix/built-from"
rm -rf "$work"
echo "libjpeg-turbo-mingw: done"
