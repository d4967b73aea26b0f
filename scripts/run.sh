#!/usr/bin/env bash
# Installs what is needed, builds Velmora and runs its main job: the page analysis of the
# bundled sample page, written to the work folder.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
bash "$root/scripts/install-deps.sh"
bash "$root/scripts/build.sh" release
"$root/build/bin/velmora-analyze" --url "https://www.tarnwick.example/gallery/sample.html" \
  "$root/assets/sample-page.html"
