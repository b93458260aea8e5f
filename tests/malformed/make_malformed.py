#!/usr/bin/python3
"""Writes the malformed-image corpus into OUTDIR, with OUTDIR/expected.tsv.

Every file is built here, byte by byte (PNG, GIF and BMP by hand; the JPEG
and WebP sources come from Pillow and are then damaged by hand), so that the
corpus is the same on every machine. Each row of expected.tsv gives:

  file      the file's name
  decode    what the imaging service gives when the picture is asked for
            fitted into 240 x 320: ok, corrupt (0x8007000D), toolarge
            (0x800700DF) or unknown (0x80040001)
  gif       LoadGIF of every frame as a strip: 1 when it loads (possibly a
            documented partial picture: a frame that fails repeats the ones
            before it), 0 when it fails
  seconds   the time all the loaders together may take on it: 1, or 2 for a
            legitimate picture at the size limit
  why       what the file tries

The loaders' results follow from `decode` (tests/imageio_malformed_test.cpp).
Usage: make_malformed.py OUTDIR
"""
import io
import os
import random
import struct
import subprocess
import sys
import tempfile
import zlib

from PIL import Image

OUT = sys.argv[1] if len(sys.argv) > 1 else "malformed"
ROWS = []


def put(name, data, decode, gif, why, seconds=1):
    with open(os.path.join(OUT, name), "wb") as f:
        f.write(data)
    ROWS.append((name, decode, str(gif), str(seconds), why))


# ---- PNG ------------------------------------------------------------------

def chunk(kind, body, crc=None):
    if crc is None:
        crc = zlib.crc32(kind + body) & 0xFFFFFFFF
    return struct.pack(">I", len(body)) + kind + body + struct.pack(">I", crc)


def png(width, height, depth, colour, raw, interlace=0, extra=b"", level=9):
    ihdr = struct.pack(">IIBBBBB", width, height, depth, colour, 0, 0, interlace)
    return (b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", ihdr) + extra +
            chunk(b"IDAT", zlib.compress(raw, level)) + chunk(b"IEND", b""))


def png_rows(width, height, bytes_per_row, fill=0):
    return (b"\x00" + bytes([fill]) * bytes_per_row) * height


def small_rgb_png():
    raw = b"".join(b"\x00" + bytes((x * 40 + y * 7) & 255 for x in range(3 * 12))
                   for y in range(9))
    return png(12, 9, 8, 2, raw)


# ---- GIF ------------------------------------------------------------------

def lzw(indices, min_code_size):
    """Codes without compression: a clear code before every run that would
    make the table grow past the code size, so every code is a literal."""
    clear, end = 1 << min_code_size, (1 << min_code_size) + 1
    size = min_code_size + 1
    codes, since = [clear], 0
    for i in indices:
        if since == (1 << size) - (1 << min_code_size) - 2:
            codes.append(clear)
            since = 0
        codes.append(i)
        since += 1
    codes.append(end)
    bits, count, out = 0, 0, bytearray()
    for c in codes:
        bits |= c << count
        count += size
        while count >= 8:
            out.append(bits & 255)
            bits >>= 8
            count -= 8
    if count:
        out.append(bits & 255)
    return bytes(out)


def sub_blocks(data):
    out = bytearray()
    for i in range(0, len(data), 255):
        piece = data[i:i + 255]
        out += bytes([len(piece)]) + piece
    return bytes(out) + b"\x00"


def gif_frame(left, top, width, height, indices, min_code_size=2, disposal=0,
              transparent=None, delay=0, data=None, code_size_byte=None):
    gce = b""
    if disposal or transparent is not None or delay:
        flags = (disposal << 2) | (1 if transparent is not None else 0)
        gce = b"\x21\xF9\x04" + struct.pack("<BHB", flags, delay, transparent or 0) + b"\x00"
    desc = b"\x2C" + struct.pack("<HHHHB", left, top, width, height, 0)
    if data is None:
        data = lzw(indices, min_code_size)
    size_byte = min_code_size if code_size_byte is None else code_size_byte
    return gce + desc + bytes([size_byte]) + sub_blocks(data)


def gif(width, height, frames, palette=None, background=0, trailer=True):
    palette = palette or [(0, 0, 0), (255, 0, 0), (0, 255, 0), (0, 0, 255)]
    bits = max(1, (len(palette) - 1).bit_length())
    table = b"".join(bytes(c) for c in palette) + b"\x00" * (3 * ((1 << bits) - len(palette)))
    head = b"GIF89a" + struct.pack("<HHBBB", width, height, 0x80 | (bits - 1), background, 0)
    return head + table + b"".join(frames) + (b"\x3B" if trailer else b"")


def small_gif():
    return gif(8, 6, [gif_frame(0, 0, 8, 6, [(x + y) % 4 for y in range(6) for x in range(8)],
                                delay=5),
                      gif_frame(2, 1, 3, 3, [1] * 9, disposal=2, delay=7)])


# ---- BMP ------------------------------------------------------------------

def bmp(width, height, bits=24, compression=0, pixels=None, offset=None, palette=b"",
        info_size=40, size_field=None):
    row = ((abs(width) * bits + 31) // 32) * 4 if bits and abs(width) < 1 << 20 else 4
    if pixels is None:
        pixels = bytes(row * min(abs(height), 64))
    off = 14 + info_size + len(palette) if offset is None else offset
    info = struct.pack("<IiiHHIIiiII", info_size, width, height, 1, bits, compression,
                       len(pixels), 2835, 2835, len(palette) // 4, 0)
    info += b"\x00" * (info_size - 40)
    body = info + palette
    total = 14 + len(body) + len(pixels)
    head = b"BM" + struct.pack("<IHHI", total if size_field is None else size_field, 0, 0, off)
    return head + body + pixels


def small_bmp():
    row = lambda y: bytes((x * 30 + y * 50) & 255 for x in range(3 * 5)) + b"\x00"
    return bmp(5, 4, pixels=b"".join(row(y) for y in range(4)))


GRAY4 = b"".join(bytes((v, v, v, 0)) for v in (0, 85, 170, 255))


# ---- JPEG and WebP sources ---------------------------------------------------

def picture(width, height):
    img = Image.new("RGB", (width, height))
    img.putdata([((x * 9) & 255, (y * 13) & 255, ((x ^ y) * 5) & 255)
                 for y in range(height) for x in range(width)])
    return img


def encoded(img, fmt, **options):
    out = io.BytesIO()
    img.save(out, fmt, **options)
    return out.getvalue()


def segments(jpeg):
    """(marker, start, end) of every marker segment before the scan data."""
    out, i = [], 2
    while i + 4 <= len(jpeg) and jpeg[i] == 0xFF:
        marker, length = jpeg[i + 1], struct.unpack(">H", jpeg[i + 2:i + 4])[0]
        out.append((marker, i, i + 2 + length))
        if marker == 0xDA:
            break
        i += 2 + length
    return out


def without(jpeg, marker):
    for m, start, end in segments(jpeg):
        if m == marker:
            return without(jpeg[:start] + jpeg[end:], marker)
    return jpeg


def with_size(jpeg, width, height):
    for m, start, _ in segments(jpeg):
        if m in (0xC0, 0xC2):
            return jpeg[:start + 5] + struct.pack(">HH", height, width) + jpeg[start + 9:]
    raise ValueError("no frame header")


def scanned(img, lines):
    """A progressive JPEG made by cjpeg from a scan script."""
    with tempfile.TemporaryDirectory() as tmp:
        script, ppm = os.path.join(tmp, "scans"), os.path.join(tmp, "in.ppm")
        with open(script, "w") as f:
            f.write("\n".join(lines) + "\n")
        img.save(ppm)
        return subprocess.run(["cjpeg", "-quality", "85", "-sample", "1x1", "-scans", script, ppm],
                              check=True, stdout=subprocess.PIPE).stdout


def scan_ends(jpeg):
    """Where each scan's entropy-coded data ends (the next marker that is
    neither a stuffed 0xFF nor a restart)."""
    ends, i = [], 0
    while True:
        i = jpeg.find(b"\xFF\xDA", i)
        if i < 0:
            return ends
        i += 2 + struct.unpack(">H", jpeg[i + 2:i + 4])[0]
        while not (jpeg[i] == 0xFF and jpeg[i + 1] not in (0x00, *range(0xD0, 0xD8))):
            i += 1
        ends.append(i)


def many_scans(img, count):
    """`count` legal scans: the DC of all three components, then one AC
    coefficient a scan, Y's first, then Cb's. cjpeg writes at most 100
    scans, so a further one (with the tables before it) is taken from a
    second file of the same picture and settings."""
    ac = ["%d: %d %d 0 0;" % ((0, k, k) if k <= 63 else (1, k - 63, k - 63))
          for k in range(1, count)]
    first = scanned(img, ["0 1 2: 0 0 0 0;"] + ac[:99])
    if count <= 100:
        return first
    more = scanned(img, ["0 1 2: 0 0 0 0;"] + ac[99:])
    ends = scan_ends(more)
    eoi = first.rindex(b"\xFF\xD9")
    return first[:eoi] + more[ends[0]:ends[-1]] + first[eoi:]


def main():
    os.makedirs(OUT, exist_ok=True)

    # ---- The faults found by hand, kept as they were found.
    runs = b"\xFF\x01" * 8 + b"\x08\x02" + b"\x00\x01"
    put("fault1_bmp_2048x1.bmp", bmp(2048, 1, bits=8, compression=1, palette=GRAY4, pixels=runs),
        "ok", 1, "90 bytes: fitted into a box of 2147483647 x 1024 it would be 2^31 pixels")
    put("fault1_png_1x1.png", png(1, 1, 8, 2, b"\x00\x80\x40\x20"), "ok", 1,
        "1 x 1 PNG: fitted into 46340 x 46340 it must fail before growing anything")
    put("fault2_png_40000x1.png", png(40000, 1, 8, 2, png_rows(40000, 1, 120000, 90)), "ok", 1,
        "a crop rendered at 1 x 1 needs a scale of 40000")
    put("fault3_gif_33_frames_8000.gif",
        gif(8000, 8000, [gif_frame(i * 7, i * 5, 1, 1, [1 + i % 3]) for i in range(33)]),
        "ok", 0, "33 frames of 1 x 1 on an 8000 x 8000 screen: a 264000 x 8000 strip")
    put("fault4_gif_2_frames_12056.gif",
        gif(12056, 5120, [gif_frame(0, 0, 1, 1, [1]), gif_frame(5, 5, 1, 1, [2])]), "ok", 0,
        "2 frames on a 12056 x 5120 screen: the strip is beyond the pixel limit")
    put("fault6_png_20000x1.png", png(20000, 1, 8, 2, png_rows(20000, 1, 60000, 200)), "ok", 1,
        "opaque and wider than 16384: loads at its own size on every path")
    photo = encoded(picture(64, 48), "JPEG", quality=90)
    scan = segments(photo)[-1][2]
    damaged = bytearray(photo)
    for i in range(scan + 200, scan + 260):
        damaged[i] = 0x00
    put("fault7_jpeg_corrupt_entropy.jpg", bytes(damaged), "corrupt", 0,
        "entropy-coded data overwritten: libjpeg warns and carries on")

    # ---- PNG
    put("png_0x0.png", png(0, 0, 8, 2, b""), "corrupt", 0, "zero sizes")
    put("png_2_31_wide.png", png(1 << 31, 1, 8, 2, b"\x00\x00\x00\x00"), "toolarge", 0,
        "2^31 pixels wide")
    put("png_65536x1.png", png(65536, 1, 1, 0, png_rows(65536, 1, 8192)), "toolarge", 0,
        "one pixel wider than the side limit")
    put("png_65535x1_rgba.png", png(65535, 1, 8, 6, png_rows(65535, 1, 4 * 65535, 7)), "ok", 1,
        "the side limit")
    put("png_8000x8000_1bit.png", png(8000, 8000, 1, 0, png_rows(8000, 8000, 1000)), "ok", 1,
        "8 KB that inflates to 64 million pixels: fitted loads stay small", seconds=2)
    put("png_8192x8192_1bit.png", png(8192, 8192, 1, 0, png_rows(8192, 8192, 1024)), "ok", 1,
        "exactly the pixel limit (2^26)", seconds=2)
    put("png_8193x8192_1bit.png", png(8193, 8192, 1, 0, png_rows(8193, 8192, 1025)),
        "toolarge", 0, "one column past the pixel limit")
    put("png_interlaced_2048.png", png(2048, 2048, 1, 0, b"".join(
        b"\x00" + bytes(w) for w in adam7_widths(2048, 2048, 1)), interlace=1), "ok", 1,
        "interlaced: the passes arrive out of order")
    good = small_rgb_png()
    ihdr_end = 8 + 25
    big_chunk = good[:ihdr_end] + struct.pack(">I", 0x7FFFFFF0) + b"tEXt" + b"x" * 64
    put("png_oversized_chunk.png", big_chunk, "corrupt", 0, "a chunk that claims 2 GB")
    bad_ihdr = bytearray(good)
    bad_ihdr[29] ^= 0xFF
    put("png_bad_crc_ihdr.png", bytes(bad_ihdr), "corrupt", 0, "IHDR checksum wrong")
    idat = good.index(b"IDAT")
    bad_idat = bytearray(good)
    length = struct.unpack(">I", good[idat - 4:idat])[0]
    bad_idat[idat + 4 + length] ^= 0xFF
    put("png_bad_crc_idat.png", bytes(bad_idat), "corrupt", 0, "IDAT checksum wrong")
    text = chunk(b"tEXt", b"Comment\x00harmless", crc=0x12345678)
    put("png_bad_crc_text.png", good[:ihdr_end] + text + good[ihdr_end:], "ok", 1,
        "a text chunk's checksum wrong: ancillary, so harmless")
    put("png_idat_short.png", png(64, 64, 8, 2, png_rows(64, 32, 192)), "corrupt", 0,
        "image data for half the rows")
    put("png_palette_no_plte.png", png(8, 8, 8, 3, png_rows(8, 8, 8)), "corrupt", 0,
        "palette colour type without a palette")
    put("png_bad_filter.png", png(8, 8, 8, 0, (b"\x07" + bytes(8)) * 8), "corrupt", 0,
        "filter type 7")

    # ---- GIF
    for size in (0, 1, 12, 13, 255):
        put("gif_lzw_code_size_%d.gif" % size,
            gif(4, 4, [gif_frame(0, 0, 4, 4, [1] * 16, code_size_byte=size)]),
            "corrupt", 0, "LZW minimum code size %d" % size)
    past = lzw([1, 1], 2)[:1] + bytes([0xFF, 0xFF, 0xFF])
    put("gif_code_past_table.gif", gif(4, 4, [gif_frame(0, 0, 4, 4, None, data=past)]),
        "corrupt", 0, "codes beyond the string table")
    put("gif_index_past_palette.gif",
        gif(4, 4, [gif_frame(0, 0, 4, 4, [7] * 16, min_code_size=3)]), "corrupt", 0,
        "pixel indices beyond a four-colour palette")
    put("gif_background_past_palette.gif",
        gif(4, 4, [gif_frame(0, 0, 4, 4, [1] * 16)], background=200), "ok", 1,
        "background index 200 with four colours (the background is never painted)")
    put("gif_transparent_past_palette.gif",
        gif(4, 4, [gif_frame(0, 0, 4, 4, [2] * 16, transparent=200)]), "ok", 1,
        "transparent index 200 with four colours (matches no pixel)")
    put("gif_frame_outside.gif", gif(4, 4, [gif_frame(2, 2, 4, 4, [1] * 16)]), "corrupt", 0,
        "a frame reaching outside the screen")
    put("gif_screen_65535_frame_1x1.gif", gif(65535, 65535, [gif_frame(0, 0, 1, 1, [1])]),
        "toolarge", 0, "a 65535 x 65535 screen with a 1 x 1 frame")
    put("gif_restore_previous_first.gif",
        gif(4, 4, [gif_frame(0, 0, 4, 4, [1] * 16, disposal=3),
                   gif_frame(1, 1, 2, 2, [2] * 4, disposal=3)]), "ok", 1,
        "'restore previous' on the first frame")
    put("gif_8_frames_each_whole.gif",
        gif(4, 4, [gif_frame(0, 0, 4, 4, [i % 4] * 16, disposal=1 + i % 3) for i in range(8)]),
        "ok", 1, "eight frames over the whole screen: each decoded once for the strip")
    put("gif_30000_empty_frames.gif",
        gif(2, 2, [gif_frame(0, 0, 1, 1, [i % 4], disposal=3) for i in range(30000)]), "ok", 1,
        "30000 frames of one pixel, each restoring the previous picture")
    put("gif_100000_frames.gif", gif(1, 1, [gif_frame(0, 0, 1, 1, [1])] * 100000), "ok", 1,
        "exactly the frame limit", seconds=2)
    put("gif_100001_frames.gif", gif(1, 1, [gif_frame(0, 0, 1, 1, [1])] * 100001),
        "toolarge", 0, "one frame past the frame limit")
    put("gif_no_frames.gif", gif(4, 4, []), "corrupt", 0, "a screen and a trailer, no frame")
    put("gif_no_trailer.gif", gif(4, 4, [gif_frame(0, 0, 4, 4, [1] * 16)], trailer=False),
        "corrupt", 0, "ends before its trailer")
    put("gif_second_frame_bad.gif",
        gif(4, 4, [gif_frame(0, 0, 4, 4, [1] * 16),
                   gif_frame(0, 0, 4, 4, [7] * 16, min_code_size=3)]), "ok", 1,
        "the second frame's indices are beyond the palette: the strip repeats the first")
    put("gif_no_colour_table.gif", b"GIF89a" + struct.pack("<HHBBB", 4, 4, 0, 0, 0) +
        gif_frame(0, 0, 4, 4, [1] * 16) + b"\x3B", "corrupt", 0, "no colour table at all")
    put("gif_strip_at_limit.gif",
        gif(8192, 1024, [gif_frame(0, 0, 1, 1, [1]) for _ in range(8)]), "ok", 1,
        "8 frames of 8192 x 1024: a strip of exactly 2^26 pixels", seconds=2)
    put("gif_strip_past_limit.gif",
        gif(8193, 1024, [gif_frame(0, 0, 1, 1, [1]) for _ in range(8)]), "ok", 0,
        "8 frames of 8193 x 1024: a strip one column per frame past the pixel limit")

    # ---- BMP
    put("bmp_zero_width.bmp", bmp(0, 4), "corrupt", 0, "width 0")
    put("bmp_zero_height.bmp", bmp(4, 0), "corrupt", 0, "height 0")
    put("bmp_negative_width.bmp", bmp(-5, 4), "corrupt", 0, "width -5")
    put("bmp_int_min_height.bmp", bmp(4, -2**31), "toolarge", 0, "height INT_MIN")
    put("bmp_int_min_width.bmp", bmp(-2**31, 4), "corrupt", 0, "width INT_MIN")
    put("bmp_width_bits_overflow.bmp", bmp(2**27 + 1, 1, bits=32), "toolarge", 0,
        "width x 32 bits overflows 32 bits")
    put("bmp_offset_past_end.bmp", bmp(4, 4, offset=100000), "corrupt", 0,
        "pixels past the end of the file")
    put("bmp_rows_short.bmp", bmp(64, 64, pixels=bytes(64 * 3 * 10)), "corrupt", 0,
        "pixel rows for 10 of 64 rows")
    for bits in (0, 7, 64):
        put("bmp_bits_%d.bmp" % bits, bmp(4, 4, bits=bits, pixels=bytes(64)), "corrupt", 0,
            "%d bits per pixel" % bits)
    put("bmp_palette_index_past.bmp",
        bmp(4, 2, bits=8, palette=GRAY4, pixels=bytes([200] * 4 + [0] * 4)), "corrupt", 0,
        "8-bit indices beyond a four-entry palette")
    rle_past = b"\x40\x01" + b"\x00\x02\xFF\xFF" + b"\x05\x02" + b"\x00\x01"
    put("bmp_rle8_runs_past.bmp",
        bmp(16, 4, bits=8, compression=1, palette=GRAY4, pixels=rle_past), "ok", 1,
        "RLE8 runs and a delta past the image: SDL cuts off what leaves the picture")
    rle_short = b"\x04\x01\x00\x00"
    put("bmp_rle8_unterminated.bmp",
        bmp(16, 4, bits=8, compression=1, palette=GRAY4, pixels=rle_short), "corrupt", 0,
        "RLE8 data that stops without an end of bitmap")
    rle_bomb = (b"\x00\x00") * 2 + b"\x00\x01"
    put("bmp_rle8_4000_bomb.bmp",
        bmp(4000, 3000, bits=8, compression=1, palette=GRAY4, pixels=rle_bomb), "ok", 1,
        "a few bytes of RLE8 for 12 million pixels (the rest is read as black)")
    # Run-length files are decoded whole by SDL, a byte a pixel: 12 MiB at
    # the most.
    put("bmp_rle8_at_whole_limit.bmp",
        bmp(4096, 3072, bits=8, compression=1, palette=GRAY4, pixels=b"\x00\x01"), "ok", 1,
        "a run-length picture of exactly 12 MiB", seconds=2)
    put("bmp_rle8_past_whole_limit.bmp",
        bmp(4096, 3073, bits=8, compression=1, palette=GRAY4, pixels=b"\x00\x01"), "toolarge", 0,
        "a run-length picture one row past 12 MiB")
    put("bmp_core_header_zero.bmp", b"BM" + struct.pack("<IHHI", 30, 0, 0, 26) +
        struct.pack("<IHHHH", 12, 0, 0, 1, 24) + b"\x00" * 4, "corrupt", 0,
        "an OS/2 core header with size 0 x 0")
    put("bmp_info_size_13.bmp", bmp(4, 4, info_size=40)[:14] + struct.pack("<I", 13) +
        bmp(4, 4)[18:], "corrupt", 0, "an information header of 13 bytes")

    # ---- JPEG
    base = encoded(picture(32, 24), "JPEG", quality=85)
    put("jpeg_0x0.jpg", with_size(base, 0, 0), "corrupt", 0, "zero sizes")
    put("jpeg_65500x65500.jpg", with_size(base, 65500, 65500), "toolarge", 0,
        "65500 x 65500 in a 1 KB file")
    put("jpeg_no_quant_tables.jpg", without(base, 0xDB), "corrupt", 0, "no DQT")
    put("jpeg_no_huffman_tables.jpg", without(base, 0xC4), "ok", 1,
        "no DHT: libjpeg's standard tables, which the encoder used too")
    optimized = encoded(picture(32, 24), "JPEG", quality=85, optimize=True)
    put("jpeg_no_huffman_tables_optimized.jpg", without(optimized, 0xC4), "corrupt", 0,
        "no DHT: the standard tables do not fit data coded with optimised ones")
    prog = encoded(picture(32, 24), "JPEG", quality=85, progressive=True)
    sos, eoi = prog.rindex(b"\xFF\xDA"), prog.rindex(b"\xFF\xD9")
    put("jpeg_100_scans.jpg", many_scans(picture(32, 24), 100), "ok", 1,
        "exactly the scan limit, every scan legal")
    put("jpeg_101_scans.jpg", many_scans(picture(32, 24), 101), "toolarge", 0,
        "one scan past the limit, every scan legal")
    # A file of several scans keeps every coefficient: 2 bytes a pixel of a
    # grey picture, 12 MiB at the most.
    grey = Image.new("L", (4096, 1536), 128)
    put("jpeg_progressive_at_whole_limit.jpg", encoded(grey, "JPEG", quality=30, progressive=True),
        "ok", 1, "progressive, its coefficients exactly 12 MiB", seconds=2)
    put("jpeg_progressive_past_whole_limit.jpg",
        encoded(grey.resize((4096, 1544)), "JPEG", quality=30, progressive=True), "toolarge", 0,
        "progressive, its coefficients one block row past 12 MiB")
    put("jpeg_2000_scans.jpg", prog[:eoi] + prog[sos:eoi] * 2000 + b"\xFF\xD9", "corrupt", 0,
        "a progressive file whose last scan comes 2000 times")

    # ---- WebP
    lossy = encoded(picture(32, 24), "WEBP", quality=80)
    lossless = encoded(picture(32, 24), "WEBP", lossless=True)
    riff = lambda body: b"RIFF" + struct.pack("<I", len(body) + 4) + b"WEBP" + body
    put("webp_riff_size_lies.webp", lossy[:4] + struct.pack("<I", 0x7FFFFFF0) + lossy[8:],
        "corrupt", 0, "a RIFF size far beyond the file")
    vp8 = bytearray(lossy)
    frame = lossy.index(b"VP8 ") + 8 + 6
    vp8[frame:frame + 4] = struct.pack("<HH", 16000, 16000)
    put("webp_vp8_size_lies.webp", bytes(vp8), "toolarge", 0,
        "a VP8 frame header claiming 16000 x 16000")
    vp8x = (b"VP8X" + struct.pack("<I", 10) + b"\x00\x00\x00\x00" +
            struct.pack("<I", 999)[:3] + struct.pack("<I", 999)[:3])
    put("webp_vp8x_canvas_lies.webp", riff(vp8x + lossy[12:]), "corrupt", 0,
        "a VP8X canvas of 1000 x 1000 around a 32 x 24 frame")
    put("webp_lossless_truncated_header.webp", lossless[:24], "corrupt", 0,
        "a lossless header cut short")
    # A lossless file is held whole, with its picture at 4 bytes a pixel:
    # 12 MiB at the most (here a few hundred bytes of file, and 8 KiB spare).
    flat = Image.new("RGB", (2048, 1535), (40, 80, 120))
    put("webp_lossless_at_whole_limit.webp", encoded(flat, "WEBP", lossless=True), "ok", 1,
        "lossless, its file and picture just under 12 MiB", seconds=2)
    put("webp_lossless_past_whole_limit.webp",
        encoded(flat.resize((2048, 1536)), "WEBP", lossless=True), "toolarge", 0,
        "lossless, its picture alone 12 MiB: with its file past the limit")

    # ---- Truncations of small valid files at many points.
    valid = [("png", good), ("gif", small_gif()), ("bmp", small_bmp()), ("jpg", base),
             ("webp", lossy), ("webp", lossless)]
    for n, (ext, data) in enumerate(valid):
        points = sorted(set([1, 2, 5, 9, 13, 20, 30, 40] +
                            [len(data) * k // 8 for k in range(1, 8)] + [len(data) - 1]))
        for cut in points:
            if cut >= len(data):
                continue
            sniffable = {"png": 8, "gif": 6, "bmp": 2, "jpg": 3, "webp": 12}[ext]
            decode = "unknown" if cut < sniffable else "corrupt"
            # A PNG whose image data is whole shows whole: the chunks after
            # it are not read.
            if ext == "png" and cut >= data.index(b"IEND") - 4:
                decode = "ok"
            put("truncated_%d_%s_%d.%s" % (n, ext, cut, ext), data[:cut], decode,
                1 if decode == "ok" else 0, "the first %d of %d bytes" % (cut, len(data)))

    # ---- Large valid files of noise, the loaders' memory bounds' test
    # (tests/imageio_load_test.cpp), not replayed: the PNG is 25.8 MB.
    large = os.path.join(OUT, "large")
    os.makedirs(large, exist_ok=True)
    rng = random.Random(2024)
    noise = lambda mode, w, h: Image.frombytes(mode, (w, h), rng.randbytes(w * h * len(mode)))
    noise("RGB", 3000, 2870).save(os.path.join(large, "noise.png"), compress_level=1)
    noise("RGB", 2000, 1500).save(os.path.join(large, "noise.jpg"), quality=95)
    noise("RGB", 2000, 1500).save(os.path.join(large, "noise.webp"), quality=90)
    # WebP files libwebp needs whole, near the whole-picture limit.
    noise("RGB", 1300, 1200).save(os.path.join(large, "noise_lossless.webp"), lossless=True)
    noise("RGBA", 1500, 1500).save(os.path.join(large, "noise_alpha.webp"), quality=90)
    noise("RGB", 2000, 1500).save(os.path.join(large, "noise.bmp"))
    indexed = noise("L", 2000, 1500).convert("P")
    indexed.putpalette(list(rng.randbytes(768)))
    indexed.save(os.path.join(large, "noise.gif"), interlace=False)

    with open(os.path.join(OUT, "expected.tsv"), "w") as f:
        f.write("# file\tdecode\tgif\tseconds\twhy\n")
        for row in ROWS:
            f.write("\t".join(row) + "\n")


def adam7_widths(width, height, bits):
    """Row byte counts of each reduced image of an interlaced picture, in order."""
    passes = [(0, 0, 8, 8), (4, 0, 8, 8), (0, 4, 4, 8), (2, 0, 4, 4), (0, 2, 2, 4),
              (1, 0, 2, 2), (0, 1, 1, 2)]
    for x0, y0, dx, dy in passes:
        w = (width - x0 + dx - 1) // dx
        h = (height - y0 + dy - 1) // dy
        if w == 0 or h == 0:
            continue
        for _ in range(h):
            yield (w * bits + 7) // 8


if __name__ == "__main__":
    main()
