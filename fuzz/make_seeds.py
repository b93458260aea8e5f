#!/usr/bin/python3
"""Writes the seed corpus of every fuzz target into fuzz/seeds/TARGET/.

Each seed is the target's parameter bytes followed by a small file of the
kind it reads (made here with Pillow, or by hand where Pillow cannot), so
that the fuzzers start from every flavour the codecs know. The seeds are
committed; run this again only to change them.
Usage: fuzz/make_seeds.py [OUTDIR]
"""
import io
import os
import random
import struct
import sys
import zlib

from PIL import Image

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, os.path.join(HERE, "..", "tests", "malformed"))
import make_malformed as malformed  # noqa: E402  (its GIF writer)
OUT = sys.argv[1] if len(sys.argv) > 1 else os.path.join(HERE, "seeds")


def picture(w, h, mode="RGB"):
    img = Image.new("RGB", (w, h))
    img.putdata([((x * 37) & 255, (y * 53) & 255, ((x ^ y) * 11) & 255)
                 for y in range(h) for x in range(w)])
    if mode == "RGBA":
        img.putalpha(Image.linear_gradient("L").resize((w, h)))
    elif mode != "RGB":
        img = img.convert(mode)
    return img


def saved(img, fmt, **options):
    out = io.BytesIO()
    img.save(out, fmt, **options)
    return out.getvalue()


def animation():
    """Three frames on a 12 x 10 screen: one kept, one cleared to the
    background, one restoring the picture before it; a transparent index."""
    f = malformed.gif_frame
    return malformed.gif(12, 10, [
        f(0, 0, 12, 10, [(x * y) % 4 for y in range(10) for x in range(12)], delay=5),
        f(2, 3, 6, 5, [1, 2, 3] * 10, disposal=2, transparent=3, delay=7),
        f(4, 1, 5, 6, [2] * 30, disposal=3, delay=9),
        f(0, 0, 3, 3, [0] * 9, transparent=1)])


def interlaced_png(w, h):
    """An 8-bit RGB Adam7 picture (Pillow writes no interlaced PNG)."""
    raw = bytearray()
    for x0, y0, dx, dy in ((0, 0, 8, 8), (4, 0, 8, 8), (0, 4, 4, 8), (2, 0, 4, 4), (0, 2, 2, 4),
                           (1, 0, 2, 2), (0, 1, 1, 2)):
        cols = range(x0, w, dx)
        if not cols:
            continue
        for y in range(y0, h, dy):
            raw += b"\x00" + bytes(v for x in cols for v in (x * 20, y * 30, (x + y) * 9))

    def chunk(kind, body):
        return (struct.pack(">I", len(body)) + kind + body +
                struct.pack(">I", zlib.crc32(kind + body) & 0xFFFFFFFF))
    return (b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", struct.pack(">IIBBBBB", w, h, 8, 2, 0, 0, 1)) +
            chunk(b"IDAT", zlib.compress(bytes(raw))) + chunk(b"IEND", b""))


def rle8_bmp():
    palette = b"".join(bytes((v, 255 - v, v // 2, 0)) for v in range(0, 256, 64))
    data = b"\x04\x01\x00\x02\x01\x01\x03\x02\x00\x00\x00\x03\x01\x02\x03\x00\x00\x01"
    info = struct.pack("<IiiHHIIiiII", 40, 8, 3, 1, 8, 1, len(data), 0, 0, 4, 0)
    head = b"BM" + struct.pack("<IHHI", 14 + 40 + 16 + len(data), 0, 0, 14 + 40 + 16)
    return head + info + palette + data


FILES = {
    "png": [saved(picture(9, 7), "PNG"), saved(picture(9, 7, "RGBA"), "PNG"),
            saved(picture(9, 7, "P"), "PNG"), saved(picture(9, 7, "L"), "PNG"),
            saved(picture(9, 7, "LA"), "PNG"), saved(picture(9, 7, "1"), "PNG"),
            saved(picture(9, 7, "L").convert("I"), "PNG"), interlaced_png(9, 7)],
    "jpeg": [saved(picture(16, 12), "JPEG", quality=80),
             saved(picture(16, 12), "JPEG", quality=80, progressive=True),
             saved(picture(16, 12, "L"), "JPEG", quality=80),
             saved(picture(16, 12, "CMYK"), "JPEG", quality=80),
             saved(picture(21, 17), "JPEG", quality=60, subsampling=0)],
    "gif": [saved(picture(9, 7).convert("P"), "GIF"), animation(),
            saved(picture(9, 7).convert("P"), "GIF", interlace=True)],
    "bmp": [saved(picture(5, 3), "BMP"), saved(picture(5, 3, "P"), "BMP"),
            saved(picture(5, 3, "1"), "BMP"), saved(picture(5, 3, "RGBA"), "BMP"), rle8_bmp()],
    "webp": [saved(picture(10, 8), "WEBP", quality=70),
             saved(picture(10, 8), "WEBP", lossless=True),
             saved(picture(10, 8, "RGBA"), "WEBP", quality=70),
             saved(picture(10, 8, "RGBA"), "WEBP", lossless=True)],
}


def write(target, name, data):
    folder = os.path.join(OUT, target)
    os.makedirs(folder, exist_ok=True)
    with open(os.path.join(folder, name), "wb") as f:
        f.write(data)


def main():
    rng = random.Random(12)
    every = [(fmt, i, data) for fmt, files in FILES.items() for i, data in enumerate(files)]
    for fmt, files in FILES.items():
        for i, data in enumerate(files):
            for p, params in enumerate((b"\x00\x10\x10\x00", b"\x07\x40\x30\x00",
                                        b"\x02\x08\x08\x00")):
                write("fuzz_" + fmt, "%s_%d_%d" % (fmt, i, p), params + data)
    for fmt, i, data in every:
        mode = rng.choice([0, 1, 2, 3, 4, 200])
        box = struct.pack("<HH", rng.choice([60, 240, 320, 1]), rng.choice([60, 320, 240, 2]))
        flags = rng.choice([0, 1, 4, 5])
        crop = struct.pack("<HHhh", rng.choice([20, 100, 3]), rng.choice([10, 80, 7]),
                           -rng.randrange(5), rng.choice([-2, 3]))
        params = bytes([mode]) + box + bytes([flags]) + crop + bytes([rng.choice([0, 1, 2, 4]), 0])
        write("fuzz_loaders", "%s_%d" % (fmt, i), params + data)
        write("fuzz_contact", "%s_%d" % (fmt, i), bytes([rng.randrange(4), 0]) + data)
    for i, data in enumerate(FILES["gif"] + FILES["png"][:1]):
        for frame in (0, 1, 7):
            write("fuzz_loadgif", "frames_%d_%d" % (i, frame), struct.pack("<I", frame) + b"\x00" +
                  data)
    # Call sequences: every opcode with small arguments, a few times over.
    for n in range(12):
        calls = bytearray([n, 8 + 7 * n, 6 + 5 * n])
        calls += bytes(rng.randrange(40) for _ in range(9))
        for _ in range(40):
            calls.append(rng.randrange(256))
            calls += bytes(rng.choice([0, 1, 2, 5, 40, 128, 255]) for _ in range(rng.randrange(4, 24)))
        write("fuzz_canvas", "calls_%d" % n, bytes(calls))


if __name__ == "__main__":
    main()
