#!/usr/bin/env bash
# Draws the program icon (a blue rounded square with a white "答" and a small
# gold check mark) at 128, 64, 48, 32 and 16 pixels into assets/icon-<size>.png.
# Needs ImageMagick and the Noto CJK fonts (tools/setup.sh installs both).
set -euo pipefail
ROOT=$(cd "$(dirname "$0")/.." && pwd)
FONT=/usr/share/fonts/opentype/noto/NotoSansCJK-Bold.ttc
TMP=$(mktemp -d)
trap 'rm -rf "$TMP"' EXIT

# One master at 512 px; the smaller sizes are scaled from it.
convert -size 512x512 xc:none \
  -fill '#1d5fbf' -stroke '#0d3b80' -strokewidth 16 -draw 'roundrectangle 16,16 496,496 96,96' \
  -fill '#3f86e6' -stroke none -draw 'roundrectangle 40,40 472,260 72,72' \
  -font "$FONT" -pointsize 330 -fill white -gravity center -annotate +0-10 '答' \
  -fill '#f5c242' -stroke '#8a5a00' -strokewidth 10 \
  -draw 'polyline 330,400 380,450 470,330' \
  "$TMP/master.png"
for size in 128 64 48 32 16; do
  convert "$TMP/master.png" -filter Lanczos -resize ${size}x${size} -strip \
    -define png:exclude-chunks=date,time "$ROOT/assets/icon-$size.png"
done
