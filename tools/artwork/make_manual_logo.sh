#!/bin/sh
# Draws the manual window's logo, 99 x 65 pixels: a hopper bowl full of coins above the name.
# The background stays transparent so the window colour shows through.
# Usage: tools/artwork/make_manual_logo.sh [output.png]   (needs ImageMagick and DejaVu fonts)
set -eu
here=$(dirname "$0")
out=${1:-$here/../../resources/runtime/manual_logo.png}
font=/usr/share/fonts/truetype/dejavu/DejaVuSans-Bold.ttf

blue='#1f4e8c'
dark='#12315a'
gold='#e3b23c'
rim='#9c7414'

convert -size 99x65 xc:none \
    -stroke "$dark" -strokewidth 1 -fill "$blue" \
    -draw "polygon 22,14 77,14 64,38 35,38" \
    -draw "rectangle 44,38 55,43" \
    -stroke "$rim" -fill "$gold" \
    -draw "circle 36,12 36,5" \
    -draw "circle 50,10 50,3" \
    -draw "circle 64,12 64,5" \
    -draw "circle 43,19 43,13" \
    -draw "circle 57,19 57,13" \
    -stroke none -fill '#ffffff80' \
    -draw "polygon 27,17 33,17 39,35 36,35" \
    -font "$font" -pointsize 16 -fill "$blue" -gravity south -annotate +0+1 'PELLIX' \
    -strip PNG32:"$out"
