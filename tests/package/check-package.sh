#!/usr/bin/env bash
# Makes the Debian package from a build as package.sh does, and checks it:
# its name, every installed file in it (man pages compressed) and the
# changelog, dependencies worked out from the binaries, no lintian errors;
# then runs both programs unpacked in a throwaway folder.
# Usage: check-package.sh BUILD_FOLDER VERSION
set -euo pipefail
build=$(cd "$1" && pwd) version=$2 work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cpack --config "$build/CPackConfig.cmake" -B "$work" -G DEB >"$work/cpack.log" ||
  { cat "$work/cpack.log"; exit 1; }
deb="$work/halvarin_${version}_$(dpkg --print-architecture).deb"
[ -f "$deb" ] || { echo "no $(basename "$deb") made:"; ls "$work"; exit 1; }

cmake --install "$build" --prefix "$work/installed/usr" >/dev/null
dpkg-deb -x "$deb" "$work/root"
missing=$(comm -23 <(cd "$work/installed" && find . ! -type d | sort) \
  <(cd "$work/root" && find . ! -type d | sed 's/\.gz$//' | sort))
[ -z "$missing" ] || { echo "not in the package: $missing"; exit 1; }
[ -f "$work/root/usr/share/doc/halvarin/changelog.gz" ] || { echo "no changelog"; exit 1; }
for field in Maintainer Description; do
  [ -n "$(dpkg-deb -f "$deb" "$field")" ] || { echo "no $field field"; exit 1; }
done
depends=$(dpkg-deb -f "$deb" Depends)
[[ "$depends" == *"libc6 "* && "$depends" == *"libqt6widgets6 "* ]] || { echo "Depends: $depends"; exit 1; }

# Errors fail the test; warnings are shown for the log.
lintian --fail-on error "$deb"

grp=$("$work/root/usr/bin/halvarin-grp" --version) window=$(QT_QPA_PLATFORM=offscreen "$work/root/usr/bin/halvarin" --version)
[ "$grp/$window" = "halvarin-grp $version/Halvarin $version" ] || { echo "--version: $grp, $window"; exit 1; }
echo "$(basename "$deb"): $(du -k "$deb" | cut -f1) kB, Depends: $depends"
