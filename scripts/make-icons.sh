#!/usr/bin/env bash
# Renders the application icon (resources/quillmark.svg) into the PNG sizes of the hicolor
# theme under resources/icons/. Run it after changing the SVG and commit the PNGs; the build
# installs them as they are.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup-deps.sh librsvg2-bin
for size in 16 22 24 32 48 64 128 256 512; do
  dir=resources/icons/hicolor/${size}x${size}/apps
  mkdir -p "$dir"
  rsvg-convert -w "$size" -h "$size" resources/quillmark.svg -o "$dir/quillmark.png"
done
