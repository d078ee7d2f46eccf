#!/usr/bin/env bash
# Times `korvane-cli check` over 10,000 mixed images (about 1.3 GB) against `cat` of the
# same files to /dev/null, warm cache, median of 5 runs; reports the check's peak memory.
#   bench/check-bench.sh [BUILD_DIR]   (a Release build; default build-release)
set -euo pipefail
source "$(dirname "$0")/bench-lib.sh"
gen="$build/bench/make_atr_set"
require_build "$cli" "$gen"

scratch_dir
"$gen" "$data" 10000
du -sh "$data" | sed 's/^/data: /'


cat "$data"/* >/dev/null  # warm the cache
"$cli" check "$data" >/dev/null || true
cat_times=(); check_times=()
for _ in 1 2 3 4 5; do
    cat_times+=("$(seconds sh -c "cat '$data'/* >/dev/null")")
    check_times+=("$(seconds "$cli" check "$data")")
done
cat_median=$(printf '%s\n' "${cat_times[@]}" | median)
check_median=$(printf '%s\n' "${check_times[@]}" | median)
report_ratio check cat "$check_median" "$cat_median"
peak_kb=$( { /usr/bin/time -f "%M" "$cli" check "$data" >/dev/null; } 2>&1 | tail -n 1 || true)
echo "check peak memory: ${peak_kb} kB (target <= 32 MB)"
