#!/usr/bin/env bash
# Builds the image corpus of the imaging tests into OUTDIR:
#   OUTDIR/valid/NAME.EXT   a file in one flavour users meet
#   OUTDIR/valid/NAME.pam   its pixels as an independent decoder reads them
#                           (netpbm, djpeg, dwebp or ImageMagick: never ours)
#   OUTDIR/bad/NAME.EXT     files every loader must refuse
# Only Debian tools make the files (imagemagick, netpbm, libjpeg-turbo-progs,
# gifsicle, webp, perl). Nothing generated here is committed.
set -euo pipefail
out=${1:?usage: make_corpus.sh OUTDIR}
convert=/usr/bin/convert # the real ImageMagick, whatever PATH holds
for tool in "$convert" pnmtopng pngtopam cjpeg djpeg jpegtran gifsicle giftopnm ppmtobmp \
    bmptopnm cwebp dwebp pnmquant perl; do
    command -v "$tool" >/dev/null || { echo "make_corpus: $tool is missing" >&2; exit 1; }
done
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
mkdir -p "$out/valid" "$out/bad"
v=$out/valid
b=$out/bad

# ---- Sources: an odd-sized colourful picture, an alpha ramp, 16-bit data.
W=37
H=29
$convert -size ${W}x$H -seed 7 plasma:fractal -depth 8 "$tmp/src.ppm"
$convert -size ${W}x$H gradient:white-black -rotate 0 -depth 8 "$tmp/alpha.pgm"
$convert -size ${W}x$H -seed 11 plasma:fractal -depth 16 "$tmp/src16.ppm"
$convert -size ${W}x$H gradient:black-white -depth 16 "$tmp/alpha16.pgm"
ppmtopgm "$tmp/src.ppm" >"$tmp/gray.pgm"
pnmquant 100 "$tmp/src.ppm" >"$tmp/pal.ppm" 2>/dev/null
pnmquant 16 "$tmp/src.ppm" >"$tmp/pal16.ppm" 2>/dev/null
# Two alpha levels, so that a palette with tRNS holds it.
$convert "$tmp/alpha.pgm" -threshold 50% -depth 8 "$tmp/alpha2.pgm"
$convert "$tmp/src.ppm" "$tmp/alpha.pgm" -alpha off -compose CopyOpacity -composite \
    "$tmp/rgba.png"

# ---- PNG (pnmtopng), read back by pngtopam.
pnmtopng "$tmp/gray.pgm" >"$v/png_gray.png"
pnmtopng -alpha="$tmp/alpha.pgm" "$tmp/gray.pgm" >"$v/png_gray_alpha.png"
pgmtopbm -threshold "$tmp/gray.pgm" 2>/dev/null | pnmtopng >"$v/png_gray1.png"
pnmtopng "$tmp/pal.ppm" >"$v/png_palette.png"
pnmtopng -alpha="$tmp/alpha2.pgm" "$tmp/pal16.ppm" >"$v/png_palette_trns.png"
pnmtopng "$tmp/src.ppm" >"$v/png_rgb.png"
pnmtopng -alpha="$tmp/alpha.pgm" "$tmp/src.ppm" >"$v/png_rgba.png"
pnmtopng "$tmp/src16.ppm" >"$v/png_rgb16.png"
pnmtopng -alpha="$tmp/alpha16.pgm" "$tmp/src16.ppm" >"$v/png_rgba16.png"
pnmtopng -interlace -alpha="$tmp/alpha.pgm" "$tmp/src.ppm" >"$v/png_interlaced.png"
# One opaque colour with an alpha channel: R 56, G 160, B 248 is RGB565 0x3D1F.
$convert -size 4x3 xc:'rgb(56,160,248)' -alpha opaque PNG32:"$v/png_opaque.png"
for f in "$v"/png_*.png; do pngtopam -alphapam "$f" >"${f%.png}.pam"; done

# ---- JPEG (cjpeg), read back by djpeg with its defaults.
cjpeg -quality 85 "$tmp/src.ppm" >"$v/jpeg_baseline.jpg"
cjpeg -quality 85 -progressive "$tmp/src.ppm" >"$v/jpeg_progressive.jpg"
cjpeg -quality 85 -grayscale "$tmp/src.ppm" >"$v/jpeg_gray.jpg"
cjpeg -quality 95 -sample 1x1 "$tmp/src.ppm" >"$v/jpeg_444.jpg"
for f in "$v"/jpeg_*.jpg; do djpeg -pnm "$f" >"${f%.jpg}.pam"; done
# A larger photo-like picture and its reduced-scale decodes.
$convert -size 203x157 -seed 5 plasma:fractal -depth 8 "$tmp/big.ppm"
# Interlaced and taller than a band of rows (64): gathered before it is sent.
$convert -size 203x157 gradient:white-black -depth 8 "$tmp/bigalpha.pgm"
pnmtopng -interlace "$tmp/big.ppm" >"$v/png_interlaced_big.png"
pnmtopng -interlace -alpha="$tmp/bigalpha.pgm" "$tmp/big.ppm" >"$v/png_interlaced_big_alpha.png"
for f in png_interlaced_big png_interlaced_big_alpha; do
    pngtopam -alphapam "$v/$f.png" >"$v/$f.pam"
done
cjpeg -quality 90 "$tmp/big.ppm" >"$v/jpeg_big.jpg"
cjpeg -quality 90 -progressive "$tmp/big.ppm" >"$v/jpeg_big_progressive.jpg"
for s in 1/2 1/4 1/8 5/8; do
    djpeg -pnm -scale $s "$v/jpeg_big.jpg" >"$v/jpeg_big_${s/\//_}.pam"
    djpeg -pnm -scale $s "$v/jpeg_big_progressive.jpg" >"$v/jpeg_big_progressive_${s/\//_}.pam"
done
djpeg -pnm "$v/jpeg_big.jpg" >"$v/jpeg_big.pam"

# ---- GIF. Stills read back by giftopnm (netpbm's own GIF reader).
$convert "$tmp/pal.ppm" "$v/gif_static.gif"
gifsicle --interlace "$v/gif_static.gif" >"$v/gif_interlaced.gif"
$convert "$tmp/rgba.png" -channel A -threshold 50% +channel -colors 32 "$v/gif_transparent.gif"
for f in gif_static gif_interlaced gif_transparent; do
    giftopnm -alphaout="$tmp/$f.alpha.pbm" "$v/$f.gif" >"$tmp/$f.ppm" 2>/dev/null
    pamdepth 255 "$tmp/$f.alpha.pbm" >"$tmp/$f.alpha.pgm" 2>/dev/null
    pamstack -tupletype=RGB_ALPHA "$tmp/$f.ppm" "$tmp/$f.alpha.pgm" >"$v/$f.pam" 2>/dev/null
done
# Animations: a 24 x 20 screen, a first frame that covers it, then small
# frames at offsets whose disposal shows in the next frame. Each frame
# holds a transparent part so that what lies under it matters. ImageMagick's
# own GIF reader composes the expected frames (-coalesce).
$convert -size 24x20 xc:'#2040c0' -fill '#e0e020' -draw 'rectangle 2,2 9,7' "$tmp/f0.gif"
$convert -size 8x6 xc:'#d02020' -fill none -draw 'color 0,0 point' \
    -fill '#d02020' -transparent '#d02020' -fill '#10a010' -draw 'rectangle 2,1 5,4' "$tmp/f1.gif"
$convert -size 10x8 xc:'#a020a0' -fill '#ffffff' -draw 'rectangle 3,3 6,5' "$tmp/f2.gif"
$convert -size 6x6 xc:'#20c0c0' "$tmp/f3.gif"
for disposal in none background previous; do
    gifsicle --no-warnings --delay 7 --disposal=none "$tmp/f0.gif" \
        --delay 13 --disposal=$disposal --position 4,3 "$tmp/f1.gif" \
        --delay 21 --disposal=$disposal --position 12,9 "$tmp/f2.gif" \
        --delay 3 --disposal=none --position 1,12 "$tmp/f3.gif" >"$v/gif_anim_$disposal.gif"
    $convert "$v/gif_anim_$disposal.gif" -coalesce "$tmp/co_$disposal-%d.pam"
    for i in 0 1 2 3; do cp "$tmp/co_$disposal-$i.pam" "$v/gif_anim_$disposal.$i.pam"; done
done
# Four 32 x 32 frames of solid colours, delays 10, 20, 30, 40.
for c in red lime blue yellow; do $convert -size 32x32 xc:$c "$tmp/solid_$c.gif"; done
gifsicle --delay 10 "$tmp/solid_red.gif" --delay 20 "$tmp/solid_lime.gif" \
    --delay 30 "$tmp/solid_blue.gif" --delay 40 "$tmp/solid_yellow.gif" >"$v/gif_four.gif"

# ---- BMP: ppmtobmp for 1, 4, 8 and 24 bits, ImageMagick for 32 bits with
# alpha; a top-down copy made by flipping the rows and the height's sign.
# Read back by bmptopnm (netpbm) and, for alpha, ImageMagick.
pgmtopbm -threshold "$tmp/gray.pgm" 2>/dev/null | ppmtobmp -bpp=1 >"$v/bmp_1.bmp" 2>/dev/null
ppmtobmp -bpp=4 "$tmp/pal16.ppm" >"$v/bmp_4.bmp" 2>/dev/null
ppmtobmp -bpp=8 "$tmp/pal.ppm" >"$v/bmp_8.bmp" 2>/dev/null
ppmtobmp -bpp=24 "$tmp/src.ppm" >"$v/bmp_24.bmp" 2>/dev/null
$convert "$tmp/rgba.png" -define bmp:format=bmp4 BMP:"$v/bmp_32_alpha.bmp"
perl -e '
    local $/; open my $in, "<:raw", $ARGV[0] or die; my $d = <$in>;
    my ($off, $w, $h, $bpp) = (unpack("V", substr($d, 10, 4)), unpack("l<", substr($d, 18, 4)),
                               unpack("l<", substr($d, 22, 4)), unpack("v", substr($d, 28, 2)));
    my $row = int(($w * $bpp + 31) / 32) * 4;
    my $pixels = join "", reverse map { substr($d, $off + $_ * $row, $row) } 0 .. $h - 1;
    substr($d, 22, 4) = pack("l<", -$h);
    substr($d, $off, $row * $h) = $pixels;
    open my $out, ">:raw", $ARGV[1] or die; print $out $d;' "$v/bmp_24.bmp" "$v/bmp_24_topdown.bmp"
for f in bmp_1 bmp_4 bmp_8 bmp_24; do bmptopnm "$v/$f.bmp" >"$v/$f.pam" 2>/dev/null; done
cp "$v/bmp_24.pam" "$v/bmp_24_topdown.pam"
$convert "$v/bmp_32_alpha.bmp" -depth 8 PAM:"$v/bmp_32_alpha.pam"

# ---- WebP (cwebp), read back by dwebp.
$convert "$tmp/src.ppm" "$tmp/src.png"
cwebp -quiet -q 80 "$tmp/src.png" -o "$v/webp_lossy.webp"
cwebp -quiet -lossless "$tmp/src.png" -o "$v/webp_lossless.webp"
cwebp -quiet -q 80 "$tmp/rgba.png" -o "$v/webp_alpha.webp"
cwebp -quiet -lossless "$tmp/rgba.png" -o "$v/webp_lossless_alpha.webp"
for f in "$v"/webp_*.webp; do dwebp -quiet -pam "$f" -o "${f%.webp}.pam"; done

# ---- Photo for the benchmarks: 2048 x 1536.
$convert -size 512x384 -seed 3 plasma:fractal -resize 2048x1536 -depth 8 "$tmp/photo.ppm"
cjpeg -quality 88 "$tmp/photo.ppm" >"$out/photo_2048x1536.jpg"
cjpeg -quality 88 -progressive "$tmp/photo.ppm" >"$out/photo_2048x1536_progressive.jpg"
$convert "$tmp/photo.ppm" -resize 640x480 "$out/photo_640x480.png"
# An animation of 8 full frames of 160 x 120.
for i in 1 2 3 4 5 6 7 8; do
    $convert -size 160x120 -seed $i plasma:fractal -colors 128 "$tmp/anim_$i.gif"
done
gifsicle --no-warnings --delay 5 "$tmp"/anim_?.gif >"$out/anim_160x120x8.gif"

# ---- Bad files.
: >"$b/empty.png"
: >"$b/empty.gif"
printf 'not an image at all\n' >"$b/text.png"
# Truncated: the first half of each format's file.
for f in png_rgba.png jpeg_baseline.jpg jpeg_progressive.jpg gif_static.gif gif_anim_none.gif \
    bmp_24.bmp bmp_8.bmp webp_lossy.webp webp_lossless.webp; do
    size=$(stat -c %s "$v/$f")
    head -c $((size / 2)) "$v/$f" >"$b/truncated_$f"
done
head -c 40 "$v/bmp_24.bmp" >"$b/truncated_header.bmp"
# Corrupt: bytes in the middle overwritten (the headers stay readable).
corrupt() { # FILE OFFSET COUNT
    cp "$v/$1" "$b/corrupt_$1"
    head -c "$3" /dev/zero | tr '\0' '\377' |
        dd of="$b/corrupt_$1" bs=1 seek="$2" conv=notrunc status=none
}
corrupt png_rgb.png 60 40
corrupt jpeg_baseline.jpg 700 64
corrupt gif_static.gif 900 64
corrupt webp_lossy.webp 40 64
corrupt webp_lossless.webp 30 64
# Fields patched in place: little-endian 16 or 32 bits, or big-endian 16.
patch() { # FILE OFFSET PERLPACK VALUE
    perl -e 'open my $f, "+<:raw", $ARGV[0] or die; seek $f, $ARGV[1], 0;
             print $f pack($ARGV[2], $ARGV[3]);' "$@"
}
cp "$v/gif_static.gif" "$b/gif_zero_width.gif" && patch "$b/gif_zero_width.gif" 6 v 0
cp "$v/gif_static.gif" "$b/gif_huge.gif" && patch "$b/gif_huge.gif" 6 v 65535 &&
    patch "$b/gif_huge.gif" 8 v 65535
# A logical screen smaller than the frame: the frame reaches outside it.
cp "$v/gif_static.gif" "$b/gif_frame_outside.gif" && patch "$b/gif_frame_outside.gif" 6 v 20
cp "$v/bmp_24.bmp" "$b/bmp_zero_height.bmp" && patch "$b/bmp_zero_height.bmp" 22 V 0
cp "$v/bmp_24.bmp" "$b/bmp_huge.bmp" && patch "$b/bmp_huge.bmp" 18 V 60000 &&
    patch "$b/bmp_huge.bmp" 22 V 60000
# PNG size fields: the size is judged before the checksum is.
cp "$v/png_rgb.png" "$b/png_huge.png" && patch "$b/png_huge.png" 16 N 100000 &&
    patch "$b/png_huge.png" 20 N 100000
cp "$v/png_rgb.png" "$b/png_zero_width.png" && patch "$b/png_zero_width.png" 16 N 0
# JPEG frame header (SOF0 after the marker, length and precision).
sof=$(perl -e 'local $/; open my $f, "<:raw", $ARGV[0]; my $d = <$f>;
               print index($d, "\xFF\xC0")' "$v/jpeg_baseline.jpg")
cp "$v/jpeg_baseline.jpg" "$b/jpeg_huge.jpg" && patch "$b/jpeg_huge.jpg" $((sof + 5)) n 65000 &&
    patch "$b/jpeg_huge.jpg" $((sof + 7)) n 65000
cp "$v/jpeg_baseline.jpg" "$b/jpeg_zero_width.jpg" && patch "$b/jpeg_zero_width.jpg" $((sof + 7)) n 0
# WebP lossless header: 14-bit width - 1 and height - 1 after the 0x2F
# signature at byte 20: 16384 x 16384 is beyond the pixel limit.
cp "$v/webp_lossless.webp" "$b/webp_huge.webp" && patch "$b/webp_huge.webp" 21 V 268435455
# A progressive JPEG whose last scan is repeated 300 times: each repeat is a
# legal (if pointless) scan that costs a pass over every coefficient.
perl -e 'local $/; open my $f, "<:raw", $ARGV[0] or die; my $d = <$f>;
         my $sos = rindex($d, "\xFF\xDA"); my $eoi = rindex($d, "\xFF\xD9");
         my $scan = substr($d, $sos, $eoi - $sos);
         print substr($d, 0, $eoi), $scan x 300, "\xFF\xD9";' \
    "$v/jpeg_progressive.jpg" >"$b/jpeg_many_scans.jpg"
echo "make_corpus: $(ls "$v" | wc -l) valid files and references, $(ls "$b" | wc -l) bad files"
