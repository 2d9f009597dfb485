#!/usr/bin/env bash
# Draws the window's 125 x 32 logo (src/app/logo.jpg) with ImageMagick: a dark blue rounded
# plate with a light rim on the window's grey, "HD DVD" in white and a red underline. Run from
# the repository root; the program embeds the JPEG as a Qt resource and decodes it with libjpeg.
set -euo pipefail
out=${1:-src/app/logo.jpg}
convert -size 125x32 xc:'#efefef' \
  \( -size 125x32 gradient:'#2c58a8'-'#0a1c40' \) \
  \( -size 125x32 xc:black -fill white -draw 'roundrectangle 0,0 124,31 6,6' \) \
  -composite \
  -fill none -stroke '#9fb8e6' -strokewidth 1 -draw 'roundrectangle 1,1 123,30 5,5' \
  -stroke none -fill '#d8262e' -draw 'rectangle 22,25 102,26' \
  -font DejaVu-Sans-Bold -pointsize 17 -fill white -gravity center -annotate +0-3 'HD DVD' \
  -strip -sampling-factor 1x1 -quality 92 "jpeg:$out"
