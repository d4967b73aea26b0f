#!/usr/bin/env bash
# Installs a build folder into a temporary DESTDIR and checks the tree: the program folder, the
# relative links in bin/, the desktop entry, the metainfo, the icons and the manual pages, and
# that velmora-analyze started through its link finds its program folder.
# Usage: check-install.sh BUILD-FOLDER SOURCE-FOLDER
set -euo pipefail
build=$1
source=$2
id=example.tarnwick.Velmora
prefix=/opt/velmora-check
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
fail() { echo "check-install: $*" >&2; exit 1; }

DESTDIR="$scratch" cmake --install "$build" --prefix "$prefix" >/dev/null
top="$scratch$prefix"
for file in lib/velmora/velmora lib/velmora/velmora-analyze lib/velmora/Help.rtf \
  lib/velmora/icon.ico lib/velmora/hoticon.ico lib/velmora/velmora.png \
  lib/velmora/assets/start.html share/metainfo/$id.metainfo.xml \
  share/man/man1/velmora.1 share/man/man1/velmora-analyze.1 \
  share/icons/hicolor/scalable/apps/$id.svg; do
  [[ -f "$top/$file" ]] || fail "$file is not installed"
done
for size in 16 22 24 32 48 64 128 256; do
  [[ -f "$top/share/icons/hicolor/${size}x$size/apps/$id.png" ]] || fail "no $size px icon"
done
for program in velmora velmora-analyze; do
  [[ "$(readlink "$top/bin/$program")" == "../lib/velmora/$program" ]] ||
    fail "bin/$program is not a relative link into the program folder"
  [[ -x "$top/bin/$program" ]] || fail "bin/$program does not resolve"
done
entry="$top/share/applications/$id.desktop"
grep -qx "Exec=$prefix/bin/velmora %u" "$entry" || fail "the entry's Exec: $(grep Exec= "$entry")"
grep -qx "Icon=$id" "$entry" || fail "the entry's icon is not the theme's"
desktop-file-validate "$entry"
appstreamcli validate --no-net "$top/share/metainfo/$id.metainfo.xml" >/dev/null

# Started through its link, the analyser writes its work files into its program folder.
"$top/bin/velmora-analyze" "$source/assets/sample-page.html" >/dev/null
[[ -s "$top/lib/velmora/imagepage.html" ]] ||
  fail "velmora-analyze started through its link did not find its program folder"
echo "check-install: the install tree is complete"
