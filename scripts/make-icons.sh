#!/bin/sh
# scripts/make-icons.sh: makes the program's icons from assets/icons/velmora.svg and writes them
# to assets/beside-program/, which the build copies beside the program:
#   icon.ico     16, 32 and 48 px: the Tools-menu button's icon (its "Icon" value)
#   hoticon.ico  the same, brighter: the button under the pointer (its "HotIcon" value)
#   velmora.png  256 px: the icon of the desktop entry
# and assets/icons/hicolor/<size>.png (16 to 256 px), which `cmake --install` puts into the
# hicolor icon theme beside the drawing itself.
# The made files are checked in, so the build never needs these tools. Run it again after
# changing the drawing. Needs rsvg-convert (librsvg2-bin) and ImageMagick's convert.
set -eu

root=$(cd "$(dirname "$0")/.." && pwd)
source="$root/assets/icons/velmora.svg"
out="$root/assets/beside-program"

for tool in rsvg-convert convert; do
  command -v "$tool" >/dev/null 2>&1 || {
    echo "make-icons.sh: $tool is missing (apt-get install librsvg2-bin imagemagick)" >&2
    exit 1
  }
done

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# The hot icon: the tile, its rim and the panes in lighter colours.
sed -e 's/#7C5305/#B3790A/' -e 's/#4E3403/#7C5305/' -e 's/fill-opacity="0\.[0-9]*"//' \
  "$source" >"$work/hot.svg"

ico() {  # ico SVG OUTPUT
  for size in 16 32 48; do
    rsvg-convert -w "$size" -h "$size" -o "$work/$size.png" "$1"
  done
  convert "$work/16.png" "$work/32.png" "$work/48.png" -strip "$2"
}

ico "$source" "$out/icon.ico"
ico "$work/hot.svg" "$out/hoticon.ico"
rsvg-convert -w 256 -h 256 -o "$out/velmora.png" "$source"
mkdir -p "$root/assets/icons/hicolor"
for size in 16 22 24 32 48 64 128 256; do
  rsvg-convert -w "$size" -h "$size" -o "$root/assets/icons/hicolor/$size.png" "$source"
done
echo "make-icons.sh: wrote icon.ico, hoticon.ico and velmora.png in $out, and assets/icons/hicolor"
