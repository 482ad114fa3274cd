#!/usr/bin/env bash
# Installs the Debian packages the game needs to build, run and test (toml++
# and CLI11 are header-only; help2man makes the man pages), if any
# are missing. Uses sudo when not run as root.
set -euo pipefail
pkgs=(build-essential cmake pkg-config git libsdl2-dev libpng-dev libfreetype-dev libvorbis-dev libogg-dev
      libgl1-mesa-dri libglx-mesa0 libgl-dev libegl1 libegl-mesa0 googletest libgtest-dev libbenchmark-dev
      python3 libx11-dev xvfb xauth libtomlplusplus-dev libcli11-dev help2man libdragonbox-dev)
if [ "${1:-}" = "--fuzz" ]; then pkgs+=(clang libclang-rt-14-dev); fi
# The format check (tools/check-format.sh).
if [ "${1:-}" = "--format" ]; then pkgs+=(clang-format); fi
# The package validators (make check-package).
if [ "${1:-}" = "--package" ]; then pkgs+=(lintian appstream desktop-file-utils); fi
# The Windows cross build and its tests under Wine (make windows, make test-windows).
if [ "${1:-}" = "--windows" ]; then
  pkgs+=(mingw-w64 gcc-mingw-w64-x86-64-posix g++-mingw-w64-x86-64-posix dpkg-dev wine wine64 xvfb xauth googletest)
fi
# Measuring the real game's frame rate under Xvfb with a window manager (tools/measure-frames.sh).
if [ "${1:-}" = "--measure" ]; then pkgs+=(xvfb xauth x11-utils openbox xdotool); fi
# The web build (make web-sim, make test-web-sim): Debian's Emscripten, with
# the machine's own Node.js.
if [ "${1:-}" = "--web" ]; then pkgs+=(emscripten dpkg-dev nodejs); fi
# The browser page's checks (make test-web): Debian's headless Chromium, and
# npm for puppeteer-core (the machine's Node.js may bring its own npm).
if [ "${1:-}" = "--web-test" ]; then
  pkgs+=(chromium-headless-shell nodejs)
  command -v npm >/dev/null || pkgs+=(npm)
fi
missing=()
for p in "${pkgs[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0
echo "Installing: ${missing[*]}"
sudo=""
[ "$(id -u)" -ne 0 ] && sudo="sudo"
export DEBIAN_FRONTEND=noninteractive
$sudo apt-get update -qq
$sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
