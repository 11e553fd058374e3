#!/usr/bin/env bash
# Makes the Debian package from a build as package.sh does, and checks it:
# its name, what it carries, dependencies worked out from the binaries, no
# lintian errors; then unpacks it into a throwaway folder and runs both
# programs from there.
# Usage: check-package.sh BUILD_FOLDER VERSION
set -euo pipefail
build=$(cd "$1" && pwd)
version=$2
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cpack --config "$build/CPackConfig.cmake" -B "$work" -G DEB >"$work/cpack.log" ||
  { cat "$work/cpack.log"; exit 1; }
deb="$work/halvarin_${version}_$(dpkg --print-architecture).deb"
[ -f "$deb" ] || { echo "no $(basename "$deb") made:"; ls "$work"; exit 1; }

dpkg-deb -c "$deb" >"$work/contents"
for path in bin/halvarin bin/halvarin-grp share/man/man1/halvarin.1.gz \
  share/man/man1/halvarin-grp.1.gz share/applications/org.halvarin.Halvarin.desktop \
  share/metainfo/org.halvarin.Halvarin.metainfo.xml \
  share/mime/packages/org.halvarin.Halvarin.mime.xml \
  share/icons/hicolor/{32x32,48x48,64x64,128x128,256x256}/apps/halvarin.png \
  share/icons/hicolor/scalable/apps/halvarin.svg \
  share/doc/halvarin/copyright share/doc/halvarin/changelog.gz; do
  grep -q " \./usr/$path\$" "$work/contents" || { echo "not in the package: /usr/$path"; exit 1; }
done
for field in Maintainer Description Depends; do
  [ -n "$(dpkg-deb -f "$deb" "$field")" ] || { echo "no $field field"; exit 1; }
done
depends=$(dpkg-deb -f "$deb" Depends)
for library in libc6 libqt6widgets6; do
  [[ "$depends" == *"$library "* ]] || { echo "Depends lacks $library: $depends"; exit 1; }
done

# Errors fail the test; warnings are shown for the log.
lintian --fail-on error "$deb"

dpkg-deb -x "$deb" "$work/root"
grp=$("$work/root/usr/bin/halvarin-grp" --version)
window=$(QT_QPA_PLATFORM=offscreen "$work/root/usr/bin/halvarin" --version)
[[ "$grp" == *"$version"* ]] || { echo "halvarin-grp --version: $grp"; exit 1; }
[ "$window" = "Halvarin $version" ] || { echo "halvarin --version: $window"; exit 1; }
echo "$(basename "$deb"): $(du -k "$deb" | cut -f1) kB, Depends: $depends"
