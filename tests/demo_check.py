#!/usr/bin/python3
"""Runs the demo headless for the whole scene and checks what it wrote.

The expected colours are worked out here from the scene's own description
(a colour word, an opacity, a fade's levels), never read from a run of the
demo: RGB565 keeps the top 5, 6 and 5 bits of a colour, and the demo's PNG
writer repeats each channel's top bits below it.

usage: demo_check.py DEMO ASSETS WORKDIR
"""
import os
import shutil
import subprocess
import sys

from PIL import Image


def to565(rgb):
    r, g, b = rgb
    return r >> 3, g >> 2, b >> 3


def png_colour(rgb):
    """A 24-bit colour as the demo's screenshots show it."""
    r5, g6, b5 = to565(rgb)
    return (r5 << 3 | r5 >> 2, g6 << 2 | g6 >> 4, b5 << 3 | b5 >> 2)


def faded(channel_max, levels):
    """A full-scale channel after FadeOut's compounding levels."""
    v = channel_max
    for level in levels:
        v = v * level // 32
    return v


failures = []


def check(what, seen, expected):
    if seen != expected:
        failures.append(f"{what}: saw {seen}, expected {expected}")


def main():
    demo, assets, work = sys.argv[1:4]
    out = os.path.join(work, "out")
    shutil.rmtree(work, ignore_errors=True)
    os.makedirs(work)
    run = subprocess.run([demo, "--display", "virtual", "--size", "320x240", "--assets", assets,
                          "--out", out], capture_output=True, text=True, timeout=120)
    print(run.stdout, end="")
    if run.returncode != 0:
        print(run.stderr)
        sys.exit(f"the demo failed with {run.returncode}")

    # Every file the summary names exists and is a picture.
    named = [line.split(" wrote ", 1)[1] for line in run.stdout.splitlines()
             if line.startswith("zorva_demo: wrote ")]
    for path in named:
        if not os.path.isfile(path):
            failures.append(f"named but missing: {path}")
    shots = {os.path.basename(p).split("-", 1)[1][:-4]: p for p in named
             if p.endswith(".png") and "-" in os.path.basename(p)[:3]}
    for act in ["photo", "sprites", "composition", "text", "vectors", "animation",
                "transforms", "contact", "faded-out", "fade", "capture"]:
        if act not in shots:
            failures.append(f"no screenshot of {act}")
    if not any(p.endswith("contact-sheet.png") for p in named):
        failures.append("no contact sheet")
    if failures:
        sys.exit("\n".join(failures))

    def pixel(act, x, y):
        return Image.open(shots[act]).convert("RGB").getpixel((x, y))

    white = png_colour((255, 255, 255))
    # Vectors: the opaque bar filled with 0xE03030 over (20, 20)-(124, 48).
    check("red bar", pixel("vectors", 60, 30), png_colour((0xE0, 0x30, 0x30)))
    # Composition: its white frame, drawn at (19, 19) once it has risen.
    check("composition frame", pixel("composition", 19, 19), white)
    check("composition frame top", pixel("composition", 100, 19), white)
    # Text: the white card's border.
    check("text card", pixel("text", 13, 13), white)
    # Sprites: the ship keyed at (144, 120): its body shows, the key does not.
    check("ship body", pixel("sprites", 144 + 16, 120 + 10), png_colour((0, 200, 255)))
    if pixel("sprites", 144, 120) == png_colour((255, 0, 255)):
        failures.append("the ship's key colour was drawn")
    # Fade: a white patch at (0, 0)-(16, 16), faded out at step 4 (levels 31,
    # 27, ... while above 9, each scaling the frame before).
    levels = list(range(31, 9, -4))
    r5 = faded(31, levels)
    g6 = faded(63, levels)
    check("faded white", pixel("faded-out", 5, 5),
          (r5 << 3 | r5 >> 2, g6 << 2 | g6 >> 4, r5 << 3 | r5 >> 2))
    # Contact: the 96 x 128 portrait fitted into 120 x 120 is 90 x 120, drawn
    # at (24, 22); the middle of its face is flat (240, 200, 160).
    check("contact face", pixel("contact", 24 + 45, 22 + 48), png_colour((240, 200, 160)))
    check("contact card", pixel("contact", 24 + 95, 22 + 60), png_colour((240, 240, 240)))

    # Capture: the BMP that CaptureScreen and SaveFile wrote holds the screen
    # the fade act ended on, which the screenshot read back from the display.
    bmp = [p for p in named if p.endswith(".bmp")]
    if len(bmp) != 1:
        failures.append(f"expected one BMP, got {bmp}")
    else:
        saved = Image.open(bmp[0]).convert("RGB")
        shown = Image.open(shots["fade"]).convert("RGB")
        check("capture size", saved.size, shown.size)
        if saved.size == shown.size:
            differ = sum(1 for s, p in zip(saved.getdata(), shown.getdata())
                         if (s[0] >> 3, s[1] >> 2, s[2] >> 3) != (p[0] >> 3, p[1] >> 2, p[2] >> 3))
            check("captured pixels that differ from the screen", differ, 0)

    if failures:
        sys.exit("\n".join(failures))
    print("demo_check: the demo's pictures show what the scene draws")


if __name__ == "__main__":
    main()
