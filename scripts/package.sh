#!/usr/bin/env bash
# Builds the Debian package from a release build folder and proves it: unpacked into a
# temporary root, its desktop entry and metainfo pass their validators, its velmora-analyze
# analyses the sample page and its velmora shows its start page on a virtual display.
# Usage: scripts/package.sh [BUILD-FOLDER]   (default build/, as scripts/build.sh release makes)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=$(cd "${1:-"$root/build"}" && pwd)
id=example.tarnwick.Velmora

rm -rf "$build/package"
(cd "$build" && cpack -G DEB -B "$build/package" >/dev/null)
deb=$(ls "$build"/package/velmora_*.deb)
echo "package: $deb"
dpkg-deb --field "$deb" Package Version Architecture Section Depends

scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
unpacked="$scratch/root"
dpkg-deb -x "$deb" "$unpacked"
desktop-file-validate "$unpacked/usr/share/applications/$id.desktop"
appstreamcli validate --no-net "$unpacked/usr/share/metainfo/$id.metainfo.xml" >/dev/null
readelf -n "$unpacked/usr/lib/velmora/velmora" | grep -q "Velmora" ||
  { echo "package.sh: the packaged velmora has no version record" >&2; exit 1; }

"$unpacked/usr/bin/velmora-analyze" --out "$scratch/work" \
  --url https://www.tarnwick.example/gallery/sample.html "$root/assets/sample-page.html"
[[ -s "$scratch/work/imagepage.html" ]] ||
  { echo "package.sh: the packaged velmora-analyze wrote no gallery" >&2; exit 1; }

# The packaged browser on its start page, with a home of its own.
mkdir -p "$scratch/home"
HOME="$scratch/home" XDG_CONFIG_HOME= XDG_CACHE_HOME= XDG_DATA_HOME= \
  xvfb-run -a -s "-screen 0 1280x1024x24" \
  bash "$root/scripts/screenshot.sh" "$unpacked/usr/bin/velmora" "$build/package/velmora.png"
echo "package.sh: the unpacked package works ($build/package/velmora.png)"
