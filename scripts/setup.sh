#!/usr/bin/env bash
# Installs every Debian package the builds, tests and tools need. Idempotent: when all are
# present it only checks and returns.
set -euo pipefail

packages=(
  cmake ninja-build g++ git
  python3                                       # fuzzing seeds, the icon generator, the app check
  clang libclang-rt-14-dev                      # fuzz targets (libFuzzer)
  g++-mingw-w64-x86-64-posix mingw-w64-x86-64-dev
  wine wine64 xvfb xauth                        # Windows build's tests and tools
  x11-apps                                      # xwd: the app check's screenshots
  googletest libturbojpeg0-dev libjpeg62-turbo-dev libasio-dev
)

# Window tests of the Windows build (tests/ui/wine): a driver in Python that clicks and types with
# xdotool, screenshots through ImageMagick, the DejaVu fonts Wine's DirectWrite falls back to, and
# Mesa's software OpenGL behind Wine's Direct3D on a display without a GPU.
packages+=(
  python3 xdotool imagemagick fonts-dejavu-core libgl1-mesa-dri
)

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$p")
  fi
done

if ((${#missing[@]})); then
  echo "setup: installing ${missing[*]}"
  sudo=""
  if [ "$(id -u)" -ne 0 ]; then sudo="sudo"; fi
  $sudo apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi

# The Windows build's JPEG library: libjpeg-turbo from Debian's source package, cross-compiled
# once into build/deps/libjpeg-turbo-mingw (the script returns at once when it is there).
"$(dirname "$0")/libjpeg-turbo-mingw.sh"
