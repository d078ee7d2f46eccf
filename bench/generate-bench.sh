#!/usr/bin/env bash
# Times `korvane-cli generate` of the largest image (65535 sectors of 256 bytes,
# 16,776,592 bytes) against `head -c 16776592 /dev/zero > file`, median of 5 runs.
#   bench/generate-bench.sh [BUILD_DIR]   (a Release build; default build-release)
set -euo pipefail
top="$(cd "$(dirname "$0")/.." && pwd)"
build="${1:-$top/build-release}"
cli="$build/bin/korvane-cli"
[ -x "$cli" ] || { echo "build $build first (Release)" >&2; exit 2; }

data="$(mktemp -d)"
trap 'rm -rf "$data"' EXIT

median() { sort -n | awk '{a[NR]=$1} END {print a[int((NR+1)/2)]}'; }
seconds() { local s e; s=$(date +%s.%N); "$@" >/dev/null 2>&1 || true; e=$(date +%s.%N); echo "$e - $s" | bc -l; }

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
printf 'head     median: %.4f s\n' "$head_median"
printf 'generate median: %.4f s\n' "$generate_median"
printf 'ratio generate/head: %.2f (target <= 1.5)\n' "$(echo "$generate_median / $head_median" | bc -l)"
