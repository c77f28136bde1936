#!/usr/bin/env bash
# Installs what the kit needs to build and test on Debian 12: the native toolchain and test
# libraries, libpng (the simulator's picture of the display), Boost and nlohmann-json (the
# bridge's HTTP and JSON), the mingw-w64 i686 cross compiler, 32-bit Wine, Xvfb (with the X
# utilities the screenshots use) and socat, the fonts the tester's form and Wine's own windows
# are drawn with, lintian (the Debian package's check) and chromium (the bridge's page tested in a
# real browser).
# Idempotent: packages already present are left alone, and apt is not called at all when
# everything is there.
set -euo pipefail

packages=(
  build-essential cmake ninja-build pkg-config
  googletest libgtest-dev libgmock-dev libbenchmark-dev libpng-dev
  clang-tidy cppcheck clang-format
  g++-mingw-w64-i686 g++-mingw-w64-x86-64 mingw-w64-tools libwine-dev
  wine wine32:i386 wine64
  xvfb socat
  gcc-multilib xfonts-base python3
  clang libclang-rt-14-dev nsis imagemagick zip
  fonts-inconsolata fonts-wine x11-utils
  libboost-dev nlohmann-json3-dev
  lintian chromium
)

sudo_cmd=()
if [ "$(id -u)" -ne 0 ]; then sudo_cmd=(sudo); fi

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
    missing+=("$p")
  fi
done

if [ "${#missing[@]}" -eq 0 ]; then
  echo "setup: all packages present"
  exit 0
fi

echo "setup: installing ${missing[*]}"
if ! dpkg --print-foreign-architectures | grep -qx i386; then
  "${sudo_cmd[@]}" dpkg --add-architecture i386
fi
export DEBIAN_FRONTEND=noninteractive
"${sudo_cmd[@]}" apt-get update -q
"${sudo_cmd[@]}" apt-get install -y -q --no-install-recommends "${packages[@]}"
