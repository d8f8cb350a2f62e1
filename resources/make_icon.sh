#!/usr/bin/env bash
# Draws the program icon (a vault door with a keyhole) and packs it as keyhaven.ico.
# Run by hand when the artwork changes; the .ico is committed.
set -euo pipefail
cd "$(dirname "$0")"
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT

convert -size 256x256 xc:none \
  \( -size 256x256 gradient:'#2d6fb3'-'#123a66' \) \
  \( -size 256x256 xc:black -fill white -draw 'roundrectangle 8,8 247,247 44,44' \) \
  -delete 0 -alpha off -compose CopyOpacity -composite \
  -fill none -stroke '#0b2747' -strokewidth 6 -draw 'roundrectangle 8,8 247,247 44,44' \
  -stroke none -fill '#e9b949' -draw 'circle 128,128 128,36' \
  -fill '#c8962a' -draw 'circle 128,128 128,52' \
  -fill '#f6d77a' -draw 'circle 128,128 128,60' \
  -stroke '#9c7020' -strokewidth 8 \
  -draw 'line 128,40 128,60' -draw 'line 128,196 128,216' \
  -draw 'line 40,128 60,128' -draw 'line 196,128 216,128' \
  -stroke none -fill '#16324f' -draw 'circle 128,112 128,88' \
  -draw 'polygon 114,118 142,118 154,172 102,172' \
  "$tmp/icon256.png"

for s in 16 24 32 48 64 128; do
  convert "$tmp/icon256.png" -resize ${s}x${s} "$tmp/icon$s.png"
done
convert "$tmp/icon16.png" "$tmp/icon24.png" "$tmp/icon32.png" "$tmp/icon48.png" \
  "$tmp/icon64.png" "$tmp/icon128.png" "$tmp/icon256.png" -depth 8 keyhaven.ico
cp "$tmp/icon256.png" keyhaven-256.png
