#!/usr/bin/env bash
# Installs what is missing (Debian 12), builds in Release, then runs the program
# or the whole test suite.
#   scripts/setup.sh run    build and start textrove
#   scripts/setup.sh test   build and run every test through CTest
#   scripts/setup.sh build  build only
set -euo pipefail

mode=${1:-build}
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
build=${TEXTROVE_BUILD_DIR:-$root/build}

packages=(cmake ninja-build g++ pkg-config qt6-base-dev libgl-dev libxcb1-dev libgtest-dev libicu-dev
          fonts-ipafont-gothic qt6-translations-l10n)
if [ "$mode" = test ]; then
  # End-to-end tests in a real X server (bare and under openbox), sanitizers
  # and fuzzing, the installed tree and the Debian package; python3 and
  # clang-format for the include and format checks.
  packages+=(xvfb xdotool x11-utils openbox imagemagick clang libclang-rt-14-dev desktop-file-utils dpkg-dev file
             python3 clang-format-14 git)
fi

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'ok installed' || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  sudo=""
  [ "$(id -u)" -eq 0 ] || sudo=sudo
  echo "setup: installing ${missing[*]}"
  $sudo apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi

tests=OFF
[ "$mode" = test ] && tests=ON
cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DTEXTROVE_BUILD_GUI=ON \
  -DTEXTROVE_BUILD_TESTS=$tests >/dev/null
cmake --build "$build" -j "$(nproc)"

case "$mode" in
  run)
    if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ] && [ -z "${QT_QPA_PLATFORM:-}" ]; then
      echo "textrove: no display available (DISPLAY is not set); run it from a desktop session." >&2
      exit 1
    fi
    exec "$build/textrove"
    ;;
  test)
    cd "$build"
    ctest --output-on-failure --no-tests=error -j "$(nproc)"
    ;;
  build) ;;
  *) echo "usage: scripts/setup.sh run|test|build" >&2; exit 2 ;;
esac
