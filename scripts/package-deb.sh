#!/usr/bin/env bash
# Builds the Debian package of the Linux deliverables and checks it with lintian:
#   OUT/zorn-pole-display-kit_VERSION_ARCH.deb
# holding zorn-display-bridge, zorn-utility-cli and pole_display_sim (stripped, in /usr/bin), their
# manual pages, the bridge's systemd unit (installed disabled; its options in
# /etc/default/zorn-display-bridge), the udev rule example, the copyright file and the changelog.
# The package's own files are in packaging/debian/. The same build packaged again gives the same
# bytes: every time stamp is the last commit's, the order is fixed and the owner is root.
#   scripts/package-deb.sh [--build-dir DIR] [--out DIR] [--no-lintian]
# Without --build-dir it configures and builds the release-native preset (build/release-native);
# with one it packages the programs of that configured and built tree as they are (the package
# test uses the native build). --no-lintian leaves the check out (lintian takes a while).
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
package=zorn-pole-display-kit
build=
out=$root/dist
lintian=yes
while [ $# -gt 0 ]; do
  case "$1" in
    --build-dir) build=$(realpath "${2:?--build-dir needs a folder}"); shift 2 ;;
    --out) out=$(realpath -m "${2:?--out needs a folder}"); shift 2 ;;
    --no-lintian) lintian=no; shift ;;
    *) echo "package-deb: unknown argument '$1' (--build-dir DIR, --out DIR, --no-lintian)" >&2; exit 2 ;;
  esac
done

if [ -z "$build" ]; then
  echo "== package-deb: build release-native"
  cmake --preset release-native >/dev/null
  cmake --build --preset release-native
  build=$root/build/release-native
fi
[ -f "$build/deliverables.txt" ] || { echo "package-deb: $build is no configured native build" >&2; exit 1; }
version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$build/CMakeCache.txt")
[ -n "$version" ] || { echo "package-deb: $build holds no project version" >&2; exit 1; }
# The changelog's newest entry names the version it describes.
changelog_version=$(sed -n '1s/^[^ ]* (\([^)]*\)).*/\1/p' packaging/debian/changelog)
if [ "$changelog_version" != "$version" ]; then
  echo "package-deb: packaging/debian/changelog starts with $changelog_version, VERSION is $version: add an entry" >&2
  exit 1
fi
arch=$(dpkg --print-architecture)
epoch=$(git log -1 --format=%ct 2>/dev/null || echo 946684800)
export SOURCE_DATE_EPOCH=$epoch

work=$build/package-deb
stage=$work/$package
rm -rf "$work"
mkdir -p "$stage/DEBIAN"
umask 022
echo "== package-deb: stage"
while read -r component; do
  [ -n "$component" ] || continue
  cmake --install "$build" --component "$component" --strip --prefix "$stage/usr" >/dev/null
done <"$build/deliverables.txt"
# The compiler's version notes are no part of the program (cmake's --strip keeps them).
strip --remove-section=.comment "$stage"/usr/bin/*
doc=$stage/usr/share/doc/$package
install -D -m 644 packaging/debian/copyright "$doc/copyright"
install -D -m 644 bridge/posix/99-pole-display.rules "$doc/examples/99-pole-display.rules"
install -D -m 644 bridge/posix/zorn-display-bridge.service "$stage/lib/systemd/system/zorn-display-bridge.service"
install -D -m 644 packaging/debian/default "$stage/etc/default/zorn-display-bridge"
install -D -m 644 packaging/debian/lintian-overrides "$stage/usr/share/lintian/overrides/$package"
mkdir -p "$stage/usr/share/man/man1"
gzip -9nc packaging/debian/changelog >"$doc/changelog.gz"
for page in packaging/debian/*.1; do
  gzip -9nc "$page" >"$stage/usr/share/man/man1/$(basename "$page").gz"
done
chmod 644 "$doc/changelog.gz" "$stage"/usr/share/man/man1/*.gz
for script in postinst prerm postrm; do
  install -m 755 "packaging/debian/$script" "$stage/DEBIAN/$script"
done
echo /etc/default/zorn-display-bridge >"$stage/DEBIAN/conffiles"

# Depends from the libraries the programs link (dpkg-shlibdeps reads a control file beside them).
mkdir -p "$work/source/debian"
printf 'Source: %s\n\nPackage: %s\nArchitecture: any\n' "$package" "$package" >"$work/source/debian/control"
depends=$(cd "$work/source" && dpkg-shlibdeps -O "$stage"/usr/bin/* 2>/dev/null | sed -n 's/^shlibs:Depends=//p')
[ -n "$depends" ] || { echo "package-deb: dpkg-shlibdeps found no libraries" >&2; exit 1; }
size=$(find "$stage" -path "$stage/DEBIAN" -prune -o -type f -printf '%s\n' | awk '{ kib += int(($1 + 1023) / 1024) } END { print kib }')
sed -e "s|@VERSION@|$version|" -e "s|@ARCH@|$arch|" -e "s|@SIZE@|$size|" -e "s|@DEPENDS@|$depends|" \
  packaging/debian/control.in >"$stage/DEBIAN/control"
(cd "$stage" && find . -path ./DEBIAN -prune -o -path ./etc -prune -o -type f -print | LC_ALL=C sort |
  sed 's|^\./||' | xargs md5sum) >"$stage/DEBIAN/md5sums"
chmod 644 "$stage/DEBIAN/control" "$stage/DEBIAN/md5sums" "$stage/DEBIAN/conffiles"
find "$stage" -type d -exec chmod 755 {} +
find "$stage" -exec touch -h -d "@$epoch" {} +

mkdir -p "$out"
deb=$out/${package}_${version}_${arch}.deb
dpkg-deb --root-owner-group -Zxz --build "$stage" "$deb" >/dev/null
echo "== package-deb: $deb"
dpkg-deb --contents "$deb" | awk '{ print "   " $6 }'

if [ "$lintian" = yes ]; then
  command -v lintian >/dev/null || { echo "package-deb: lintian is missing (scripts/setup.sh installs it)" >&2; exit 1; }
  echo "== package-deb: lintian"
  lintian --fail-on error,warning --display-info "$deb"
fi
