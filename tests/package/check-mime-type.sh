#!/usr/bin/env bash
# Installs the build into a scratch tree, builds the shared MIME database
# and the desktop entries' MIME cache there as the package manager's triggers
# would, and asks GIO (as file managers do) for the type of an archive by its
# name, of one renamed without its extension (found by its magic), and of a
# text file that must not match; GIO must then open the type with Halvarin.
# Usage: check-mime-type.sh BUILD_FOLDER SAMPLE.grp
set -euo pipefail
build=$1
sample=$2
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cmake --install "$build" --prefix "$work/usr" >/dev/null
mkdir -p "$work/home"
export XDG_DATA_HOME="$work/home" XDG_DATA_DIRS="$work/usr/share:/usr/share"
export XDG_CONFIG_HOME="$work/home" XDG_CONFIG_DIRS="$work/home"
# GIO offers only applications whose command it finds.
export PATH="$work/usr/bin:$PATH"
update-mime-database "$work/usr/share/mime"
update-desktop-database "$work/usr/share/applications"

cp "$sample" "$work/x.grp"
cp "$sample" "$work/renamed archive"
echo "plain words" >"$work/notes"
fail=0
expect() { # file type
  local got
  got=$(gio info -a standard::content-type "$1" | sed -n 's/^ *standard::content-type: //p')
  if [ "$got" != "$2" ]; then
    echo "$(basename "$1"): $got, expected $2"
    fail=1
  fi
}
expect "$work/x.grp" application/x-varn-grp
expect "$work/renamed archive" application/x-varn-grp
expect "$work/notes" text/plain
apps=$(gio mime application/x-varn-grp)
if [[ "$apps" != *"Default application for “application/x-varn-grp”: org.halvarin.Halvarin.desktop"* ]]; then
  echo "Halvarin is not the application for application/x-varn-grp: $apps"
  fail=1
fi
exit $fail
