#!/usr/bin/env bash
# Makes the demo's pictures into OUTDIR with Debian's own tools (ImageMagick,
# libjpeg-turbo-progs, gifsicle): nothing here comes from elsewhere and
# nothing made here is committed.
#   photo.jpg    a 1280 x 960 landscape (loaded with the DCT-scaled path)
#   ball.png     48 x 48, per-pixel alpha with soft edges
#   ship.png     32 x 24 on a magenta key colour (its top-left pixel)
#   spinner.gif  8 frames of 40 x 40, each with its own delay
#   contact.png  96 x 128 portrait for the demo contact store
#   contacts.db  the demo contact store (made with CONTACTS_TOOL, zorva_contacts)
set -euo pipefail
out=${1:?usage: make_assets.sh OUTDIR CONTACTS_TOOL}
contacts=${2:?usage: make_assets.sh OUTDIR CONTACTS_TOOL}
convert=/usr/bin/convert # the real ImageMagick, whatever PATH holds
for tool in "$convert" cjpeg gifsicle; do
    command -v "$tool" >/dev/null || { echo "make_assets: $tool is missing" >&2; exit 1; }
done
mkdir -p "$out"
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT

# A landscape: sky gradient, sun, plasma hills, a lake.
$convert -size 1280x960 gradient:'#2050c0'-'#f0b070' \
    -fill '#fff2a0' -draw 'circle 900,380 900,300' \
    \( -size 1280x960 -seed 4 plasma:'#206020'-'#80a040' -blur 0x3 \) \
    \( -size 1280x960 xc:black -fill white \
       -draw 'path "M 0,620 C 200,480 420,560 640,520 S 1000,420 1280,560 L 1280,960 L 0,960 Z"' \) \
    -composite \
    -fill '#3070b0' -draw 'ellipse 420,820 300,60 0,360' \
    -depth 8 "$tmp/photo.ppm"
cjpeg -quality 88 "$tmp/photo.ppm" >"$out/photo.jpg"

# A glossy ball whose edge fades out.
$convert -size 48x48 radial-gradient:'#fff6c0'-'#e07010' \
    \( -size 48x48 xc:black -fill white -draw 'circle 24,24 24,3' -blur 0x1.5 \) \
    -alpha off -compose CopyOpacity -composite "$out/ball.png"

# A ship on the key colour: body (0, 200, 255), wings (255, 255, 255).
$convert -size 32x24 xc:'#ff00ff' +antialias \
    -fill '#ffffff' -draw 'polygon 2,20 16,14 30,20 16,23' \
    -fill '#00c8ff' -draw 'polygon 16,1 24,20 8,20' \
    -depth 8 "$out/ship.png"

# A spinner: a bar turning by 22.5 degrees a frame; delays 4 to 11 cs.
frames=()
for i in 0 1 2 3 4 5 6 7; do
    angle=$((i * 45 / 2))
    $convert -size 40x40 xc:'#202838' -stroke '#ffd040' -strokewidth 6 \
        -draw "translate 20,20 rotate $angle line -14,0 14,0" \
        -fill '#ff5050' -stroke none -draw 'circle 20,20 20,16' "$tmp/f$i.gif"
    frames+=(-d $((4 + i)) "$tmp/f$i.gif")
done
gifsicle --loopcount=forever "${frames[@]}" >"$out/spinner.gif"

# A portrait for the contact store.
$convert -size 96x128 gradient:'#406080'-'#a0c0e0' \
    -fill '#f0c8a0' -draw 'ellipse 48,52 26,32 0,360' \
    -fill '#603820' -draw 'ellipse 48,30 28,16 180,360' \
    -fill '#305090' -draw 'ellipse 48,128 44,36 180,360' \
    -fill '#202020' -draw 'circle 38,52 38,55' -draw 'circle 58,52 58,55' \
    -depth 8 "$out/contact.png"
rm -f "$out/contacts.db"
"$contacts" --db "$out/contacts.db" add "Ada Lovelace" --phone "+44 20 7946 0018" \
    --picture "$out/contact.png" >/dev/null
echo "make_assets: pictures and contact store in $out"
