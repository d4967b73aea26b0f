#!/usr/bin/env bash
# Installs what is needed, builds Velmora and starts it. Without a display it says so, runs
# Velmora on a virtual display until its start page and both views are shown, saves a
# screenshot of the window and prints where.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
bash "$root/scripts/install-deps.sh"
bash "$root/scripts/build.sh" release >/dev/null
velmora="$root/build/bin/velmora"

if [[ -n "${DISPLAY:-}${WAYLAND_DISPLAY:-}" ]]; then
  exec "$velmora"
fi

echo "No display here: running Velmora on a virtual display and saving a screenshot."
shot="$root/build/velmora-screenshot.png"
xvfb-run -a -s "-screen 0 1280x1024x24" bash "$root/scripts/screenshot.sh" "$velmora" "$shot"
echo "Screenshot of Velmora on its start page: $shot"
