#!/usr/bin/env bash
# Re-renders Halvarin's artwork after an edit of the SVG sources in resources/.
# Needs rsvg-convert (Debian package librsvg2-bin) and python3; the build does
# not, because the rendered files are committed.
set -euo pipefail
cd "$(dirname "$0")/.."

render() { # source.svg target.png
  rsvg-convert --width 32 --height 32 --keep-aspect-ratio "$1" --output "$2"
}

for n in 1 2 3 4 5; do
  render "resources/images/entry$n.svg" "resources/images/entry$n.png"
  python3 tools/make-ico.py --entry "resources/images/entry$n.png" "resources/images/entry$n.ico"
done
render resources/halvarin.svg resources/images/halvarin.png
python3 tools/make-ico.py resources/images/halvarin.png resources/halvarin.ico \
  resources/images/halvarin-about.png
echo "Rendered resources/images/*.png, *.ico and resources/halvarin.ico"
