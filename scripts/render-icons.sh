#!/usr/bin/env bash
# Renders the application icon (data/desktop/oculet.svg) into the PNG sizes that menus and
# panels still ask for. Run after changing the SVG and commit the PNGs: building needs no renderer.
# Needs rsvg-convert (librsvg2-bin, installed by scripts/install-deps.sh --package).
set -euo pipefail
cd "$(dirname "$0")/../data/desktop"
mkdir -p icons
for size in 16 24 32 48 64 128 256; do
  rsvg-convert --width "$size" --height "$size" --output "icons/oculet-$size.png" oculet.svg
done
