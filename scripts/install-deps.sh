#!/usr/bin/env bash
# Installs the Debian 12 packages Velmora needs to build, run and test. Idempotent: when every
# package is already installed it only checks and returns.
set -euo pipefail

packages=(
  build-essential cmake ninja-build pkg-config git
  libglib2.0-dev libjson-glib-dev libgtkmm-3.0-dev libwebkit2gtk-4.1-dev libgl1-mesa-dri libx11-dev
  libgtest-dev libgmock-dev libbenchmark-dev libsoup-3.0-dev
  libgdk-pixbuf-2.0-dev librsvg2-common webp-pixbuf-loader libavif-gdk-pixbuf
  clang clang-format libclang-rt-14-dev
  xvfb xauth imagemagick
  dpkg-dev file desktop-file-utils appstream
)

missing=()
for p in "${packages[@]}"; do
  status=$(dpkg-query -W -f='${db:Status-Abbrev}' "$p" 2>/dev/null || true)
  [[ "$status" == ii* ]] || missing+=("$p")
done
if ((${#missing[@]} == 0)); then
  exit 0
fi

echo "Installing: ${missing[*]}"
sudo=()
if ((EUID != 0)); then
  if command -v sudo >/dev/null; then sudo=(sudo); else
    echo "install-deps: run as root (or install sudo) to install: ${missing[*]}" >&2
    exit 1
  fi
fi
export DEBIAN_FRONTEND=noninteractive
"${sudo[@]}" apt-get update -qq
"${sudo[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}"
