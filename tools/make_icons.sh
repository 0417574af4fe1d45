#!/usr/bin/env bash
# Renders the application icon's PNG sizes for the hicolor theme from its SVG:
#   packaging/icons/com.velsk.QuorvaneEditor.svg
#     -> packaging/icons/hicolor/<N>x<N>/apps/com.velsk.QuorvaneEditor.png
# The PNGs are committed, so a build never needs the renderer; run this after
# changing the SVG. Needs rsvg-convert (Debian: librsvg2-bin).
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
icons="$root/packaging/icons"
svg="$icons/com.velsk.QuorvaneEditor.svg"
if ! command -v rsvg-convert >/dev/null; then
  echo "make_icons.sh: rsvg-convert is missing; install librsvg2-bin" >&2
  exit 1
fi
for size in 16 24 32 48 64 128 256; do
  out="$icons/hicolor/${size}x${size}/apps"
  mkdir -p "$out"
  rsvg-convert --width "$size" --height "$size" --format png \
    --output "$out/com.velsk.QuorvaneEditor.png" "$svg"
  echo "$out/com.velsk.QuorvaneEditor.png"
done
