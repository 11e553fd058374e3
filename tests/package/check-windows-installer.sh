#!/usr/bin/env bash
# Makes the Windows installer and zip of a mingw-w64 build and tries them as
# a Windows user would, in a fresh wine prefix: the zip's files and its
# halvarin-grp. A silent install per machine, run twice as an upgrade is:
# the files and shortcut, the archive type, one Apps & Features entry, the
# installed halvarin-grp, an archive started through its association; the
# silent uninstall the entry names, which leaves nothing of ours but an
# archive of the user's in the folder. Then the same per user where another
# program already opens archives: it stays their program, after the
# uninstall too.
# Usage: check-windows-installer.sh BUILD_FOLDER
set -euo pipefail
build=$(cd "$1" && pwd)
cmake --build "$build" --target help | grep '^windows_packages:' >/dev/null || {
  echo "== SKIPPED: no Windows installer: it needs halvarin.exe in the build, makensis and wine =="; exit 0; }
# The association starts a window program.
[ -n "${DISPLAY:-}" ] || exec xvfb-run -a -s "-screen 0 1280x1024x24" "$0" "$@"
cmake --build "$build" --target windows_packages >/dev/null
version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$build/CMakeCache.txt")
package=$build/halvarin-$version-win64 work=$(mktemp -d)
wine=/usr/lib/wine/wine64 wineserver=/usr/lib/wine/wineserver
# No menu entries of wine's own in this machine's desktop for the shortcut.
export WINEPREFIX=$work/wine WINEDEBUG=-all WINEDLLOVERRIDES=winemenubuilder.exe=d
trap '"$wineserver" -k 2>/dev/null || true; rm -rf "$work"' EXIT
drive=$WINEPREFIX/drive_c files="LICENSE.txt README.txt halvarin-grp.exe halvarin.exe sample.grp"
w() { "$wine" "$@" | tr -d '\r'; }
fail() { echo "$*"; exit 1; }
expect() { [ "$1" = "$2" ] || fail "$3: \"$1\", expected \"$2\""; }
# The data of a registry value, "" naming the key's default value.
value() { w reg query "$1" $([ -n "$2" ] && echo /v "$2" || echo /ve) | sed -n 's/^ .*REG_[A-Z]* *//p'; }

# An installation with its keys under $1 (HKLM, HKCU), in the Windows folder $2.
installed() {
  local classes="$1\\Software\\Classes" folder=${2#C:\\}
  local entries="$1\\Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall"
  expect "$(cd "$drive/${folder//\\//}" && LC_ALL=C ls | xargs)" "$files uninstall.exe" "installed"
  [ -n "$(find "$drive" -name Halvarin.lnk)" ] || fail "no Start menu shortcut"
  w reg query "$classes\\.grp\\OpenWithProgids" /v Halvarin.GroupArchive >/dev/null || fail "not in Open with"
  expect "$(value "$classes\\Halvarin.GroupArchive\\shell\\open\\command" "")" "\"$2\\halvarin.exe\" \"%1\"" "open verb"
  expect "$(value "$entries\\Halvarin" DisplayVersion)" "$version" "version in Apps & Features"
  expect "$(w reg query "$entries" /s | grep -c 'DisplayName *REG_SZ *Halvarin$')" 1 "entries"
  expect "$(w "$2\\halvarin-grp.exe" --version)" "halvarin-grp $version" "the installed halvarin-grp"
}
# The uninstall the entry under $1 names, waited for (it runs a copy of
# itself). The quoted program, its backslashes and the switches read as the
# shell reads words.
uninstall() {
  eval "w $(value "$1\\Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Halvarin" QuietUninstallString)"
  "$wineserver" -w
  expect "$(cd "$drive" && find . -ipath '*halvarin*' | sort | xargs -d '\n')" \
    "./Program Files/Halvarin ./Program Files/Halvarin/My own.grp" "left after uninstall"
  ! grep -il halvarin "$WINEPREFIX"/*.reg || fail "registry entries left after uninstall"
}

mkdir "$work/zip" && (cd "$work/zip" && cmake -E tar xf "$package.zip")
expect "$(cd "$work/zip" && LC_ALL=C ls | xargs)" "$files" "in the zip"
grep -q $'\r$' "$work/zip/README.txt" || fail "README.txt without Windows line ends"
expect "$(w "$work/zip/halvarin-grp.exe" --version)" "halvarin-grp $version" "the zip's halvarin-grp"

w "$package-setup.exe" /S && w "$package-setup.exe" /S
installed HKLM 'C:\Program Files\Halvarin'
expect "$(value 'HKLM\Software\Classes\.grp' "")" Halvarin.GroupArchive "the program for .grp"
# The program an archive starts shows its window; its Linux process holds
# its prefix and, as wine sets it, its Windows command line split.
archive="$work/My archive.grp"
cp "$drive/Program Files/Halvarin/sample.grp" "$archive" && w start /unix "$archive"
window=$(timeout 30 xdotool search --sync --onlyvisible --name '^Halvarin$' || true)
pid=$(xdotool getwindowpid "${window%%$'\n'*}") || fail "the archive opened no Halvarin window"
grep -qzxF "WINEPREFIX=$WINEPREFIX" "/proc/$pid/environ" || fail "a Halvarin window of another prefix"
mapfile -d '' argv <"/proc/$pid/cmdline"
expect "${argv[0]} ${argv[1]:-}" "C:\\Program Files\\Halvarin\\halvarin.exe Z:${archive//\//\\}" "started"
"$wineserver" -k && cp "$archive" "$drive/Program Files/Halvarin/My own.grp"
uninstall HKLM
! w reg query 'HKLM\Software\Classes\.grp' >/dev/null 2>&1 || fail ".grp's key left after uninstall"

w reg add 'HKCU\Software\Classes\.grp' /ve /d Other.Archive /f >/dev/null
w "$package-setup.exe" /S /CurrentUser
installed HKCU "C:\\users\\$(id -un)\\AppData\\Local\\Programs\\Halvarin"
expect "$(value 'HKCU\Software\Classes\.grp' "")" Other.Archive "per user, the program for .grp"
uninstall HKCU
expect "$(value 'HKCU\Software\Classes\.grp' "")" Other.Archive "after uninstall, the program for .grp"
echo "== Windows installer and zip installed and removed under wine; kB:" $(cd "$build" && du -k "${package##*/}"*) "=="
