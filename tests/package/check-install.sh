#!/usr/bin/env bash
# Installs the build into a scratch tree and checks it as a desktop would:
# every file where desktops and man look for it, the desktop entry and the
# metainfo through their validators, the entry's icon in the icon theme.
# Then builds the shared MIME database and the entries' MIME cache there as
# the package manager's triggers would, and asks GIO (as file managers do)
# for the type of an archive by its name, of one renamed without its
# extension (found by its magic), and of a text file that must not match;
# GIO must then open the type with Halvarin.
# Usage: check-install.sh BUILD_FOLDER SAMPLE.grp
set -euo pipefail
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cmake --install "$1" --prefix "$work/usr" >/dev/null
share=$work/usr/share
desktop=$share/applications/org.halvarin.Halvarin.desktop
for path in bin/halvarin bin/halvarin-grp share/man/man1/halvarin{,-grp}.1 \
  share/icons/hicolor/{32x32,48x48,64x64,128x128,256x256}/apps/halvarin.png \
  share/mime/packages/org.halvarin.Halvarin.mime.xml share/doc/halvarin/copyright; do
  [ -e "$work/usr/$path" ] || { echo "not installed: /usr/$path"; exit 1; }
done
desktop-file-validate "$desktop"
appstreamcli validate --no-net "$share/metainfo/org.halvarin.Halvarin.metainfo.xml"
icon=$(sed -n 's/^Icon=//p' "$desktop")
[ -e "$share/icons/hicolor/scalable/apps/$icon.svg" ] || { echo "no icon \"$icon\" installed"; exit 1; }

mkdir -p "$work/home"
# GIO offers only applications whose command it finds.
export XDG_DATA_HOME="$work/home" XDG_DATA_DIRS="$share:/usr/share" XDG_CONFIG_HOME="$work/home" \
  XDG_CONFIG_DIRS="$work/home" PATH="$work/usr/bin:$PATH"
update-mime-database "$share/mime"
update-desktop-database "$share/applications"
cp "$2" "$work/x.grp" && cp "$2" "$work/renamed archive"
echo "plain words" >"$work/notes"
fail=0
for pair in "x.grp=application/x-varn-grp" "renamed archive=application/x-varn-grp" "notes=text/plain"; do
  got=$(gio info -a standard::content-type "$work/${pair%=*}" | sed -n 's/^ *standard::content-type: //p')
  [ "$got" = "${pair#*=}" ] || { echo "${pair%=*}: $got, expected ${pair#*=}"; fail=1; }
done
apps=$(gio mime application/x-varn-grp)
[[ "$apps" == *"Default application for “application/x-varn-grp”: org.halvarin.Halvarin.desktop"* ]] ||
  { echo "Halvarin is not the application for application/x-varn-grp: $apps"; fail=1; }
exit $fail
