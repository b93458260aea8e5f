#!/usr/bin/env python3
"""The benchmark table: ours against the peers and memcpy/memset.

Print the table of one or more zorva_bench JSON runs (one table per file,
headed by the SIMD level it ran at; run once per level with ZORVA_SIMD to
compare levels):

    zorva_bench --benchmark_filter=^BM_T_ --benchmark_repetitions=3 \\
        --benchmark_report_aggregates_only=true --benchmark_format=json > run.json
    bench/benchmark_table.py run.json [more.json ...]

Or run the benchmarks and write the whole page (what `./run bench --table`
does); arguments it does not know pass to Google Benchmark after its own:

    bench/benchmark_table.py --run build/release/bench/zorva_bench \\
        --out BENCHMARKS.md [--json run.json] [--command TEXT] [benchmark args]

Rows are named BM_T_<operation>_<who>/<width>/<height> (bench/TargetBench.h):
who is Ours or a peer; BM_T_Memcpy and BM_T_Memset of the same size are the
limits. Every row counts 2 bytes per pixel written (drawn, for lines and
polygons), so pixels per second are bytes per second / 2. Medians of the
repetitions are used when there are several.
"""
import argparse
import datetime
import json
import os
import subprocess
import sys
import tempfile

# (operation, label, limit): the table's rows in order.
ROWS = [
    ("Flip", "Flip", "Memcpy"),
    ("Copy", "BitBlt SRCCOPY", "Memcpy"),
    ("MergeCopy", "Merge SRCCOPY", "Memcpy"),
    ("Key32", "BitBlt BLT_TRANSPARENT (key)", "Memcpy"),
    ("KeyBlend", "BitBlt BLT_TRANSPARENT, opacity 20", "Memcpy"),
    ("Alpha", "BitBlt BLT_ALPHA, opacity 20", "Memcpy"),
    ("Plane32Sprite", "BitBlt alpha plane, sprite", "Memcpy"),
    ("Plane32Random", "BitBlt alpha plane, random weights", "Memcpy"),
    ("Plane20", "BitBlt alpha plane, opacity 20", "Memcpy"),
    ("FillOpaque", "FillRect", "Memset"),
    ("FillBlend", "FillRect, opacity 13", "Memset"),
    ("FillBlendBmp", "FillRectBmp, opacity 13", "Memset"),
    ("FadeFrame", "FadeOut frame", "Memcpy"),
    ("BitRot", "BitRot, quarter turn", "Memcpy"),
    ("Rotate", "Rotate, quarter turn in place", "Memcpy"),
    ("Twice", "BitBlt2x SRCCOPY", "Memcpy"),
    ("Twice32Plane", "BitBlt2x alpha plane", "Memcpy"),
    ("StretchNearest", "Stretch 2x, nearest", "Memcpy"),
    ("StretchFiltered", "Stretch 2x, filtered", "Memcpy"),
    ("FreeRotate", "FreeRotate 30 degrees", "Memcpy"),
    ("Line", "DrawLine, 1000 random lines", "Memset"),
    ("Polygon", "FillPolygon, 100-vertex star", "Memset"),
    ("LoadJpeg", "LoadBitmapW mode 4, 2048x1536 JPEG", "Memcpy"),
]
PEERS = {"SDL": "SDL2", "Pixman": "pixman", "SDLgfx": "SDL2_gfx", "SDLimage": "SDL2_image"}
LIMITS = ("Memcpy", "Memset")
# The rows the README shows, at the canvas's size.
HEADLINES = ("Copy", "Key32", "KeyBlend", "Alpha", "Plane32Sprite", "FillBlend", "FreeRotate",
             "Polygon", "LoadJpeg")
README_START, README_END = "<!-- benchmark headlines -->", "<!-- end of benchmark headlines -->"

# What each row measures, printed under the table.
NOTES = {
    "Flip": "the 640x480 back buffer copied to the (virtual) display.",
    "Copy": "the sprite to the middle of the 640x480 canvas. SDL2: `SDL_BlitSurface` "
            "between RGB565 surfaces; pixman: `pixman_image_composite32` SRC r5g6b5 to r5g6b5.",
    "MergeCopy": "the sprite into a 640x480 bitmap.",
    "Key32": "keyed blit (magenta key around a disc). SDL2: `SDL_BlitSurface` with "
             "`SDL_SetColorKey`.",
    "KeyBlend": "keyed blit blended at 20/32. SDL2: colour key and `SDL_SetSurfaceAlphaMod(160)`.",
    "Alpha": "every pixel blended at 20/32. SDL2: `SDL_SetSurfaceAlphaMod(160)`, blend mode; "
             "pixman: r5g6b5 OVER r5g6b5 through a 1x1 repeating a8 mask of 160.",
    "Plane32Sprite": "a disc with a soft edge, its own alpha plane (0 outside, 32 inside). "
                     "SDL2: the same picture as straight ARGB8888 blended onto RGB565; "
                     "pixman: premultiplied a8r8g8b8 OVER r5g6b5.",
    "Plane32Random": "as above with random weights 0..32 everywhere (no runs to skip).",
    "Plane20": "the alpha plane scaled by opacity 20/32. SDL2: ARGB8888 with alpha mod 160; "
               "pixman: a8r8g8b8 OVER through the 1x1 a8 mask of 160.",
    "FillOpaque": "the canvas's top-left w x h. SDL2: `SDL_FillRect`; pixman: `pixman_fill` (16 bpp).",
    "FillBlend": "blended at 13/32. pixman: a solid colour of alpha 13/32 OVER r5g6b5.",
    "FillBlendBmp": "the same blend into a 640x480 bitmap.",
    "FadeFrame": "one fade step (every channel to 31/32) without its Flip. pixman: black at "
                 "alpha 1/32 OVER r5g6b5.",
    "BitRot": "a sprite drawn turned a quarter onto the canvas (480x640 drawn as 640x480). "
              "pixman: SRC through a 90-degree transform, nearest.",
    "Rotate": "a bitmap turned a quarter in place.",
    "Twice": "a half-size sprite drawn at twice the size onto the canvas; size is the "
             "result's. SDL2: `SDL_BlitScaled` RGB565 to RGB565; pixman: SRC through a "
             "scale transform, nearest.",
    "Twice32Plane": "as above, with the alpha plane.",
    "StretchNearest": "a half-size bitmap scaled twice into a bitmap of its own; size is the "
                      "result's. SDL2: `SDL_BlitScaled` into an RGB565 surface; pixman: SRC "
                      "through a scale transform, nearest; SDL2_gfx: `zoomSurface` without "
                      "smoothing (converts to 32 bits and allocates its result).",
    "StretchFiltered": "as above, filtered. pixman: bilinear filter; SDL2_gfx: `zoomSurface` "
                       "with smoothing.",
    "FreeRotate": "the sprite turned 30 degrees into a new bitmap of the turned box; size is "
                  "the source's, pixels are the box's. pixman: SRC through a rotation "
                  "transform, nearest, into a buffer of the same box; SDL2_gfx: "
                  "`rotozoomSurface` without smoothing (32-bit result, allocated).",
    "Line": "1000 random lines across a w x h canvas, per pixel drawn (both ends). "
            "SDL2_gfx: `lineColor`, opaque, through SDL2's software renderer on an RGB565 "
            "surface over the same canvas.",
    "Polygon": "a 100-vertex star filling most of a w x h canvas, per pixel each library "
               "covers. SDL2_gfx: `filledPolygonColor` through the software renderer.",
    "LoadJpeg": "a 2048x1536 photo from its file fitted into a w x h box, per pixel of the "
                "result: libjpeg-turbo's scaled decode (1/2 for 640x480: 3/8 would cover it "
                "but costs as much and averages down worse; 1/4 for 320x240), the file read "
                "through a source manager, then the library's own integer area averaging "
                "(SSE2 where it fits), row by row, to the box. SDL2_image: `IMG_Load` of the "
                "whole picture, then `SDL_BlitScaled` "
                "(nearest) into an RGB565 surface of the box's size.",
}


def load(path):
    """The run's context and {name: row}, medians preferred."""
    with open(path) as f:
        data = json.load(f)
    single, median = {}, {}
    for b in data.get("benchmarks", []):
        if b.get("error_occurred"):
            continue
        if b.get("run_type") == "aggregate":
            if b.get("aggregate_name") == "median":
                median[b["run_name"]] = b
        else:
            single.setdefault(b.get("run_name", b["name"]), b)
    single.update(median)
    return data.get("context", {}), single


def split(name):
    """BM_T_<op>_<who>/<w>/<h> -> (op, who, "w/h"); limits have who == op."""
    if not name.startswith("BM_T_") or "/" not in name:
        return None
    base, size = name[len("BM_T_"):].split("/", 1)
    if base in LIMITS:
        return base, base, size
    if "_" not in base:
        return None
    op, who = base.rsplit("_", 1)
    return op, who, size


def mpx(row):
    return row["bytes_per_second"] / 2e6


def fmt(v):
    if v >= 100:
        return f"{v:,.0f}"
    if v >= 10:
        return f"{v:.1f}"
    return f"{v:.2f}"


def ratio_text(r):
    """Two decimals, or two significant digits below 0.01 (a decode against memcpy)."""
    return f"{r:.2f}" if r >= 0.01 else f"{r:.2g}"


def per_call(row):
    ns = row["cpu_time"] * {"ns": 1, "us": 1e3, "ms": 1e6, "s": 1e9}[row["time_unit"]]
    if ns >= 1e6:
        return f"{ns / 1e6:.1f} ms"
    if ns >= 1e3:
        return f"{ns / 1e3:.1f} µs"
    return f"{ns:.0f} ns"


def table(runs):
    """The Markdown table's lines and the operations it shows."""
    by_op = {}
    for name, row in runs.items():
        parts = split(name)
        if parts:
            op, who, size = parts
            by_op.setdefault(op, {}).setdefault(size, {})[who] = row
    known = {op for op, _, _ in ROWS}
    rows = ROWS + [(op, op, "Memcpy") for op in sorted(by_op) if op not in known and op not in LIMITS]
    lines = ["| operation | size | ours Mpx/s | ours per call | fastest peer, Mpx/s | ours / peer "
             "| ours / memcpy (memset) | other peers, Mpx/s |",
             "|---|---|--:|--:|---|--:|--:|---|"]
    shown = []
    for op, label, limit in rows:
        sizes = by_op.get(op, {})
        for size in sorted(sizes, key=lambda s: [-int(x) for x in s.split("/")]):
            ours = sizes[size].get("Ours")
            if not ours:
                continue
            peers = sorted(((mpx(r), PEERS.get(who, who)) for who, r in sizes[size].items()
                            if who != "Ours"), reverse=True)
            lim = by_op.get(limit, {}).get(size, {}).get(limit)
            cells = [label, size.replace("/", "x"), fmt(mpx(ours)), per_call(ours)]
            if peers:
                best, name = peers[0]
                ratio = f"{mpx(ours) / best:.2f}"
                cells += [f"{name} {fmt(best)}", f"**{ratio}**" if mpx(ours) < best else ratio]
            else:
                cells += ["-", "-"]
            cells.append(f"{ratio_text(mpx(ours) / mpx(lim))} ({limit.lower()})" if lim else "-")
            cells.append(", ".join(f"{n} {fmt(v)}" for v, n in peers[1:]) or "-")
            lines.append("| " + " | ".join(cells) + " |")
            if op not in shown:
                shown.append(op)
    return lines, shown


def level_of(context, path):
    return context.get("zorva_simd") or os.path.splitext(os.path.basename(path))[0]


def print_tables(paths):
    for path in paths:
        context, runs = load(path)
        if len(paths) > 1:
            start = ", ".join(f"{v:.2f}" for v in context.get("load_avg", [])) or "unknown"
            print(f"\n### Level {level_of(context, path)} (load average at start: {start})\n")
        print("\n".join(table(runs)[0]))


def processor():
    try:
        with open("/proc/cpuinfo") as f:
            for line in f:
                key, _, value = line.partition(":")
                if key.strip() in ("model name", "Model", "Hardware"):
                    return value.strip()
    except OSError:
        pass
    return "unknown"


def loadavg():
    try:
        with open("/proc/loadavg") as f:
            return ", ".join(f.read().split()[:3])
    except OSError:
        return "unknown"


def page(context, runs, command, reps):
    lines, shown = table(runs)
    caches = ", ".join(f"L{c['level']} {c['size'] // 1024} KiB"
                       for c in context.get("caches", []) if c.get("type") != "Instruction")
    peers = ", ".join(f"{n} {context[n]}" for n in PEERS.values() if n in context)
    start = ", ".join(f"{v:.2f}" for v in context.get("load_avg", [])) or "unknown"
    out = [
        "# Benchmarks",
        "",
        f"Made by `{command}` on {context.get('date', datetime.date.today().isoformat())}.",
        "",
        f"- Processor: {processor()}, {context.get('num_cpus', '?')} logical CPUs at "
        f"{context.get('mhz_per_cpu', '?')} MHz ({caches}).",
        f"- SIMD level the library ran at: {context.get('zorva_simd', 'unknown')}"
        " (`ZORVA_SIMD` picks another).",
        f"- Load average: {start} at the start, {loadavg()} at the end. The machine may be "
        "shared: figures move with its load.",
        f"- Peers, in the same binary on the same pixels: {peers or 'none found'}.",
        f"- Each figure is the median of {reps} repetitions run in random order, in CPU time."
        if reps > 1
        else "- Each figure is of one run, in CPU time.",
        f"- Zorva built as {context.get('zorva_build') or 'unknown'}; Google Benchmark's own "
        f"build: {context.get('library_build_type', 'unknown')} (it times the loops, not "
        "what they call).",
        "",
        "Pixels per second are of pixels written (drawn, for lines and polygons); the peer "
        "is the fastest of those measured for the row, the others follow; a ratio in bold "
        "is a row where a peer is faster. The memcpy (memset) ratio compares bytes per "
        "second with memcpy (memset) of rows of the same size into the 640x480 canvas: "
        "about 1.00 is the limit of plain copying, which operations that read the target, "
        "sample or decode cannot reach, and which the 2x blits pass because they read a "
        "quarter of what they write. Sizes are the sprite's or picture's unless noted.",
        "",
    ] + lines + ["", "## What each row measures", ""]
    out += [f"- **{next(label for o, label, _ in ROWS if o == op)}**: {NOTES[op]}"
            for op in shown if op in NOTES]
    return "\n".join(out) + "\n"


def headlines(lines, context):
    """The table's header and its headline rows at 640x480, for the README."""
    labels = {label for op, label, _ in ROWS if op in HEADLINES}
    rows = [l for l in lines[2:] if l.split(" | ")[0][2:] in labels and " | 640x480 | " in l]
    level = context.get("zorva_simd", "unknown")
    return lines[:2] + rows + ["", f"({level}, {context.get('date', '')[:10]}; the whole table "
                               "and what each row measures: [BENCHMARKS.md](BENCHMARKS.md))"]


def update_readme(path, lines, context):
    """Puts the headline rows between the README's markers; the rest stays."""
    with open(path) as f:
        text = f.read()
    start, end = text.find(README_START), text.find(README_END)
    if start < 0 or end < start:
        sys.exit(f"benchmark_table: {path} has no {README_START} ... {README_END} markers")
    body = "\n".join(headlines(lines, context))
    with open(path, "w") as f:
        f.write(text[:start + len(README_START)] + "\n" + body + "\n" + text[end:])
    print(f"benchmark_table: updated the headline rows in {path}")


def run(args, extra):
    reps = 3
    for a in extra:
        if a.startswith("--benchmark_repetitions="):
            reps = int(a.split("=", 1)[1])
    with tempfile.TemporaryDirectory() as tmp:
        json_path = args.json or os.path.join(tmp, "run.json")
        # Repetitions interleaved at random: on a shared machine a burst of
        # someone else's load then lands on different rows each time, and
        # the median sets it aside.
        command = [args.run, "--benchmark_filter=^BM_T_", "--benchmark_repetitions=3",
                   "--benchmark_enable_random_interleaving=true",
                   "--benchmark_report_aggregates_only=true",
                   f"--benchmark_out={json_path}", "--benchmark_out_format=json"] + extra
        subprocess.run(command, check=True)
        context, runs = load(json_path)
    text = page(context, runs, args.command or " ".join(command), reps)
    with open(args.out, "w") as f:
        f.write(text)
    print(text)
    print(f"benchmark_table: wrote {args.out}")
    if args.readme:
        update_readme(args.readme, table(runs)[0], context)


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0], allow_abbrev=False)
    parser.add_argument("files", nargs="*", help="zorva_bench JSON outputs")
    parser.add_argument("--run", help="the zorva_bench binary to run")
    parser.add_argument("--out", default="BENCHMARKS.md", help="the page --run writes")
    parser.add_argument("--json", help="keep --run's JSON output here")
    parser.add_argument("--command", help="the command named on the page")
    parser.add_argument("--readme", help="a README whose headline rows --run refreshes")
    args, extra = parser.parse_known_args()
    if args.run:
        run(args, extra + args.files)
    elif args.files and not extra:
        print_tables(args.files)
    else:
        parser.error("give JSON files, or --run with the benchmark binary")


if __name__ == "__main__":
    main()
