#!/usr/bin/env bash
# Times `korvane-cli check` over 10,000 mixed images (about 1.3 GB) against `cat` of the
# same files to /dev/null, warm cache, median of 5 runs; reports the check's peak memory.
#   bench/check-bench.sh [BUILD_DIR]   (a Release build; default build-release)
set -euo pipefail
top="$(cd "$(dirname "$0")/.." && pwd)"
build="${1:-$top/build-release}"
cli="$build/bin/korvane-cli"
gen="$build/bench/make_atr_set"
[ -x "$cli" ] && [ -x "$gen" ] || { echo "build $build first (Release)" >&2; exit 2; }

data="$(mktemp -d)"
trap 'rm -rf "$data"' EXIT
"$gen" "$data" 10000
du -sh "$data" | sed 's/^/data: /'

median() { sort -n | awk '{a[NR]=$1} END {print a[int((NR+1)/2)]}'; }
seconds() { local s e; s=$(date +%s.%N); "$@" >/dev/null 2>&1 || true; e=$(date +%s.%N); echo "$e - $s" | bc -l; }

cat "$data"/* >/dev/null  # warm the cache
"$cli" check "$data" >/dev/null || true
cat_times=(); check_times=()
for _ in 1 2 3 4 5; do
    cat_times+=("$(seconds sh -c "cat '$data'/* >/dev/null")")
    check_times+=("$(seconds "$cli" check "$data")")
done
cat_median=$(printf '%s\n' "${cat_times[@]}" | median)
check_median=$(printf '%s\n' "${check_times[@]}" | median)
printf 'cat   median: %.3f s\n' "$cat_median"
printf 'check median: %.3f s\n' "$check_median"
printf 'ratio check/cat: %.2f (target <= 1.5)\n' "$(echo "$check_median / $cat_median" | bc -l)"
peak_kb=$( { /usr/bin/time -f "%M" "$cli" check "$data" >/dev/null; } 2>&1 | tail -n 1 || true)
echo "check peak memory: ${peak_kb} kB (target <= 32 MB)"
