#!/usr/bin/python3
"""Runs the benchmark table's command (what `./run bench --table` runs) on a
few cheap rows and checks the page it writes.

The rows asked for must be there, each naming the fastest peer and giving
the ratios that this script works out itself from the benchmark's JSON; the
header names the processor, the SIMD level the library ran at (the one
ZORVA_SIMD asks for, when set) and the command.

usage: bench_table_check.py ZORVA_BENCH TABLE_SCRIPT WORKDIR
"""
import json
import os
import subprocess
import sys

bench, script, work = sys.argv[1:4]
os.makedirs(work, exist_ok=True)
page_path, json_path = os.path.join(work, "BENCHMARKS.md"), os.path.join(work, "run.json")
readme_path = os.path.join(work, "README.md")
with open(readme_path, "w") as f:
    f.write("before\n<!-- benchmark headlines -->\nstale\n<!-- end of benchmark headlines -->\nafter\n")
subprocess.run([sys.executable, script, "--run", bench, "--out", page_path, "--json", json_path,
                "--command", "bench table check", "--readme", readme_path,
                "--benchmark_filter=^BM_T_(Memcpy|Memset|(Copy|FillOpaque)_[A-Za-z]+)/64/64$",
                "--benchmark_min_time=0.001", "--benchmark_repetitions=1"],
               check=True, stdout=subprocess.DEVNULL)
with open(json_path) as f:
    rate = {b["name"]: b["bytes_per_second"] / 2e6 for b in json.load(f)["benchmarks"]}
with open(page_path) as f:
    page = f.read()

failures = []
with open(readme_path) as f:
    readme = f.read()
failures += [] if (readme.startswith("before\n<!-- benchmark headlines -->\n| operation |")
                   and readme.endswith("<!-- end of benchmark headlines -->\nafter\n")
                   and "stale" not in readme) else ["the README's headline rows replaced in place"]


def check(ok, what):
    if not ok:
        failures.append(what)


def number(cell):
    return float(cell.split()[-1].replace(",", ""))


def near(shown, value):
    """A figure as the table prints it: 2 decimals, or 3 significant digits."""
    return abs(shown - value) <= max(0.006, 0.006 * value)


check("Made by `bench table check`" in page, "the command is named")
check("- Processor: " in page, "the processor is named")
level = os.environ.get("ZORVA_SIMD")
levels = [level] if level else ["scalar", "sse2", "avx2", "neon"]
check(any(f"SIMD level the library ran at: {l} " in page for l in levels),
      f"the SIMD level is one of {levels}")

rows = {}
for line in page.splitlines():
    if line.startswith("| "):
        cells = [c.strip() for c in line.strip().strip("|").split("|")]
        rows[(cells[0], cells[1])] = cells
for label, op, limit in [("BitBlt SRCCOPY", "Copy", "Memcpy"), ("FillRect", "FillOpaque", "Memset")]:
    cells = rows.get((label, "64x64"))
    if not cells:
        failures.append(f"no row for {label} 64x64")
        continue
    ours = rate[f"BM_T_{op}_Ours/64/64"]
    peers = {n.split("/")[0].rsplit("_", 1)[1]: v for n, v in rate.items()
             if n.startswith(f"BM_T_{op}_") and "_Ours/" not in n}
    best = max(peers, key=peers.get)
    name = {"SDL": "SDL2", "Pixman": "pixman"}[best]
    check(near(number(cells[2]), ours), f"{label}: ours {cells[2]} is {ours:.1f} Mpx/s")
    check(cells[4].startswith(name + " "), f"{label}: the fastest peer {cells[4]} is {name}")
    check(near(number(cells[4]), peers[best]), f"{label}: the peer's rate {cells[4]}")
    check("SDL2" in cells[4] + cells[7] and "pixman" in cells[4] + cells[7],
          f"{label}: SDL2 and pixman both measured ({cells[4]}; {cells[7]})")
    check(near(float(cells[5].strip("*")), ours / peers[best]), f"{label}: ours / peer {cells[5]}")
    check(cells[5].startswith("**") == (ours < peers[best]),
          f"{label}: ours / peer {cells[5]} in bold when the peer is faster")
    expected = ours / rate[f"BM_T_{limit}/64/64"]
    check(cells[6].endswith(f"({limit.lower()})"), f"{label}: the limit {cells[6]} is {limit}")
    check(near(float(cells[6].split()[0]), expected),
          f"{label}: ours / {limit.lower()} {cells[6]} is {expected:.2f}")

for f in failures:
    print("FAIL:", f)
print(f"bench_table_check: {len(failures)} failure(s)")
sys.exit(1 if failures else 0)
