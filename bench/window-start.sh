#!/usr/bin/env bash
# Start to painted list with the largest archive (32,766 entries): the
# Windows program under wine beside the Linux program, run by turns on an X
# server of their own, with the medians, their ratio and each program's
# resident memory (under wine, the Windows process's working set).
# Needs build/halvarin (Qt) and build-win/halvarin.exe built, wine, xvfb-run.
# Usage: bench/window-start.sh [RUNS]
set -euo pipefail
cd "$(dirname "$0")/.."
runs="${1:-5}"
folder="$(mktemp -d)"
trap 'rm -rf "$folder"' EXIT
archive="$folder/largest.grp"
python3 - "$archive" <<'PY'
import struct, sys
kinds = ["MAP", "ART", "VOC", "MID", "ANM", "DMO", "CFG"]
names = [f"E{i:05d}.{kinds[i % 7]}".encode().ljust(12) for i in range(32766)]
with open(sys.argv[1], "wb") as f:
    f.write(b"Quorindavell" + struct.pack("<i", len(names)))
    f.write(b"".join(n + struct.pack("<i", 16) for n in names))
    f.write(bytes(16 * len(names)))
PY
export WINEPREFIX="$PWD/build-win/wine" WINEDEBUG=-all QT_QPA_PLATFORM=xcb
wine="$(command -v wine64 || command -v wine || echo /usr/lib/wine/wine64)"
wineserver="$(command -v wineserver || echo /usr/lib/wine/wineserver)"
# Without a window manager wine waits for one at every window it shows,
# unless it manages its windows itself.
"$wine" reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f >/dev/null 2>&1
xvfb-run -a -s "-screen 0 1024x768x24" bash -c '
  set -euo pipefail
  wine="$1" archive="$2" runs="$3" wineserver="$4"
  # Wine kept running between the runs, as Windows is: what is timed is the
  # program, not wine starting up.
  "$wineserver" -w && "$wineserver" -p
  trap "\"$wineserver\" -k" EXIT
  "$wine" build-win/halvarin.exe --version >/dev/null
  for ((i = 0; i < runs; i++)); do
    # Both windows open at the top left; the rectangle holds their first
    # rows of icons, below any title bar and menu.
    echo "linux $(python3 bench/screen-settle.py 2 0,60,400,200 build/halvarin "$archive")"
    echo "windows $(python3 bench/screen-settle.py 2 0,60,400,200 "$wine" build-win/halvarin.exe \
      "$archive")"
  done' _ "$wine" "$archive" "$runs" "$wineserver" >"$folder/times"
cat "$folder/times" >&2  # every run: seconds, resident kilobytes
median() { awk -v p="$1" -v f="$2" '$1 == p { print $f }' "$folder/times" | sort -n |
  awk '{ v[NR] = $1 } END { print v[int((NR + 1) / 2)] }'; }
linux="$(median linux 2)" windows="$(median windows 2)"
echo "start to painted list, median of $runs: Linux $linux s, Windows under wine $windows s," \
  "ratio $(awk -v w="$windows" -v l="$linux" 'BEGIN { printf "%.1f", w / l }')"
echo "resident memory: Linux $(( $(median linux 3) / 1024 )) MiB," \
  "Windows under wine $(( $(median windows 3) / 1024 )) MiB"
