#!/usr/bin/env bash
# The test command's fuzzing: every target of a fuzz build replays its seeds
# and the malformed-image corpus, then fuzzes for a short while; any crash,
# leak, timeout or excess memory fails. Prints one line per target: runs per
# second, coverage (cov: edges, ft: features), corpus size.
#
#   fuzz/smoke.sh FUZZ_BUILD_DIR MALFORMED_DIR [SECONDS] [JOBS]
#
# MALFORMED_DIR is the generated corpus (build/.../tests/malformed); each
# file goes to every file-reading target behind zeroed parameter bytes.
set -euo pipefail
build=$(realpath "${1:?usage: smoke.sh FUZZ_BUILD_DIR MALFORMED_DIR [SECONDS] [JOBS]}")
malformed=$(realpath "${2:?usage: smoke.sh FUZZ_BUILD_DIR MALFORMED_DIR [SECONDS] [JOBS]}")
seconds=${3:-20}
jobs=${4:-2}
here=$(cd "$(dirname "$0")" && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# shellcheck source=targets.sh
source "$here/targets.sh"

run_one() {
    local target=$1 seconds=$2 build=$3 malformed=$4 work=$5 here=$6
    local n corpus=$work/$target
    n=$(params "$target")
    mkdir -p "$corpus" "$work/replay-$target"
    if [ "$n" -gt 0 ]; then
        for f in "$malformed"/*; do
            [ -f "$f" ] && [ "$(stat -c %s "$f")" -le 16384 ] || continue
            { head -c "$n" /dev/zero; cat "$f"; } >"$work/replay-$target/$(basename "$f")"
        done
    fi
    local flags=(-max_len=16388 -rss_limit_mb=2048 -malloc_limit_mb=512 -timeout=10
        -print_final_stats=1 -close_fd_mask=1)
    # The seeds and the corpus first, each input once, then fuzzing.
    if ! "$build/fuzz/$target" "${flags[@]}" -runs=0 "$here/seeds/$target" \
        "$work/replay-$target" >"$work/$target.replay.log" 2>&1; then
        echo "smoke: $target failed replaying its seeds and the corpus"
        tail -40 "$work/$target.replay.log"
        return 1
    fi
    if ! (cd "$work" && "$build/fuzz/$target" "${flags[@]}" -max_total_time="$seconds" \
        "$corpus" "$here/seeds/$target") >"$work/$target.log" 2>&1; then
        echo "smoke: $target found a fault"
        grep -E 'ERROR|SUMMARY|zorva fuzz|Test unit written' "$work/$target.log" | head -20
        tail -40 "$work/$target.log"
        return 1
    fi
    local done rate units
    done=$(grep -E '^#[0-9]+\s+DONE' "$work/$target.log" | tail -1)
    rate=$(sed -n 's/^stat::average_exec_per_sec:\s*//p' "$work/$target.log")
    units=$(sed -n 's/^stat::number_of_executed_units:\s*//p' "$work/$target.log")
    printf 'smoke: %-13s %6s runs/s %8s runs  %s\n' "$target" "$rate" "$units" \
        "$(echo "$done" | grep -oE 'cov: [0-9]+ ft: [0-9]+ corp: [0-9]+/[0-9a-zA-Z]+')"
}
export -f run_one params

targets=$(cd "$build/fuzz" && ls fuzz_* | grep -v '\.' || true)
[ -n "$targets" ] || { echo "smoke: no fuzz targets in $build/fuzz"; exit 1; }
# Two at a time (the machine's cores); the first failure fails the smoke.
echo "$targets" | xargs -P "$jobs" -I{} bash -c \
    'run_one "$@"' _ {} "$seconds" "$build" "$malformed" "$work" "$here"
