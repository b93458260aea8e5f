#!/usr/bin/env bash
# Runs every fuzz target for a given time (two at a time), each growing its
# corpus in FUZZ_BUILD_DIR/corpus/TARGET, and turns what they find into
# regression files:
#   - the whole input into fuzz/seeds/TARGET/regression-KIND-HASH, which the
#     smoke run (fuzz/smoke.sh, part of the test command) replays;
#   - for the targets that read a file, the file itself (the input without
#     its parameter bytes) into tests/malformed/found/, with a row in
#     tests/malformed/found/expected.tsv whose expected result reads
#     "triage": the malformed-corpus test fails on it until someone fixes the
#     fault and writes down the documented result.
#
#   fuzz/run-long.sh FUZZ_BUILD_DIR [SECONDS_PER_TARGET] [JOBS] [TARGET...]
#
# Build the targets first:
#   CC=clang CXX=clang++ cmake -S . -B build/fuzz -G Ninja -DZORVA_BUILD_FUZZ=ON \
#       -DZORVA_BUILD_TESTS=OFF -DZORVA_BUILD_BENCH=OFF -DZORVA_BUILD_EXAMPLES=OFF
#   cmake --build build/fuzz
set -euo pipefail
build=$(realpath "${1:?usage: run-long.sh FUZZ_BUILD_DIR [SECONDS] [JOBS] [TARGET...]}")
seconds=${2:-600}
jobs=${3:-2}
shift $(($# < 3 ? $# : 3))
here=$(cd "$(dirname "$0")" && pwd)
found=$here/../tests/malformed/found
targets=${*:-$(cd "$build/fuzz" && ls fuzz_* | grep -v '\.')}

# shellcheck source=targets.sh
source "$here/targets.sh"

run_one() {
    local target=$1 seconds=$2 build=$3 here=$4
    local corpus=$build/corpus/$target findings=$build/findings/$target
    mkdir -p "$corpus" "$findings"
    # Findings do not stop the run: -fork keeps fuzzing after each one.
    (cd "$findings" && "$build/fuzz/$target" -max_len=16388 -rss_limit_mb=2048 \
        -malloc_limit_mb=512 -timeout=10 -max_total_time="$seconds" -fork=1 \
        -ignore_crashes=1 -ignore_timeouts=1 -ignore_ooms=1 -print_final_stats=1 \
        "$corpus" "$here/seeds/$target") >"$build/findings/$target.log" 2>&1 || true
    local line
    line=$(grep -E 'DONE|cov: [0-9]+ ft: [0-9]+' "$build/findings/$target.log" | tail -1)
    printf 'run-long: %-13s %s\n' "$target" "$line"
}
export -f run_one

echo "$targets" | tr ' ' '\n' | xargs -P "$jobs" -I{} bash -c 'run_one "$@"' _ {} "$seconds" \
    "$build" "$here"

# File the findings.
new=0
for target in $targets; do
    n=$(params "$target")
    for finding in "$build/findings/$target"/{crash,leak,timeout,oom,slow-unit}-*; do
        [ -f "$finding" ] || continue
        name=$(basename "$finding")
        kind=${name%%-*}
        hash=$(sha1sum "$finding" | cut -c1-8)
        seed=$here/seeds/$target/regression-$kind-$hash
        [ -f "$seed" ] && continue
        cp "$finding" "$seed"
        new=$((new + 1))
        echo "run-long: $target: $kind, kept as fuzz/seeds/$target/$(basename "$seed")"
        [ "$n" -gt 0 ] || continue
        payload=$(mktemp)
        tail -c +$((n + 1)) "$finding" >"$payload"
        case $(head -c 12 "$payload" | od -An -tx1 | tr -d ' \n') in
        89504e47*) ext=png ;; ffd8ff*) ext=jpg ;; 474946*) ext=gif ;; 424d*) ext=bmp ;;
        52494646????????57454250) ext=webp ;; *) ext=bin ;;
        esac
        file=$target-$kind-$hash.$ext
        mv "$payload" "$found/$file"
        printf '%s\ttriage\t0\t1\tfound by %s (%s): fix, then document its result\n' \
            "$file" "$target" "$kind" >>"$found/expected.tsv"
        echo "run-long: $target: its file is tests/malformed/found/$file"
    done
done
echo "run-long: $new new finding(s)"
