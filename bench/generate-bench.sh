#!/usr/bin/env bash
# Times `korvane-cli generate` of the largest image (65535 sectors of 256 bytes,
# 16,776,592 bytes) against `head -c 16776592 /dev/zero > file`, median of 5 runs.
#   bench/generate-bench.sh [BUILD_DIR]   (a Release build; default build-release)
set -euo pipefail
source "$(dirname "$0")/bench-lib.sh"
require_build "$cli"

scratch_dir

"$cli" generate --sector-size 256 --sectors 65535 --name BIG "$data" >/dev/null
[ "$(stat -c %s "$data/BIG.ATR")" -eq 16776592 ] || { echo "wrong length" >&2; exit 1; }
head_times=(); generate_times=()
for _ in 1 2 3 4 5; do
    rm -f "$data"/*; sync
    head_times+=("$(seconds sh -c "head -c 16776592 /dev/zero > '$data/ZERO.ATR'")")
    rm -f "$data"/*; sync
    generate_times+=("$(seconds "$cli" generate --sector-size 256 --sectors 65535 --name BIG "$data")")
done
head_median=$(printf '%s\n' "${head_times[@]}" | median)
generate_median=$(printf '%s\n' "${generate_times[@]}" | median)
report_ratio generate head "$generate_median" "$head_median"
