#!/usr/bin/env python3
"""Prints the kernel layer's target table from zorva_bench JSON outputs.

    ZORVA_SIMD=avx2 zorva_bench --benchmark_filter=BM_T_ --benchmark_repetitions=5 \
        --benchmark_format=json > avx2.json
    bench/target_table.py scalar.json sse2.json avx2.json

Each file is one level's run (the level is the file's name). Medians of the
repetitions are used when there are several. A ratio is ours / memcpy (or
/ memset for fills) and ours / peer, in bytes written per second.
"""
import json
import os
import sys

# (row, ours, peer, limit): names without the BM_T_ prefix.
ROWS = [
    ("Flip", "Flip_Ours", None, "Memcpy"),
    ("SRCCOPY blit", "Copy_Ours", "Copy_SDL", "Memcpy"),
    ("copy Merge", "MergeCopy_Ours", None, "Memcpy"),
    ("colour key, opacity 32", "Key32_Ours", "Key32_SDL", "Memcpy"),
    ("keyed blend, opacity 20", "KeyBlend_Ours", "KeyBlend_SDL", "Memcpy"),
    ("BLT_ALPHA, opacity 20", "Alpha_Ours", "Alpha_SDL", "Memcpy"),
    ("alpha plane 32, sprite", "Plane32Sprite_Ours", "Plane32Sprite_Pixman", "Memcpy"),
    ("alpha plane 32, random", "Plane32Random_Ours", "Plane32Sprite_Pixman", "Memcpy"),
    ("alpha plane, opacity 20", "Plane20_Ours", None, "Memcpy"),
    ("blended FillRect", "FillRect_Ours", None, "Memcpy"),
    ("blended FillRectBmp", "FillRectBmp_Ours", None, "Memcpy"),
    ("fade frame", "FadeFrame_Ours", None, "Memcpy"),
    ("BitRot code 1 copy", "BitRot_Ours", None, "Memcpy"),
    ("Rotate code 1", "Rotate_Ours", None, "Memcpy"),
    ("2x copy blit", "Twice_Ours", None, "Memcpy"),
    ("2x alpha plane 32", "Twice32Plane_Ours", None, "Memcpy"),
    ("Stretch nearest", "StretchNearest_Ours", None, "Memcpy"),
    ("Stretch filtered", "StretchFiltered_Ours", None, "Memcpy"),
    ("FreeRotate 30", "FreeRotate_Ours", "FreeRotate_SDLgfx", "Memcpy"),
]
SIZES = ["640/480", "64/64"]


def load(path):
    with open(path) as f:
        data = json.load(f)
    by_name = {}
    for b in data["benchmarks"]:
        name = b["name"]
        if b.get("run_type") == "aggregate":
            if b.get("aggregate_name") != "median":
                continue
            name = name.rsplit("_median", 1)[0]
        elif any(x.get("aggregate_name") == "median" for x in data["benchmarks"]):
            continue
        by_name[name] = b
    return data.get("context", {}), by_name


def main(paths):
    for path in paths:
        context, runs = load(path)
        level = os.path.splitext(os.path.basename(path))[0]
        load_avg = context.get("load_avg", [])
        print(f"\n### Level {level} (load average at start: {load_avg})\n")
        print("| operation | size | ours GB/s | peer GB/s | memcpy GB/s | ours/memcpy | ours/peer | ours us/call |")
        print("|---|---|---|---|---|---|---|---|")
        for row, ours, peer, limit in ROWS:
            for size in SIZES:
                o = runs.get(f"BM_T_{ours}/{size}")
                if not o:
                    continue
                lim = runs.get(f"BM_T_{limit}/{size}")
                p = runs.get(f"BM_T_{peer}/{size}") if peer else None
                gb = lambda r: r["bytes_per_second"] / 1e9
                cells = [row, size.replace("/", "x"), f"{gb(o):.2f}",
                         f"{gb(p):.2f}" if p else "-", f"{gb(lim):.2f}" if lim else "-",
                         f"{gb(o) / gb(lim):.2f}" if lim else "-",
                         f"{gb(o) / gb(p):.1f}" if p else "-",
                         f"{o['real_time'] / 1000:.3f}" if o['time_unit'] == 'ns' else f"{o['real_time']} {o['time_unit']}"]
                print("| " + " | ".join(cells) + " |")


if __name__ == "__main__":
    main(sys.argv[1:])
