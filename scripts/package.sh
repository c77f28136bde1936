#!/usr/bin/env bash
# Builds a release of the kit and writes it into dist/:
#   zorn-pole-display-kit-VERSION-setup.exe      the setup program (installer/setup.nsi)
#   zorn-pole-display-kit-VERSION-binaries.zip   the same binaries laid out as installed: the
#                                                32-bit programs and library, x64/VARNEL.dll
#   SHA256SUMS                                   checksums of the two (sha256sum -c SHA256SUMS)
# VERSION is the one in the file VERSION. The binaries are release builds (presets release-win32
# and release-win64: optimised, stripped); every deliverable the tree builds is included.
# The staged binaries stay in build/package/stage (x86/, x64/) for the setup program's tests.
# Installs what is missing first (scripts/setup.sh).
#   scripts/package.sh
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
scripts/setup.sh

for preset in release-win32 release-win64; do
  echo "== package: build $preset"
  cmake --preset "$preset" >/dev/null
  cmake --build --preset "$preset"
done
# The version the build took from VERSION: CMake refuses a VERSION that is not four numbers.
version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' build/release-win32/CMakeCache.txt)
[ -n "$version" ] || { echo "package: build/release-win32 holds no project version" >&2; exit 1; }
name=zorn-pole-display-kit-$version

stage=$root/build/package/stage
rm -rf "$stage"
echo "== package: stage the stripped binaries"
while read -r component; do
  [ -n "$component" ] || continue
  cmake --install build/release-win32 --component "$component" --strip --prefix "$stage/x86" >/dev/null
done <build/release-win32/deliverables.txt
cmake --install build/release-win64 --component VARNEL --strip --prefix "$stage/x64" >/dev/null
(cd "$stage" && find . -type f | sort | sed 's|^\./|   |')

rm -rf dist
mkdir -p dist
echo "== package: setup program"
installer/build-installer.sh --stage "$stage" --version "$version" --out "dist/$name-setup.exe"

echo "== package: zip of the binaries"
# Same bytes for the same sources: file times from the last commit, a fixed order, no extra fields.
epoch=$(git log -1 --format=%ct 2>/dev/null || echo 946684800)
tree=$root/build/package/zip/$name
rm -rf "$root/build/package/zip"
mkdir -p "$tree/x64"
cp "$stage"/x86/* "$tree/"
cp "$stage/x64/VARNEL.dll" "$tree/x64/"
find "$tree" -exec touch -h -d "@$epoch" {} +
(cd "$root/build/package/zip" && find "$name" | LC_ALL=C sort | zip -X -D -q "$root/dist/$name-binaries.zip" -@)

(cd dist && sha256sum "$name-setup.exe" "$name-binaries.zip" >SHA256SUMS)
echo "== package: dist/"
ls -l dist

# ---- Linux: the Debian package ----------------------------------------------------------------
# dist/zorn-pole-display-kit_VERSION_ARCH.deb: zorn-display-bridge, zorn-utility-cli and the
# simulator from the release-native preset, checked with lintian (scripts/package-deb.sh), and
# its checksum beside the others in SHA256SUMS.
echo "== package: Debian package"
scripts/package-deb.sh --out dist
(cd dist && sha256sum zorn-pole-display-kit_*.deb >>SHA256SUMS)
ls -l dist/*.deb
