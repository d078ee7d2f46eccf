#!/usr/bin/env bash
# The report's writes: `korvane-cli check` over 10,000 mixed images, its report going into
# a file. Counts the run's write calls with `strace -c -f`, and times it (warm cache,
# median of 7 rounds) against two tools that list the same 10,000 images in one process:
# `ls -l` (a stat of each) and `head -q -c 16` (the header of each). With OLD_CLI given,
# that program is counted and timed the same way (a build that writes line by line).
#   bench/report-bench.sh [BUILD_DIR] [OLD_CLI]
set -euo pipefail
source "$(dirname "$0")/bench-lib.sh"
old_cli="${2:-}"
gen="$build/bench/make_atr_set"
require_build "$cli" "$gen" ${old_cli:+"$old_cli"}
command -v strace >/dev/null || { echo "strace is needed (apt-get install strace)" >&2; exit 2; }

scratch_dir
images="$data/images"
"$gen" "$images" 10000
report="$data/report.txt"

# The write calls of one run, its output into the report file.
writes() {
    strace -f -c -e trace=write -o "$data/strace" "$@" >"$report" 2>/dev/null || true
    awk '$NF == "write" { print $4 }' "$data/strace"
}

cat "$images"/* >/dev/null  # warm the cache
"$cli" check "$images" >"$report" || true
echo "report: $(wc -l <"$report") lines, $(wc -c <"$report") bytes"
echo "write calls: korvane-cli check $(writes "$cli" check "$images")"
[ -z "$old_cli" ] || echo "write calls: old korvane-cli check $(writes "$old_cli" check "$images")"

# Rounds of every command in turn, so that a change in the machine's load falls on all
# alike; each command's output goes into the report file.
labels=("ls -l" "head -q -c 16" "korvane-cli check")
commands=("ls -l '$images'" "head -q -c 16 '$images'/*" "'$cli' check '$images'")
if [ -n "$old_cli" ]; then
    labels+=("old korvane-cli check")
    commands+=("'$old_cli' check '$images'")
fi
for _ in 1 2 3 4 5 6 7; do
    for i in "${!commands[@]}"; do
        seconds sh -c "${commands[$i]} >'$report'" >>"$data/times.$i"
    done
done
for i in "${!commands[@]}"; do
    medians[$i]=$(median <"$data/times.$i")
    printf '%-22s median of 7: %.4f s\n' "${labels[$i]}" "${medians[$i]}"
done
ratio() { echo "$1 / $2" | bc -l; }
printf 'ratio check/ls -l: %.2f, check/head: %.2f\n' "$(ratio "${medians[2]}" "${medians[0]}")" \
    "$(ratio "${medians[2]}" "${medians[1]}")"
[ -z "$old_cli" ] || printf 'ratio check/old check: %.2f\n' "$(ratio "${medians[2]}" "${medians[3]}")"
