#!/usr/bin/env bash
# Stress test of repair runs (not in CI): on COUNT broken images (default 10,000),
#   - 10 trials of two `korvane-cli repair --overwrite-backup yes` started at once on the
#     same fresh directory: one repairs, the other must stop at the directory's lock;
#   - 20 repairs killed (SIGKILL) at random points, one after the other, on one directory,
#     then one repair left to finish.
# After each part every original must be byte-identical, either under its own name or as
# its backup, and no temporary file of ours (".korvane-*") may remain.
#   bench/stress-repair.sh [BUILD_DIR] [COUNT]   (a Release build; default build-release)
set -euo pipefail
source "$(dirname "$0")/bench-lib.sh"
require_build "$cli"
count="${2:-10000}"

scratch_dir
# Broken images: the header states 1024 data bytes, the file holds 1044 random ones.
mkdir "$data/originals"
LC_ALL=C awk -v n="$count" -v dir="$data/originals" -v seed="$RANDOM" 'BEGIN {
    srand(seed)
    for (c = 0; c < 256; ++c) byte[c] = sprintf("%c", c)
    header = byte[150] byte[2] byte[64] byte[0] byte[128]
    for (k = 0; k < 11; ++k) header = header byte[0]
    for (i = 0; i < n; ++i) {
        data = ""
        for (j = 0; j < 1044; ++j) data = data byte[int(rand() * 256)]
        file = sprintf("%s/IMG%05d.ATR", dir, i)
        printf "%s%s", header, data > file
        close(file)
    }
}'
(cd "$data/originals" && md5sum -- *) > "$data/sums"
repair=("$cli" repair --fix-length file --overwrite-backup yes "$data/work")
repair() { "${repair[@]}" >/dev/null 2>&1; }

failures=0
verify() {  # LABEL
    local lost left
    lost=$(cd "$data/work" && md5sum -- * | awk '
        NR == FNR { have[$2] = $1; next }
        { base = $2; sub(/\.ATR$/, "", base)
          if (have[$2] != $1 && have[base "_org.atr"] != $1) lost++ }
        END { print lost + 0 }' - "$data/sums")
    left=$(find "$data/work" -name '.korvane-*' | wc -l)
    echo "$1: originals lost: $lost, temporaries left: $left"
    [[ $lost -eq 0 && $left -eq 0 ]] || failures=$((failures + 1))
}
fresh() { rm -rf "$data/work"; cp -a "$data/originals" "$data/work"; }

echo "images: $count"
for trial in $(seq 1 "${TRIALS:-10}"); do
    fresh
    start=$(date +%s.%N)
    repair & first=$!
    repair & second=$!
    status_first=0; status_second=0
    wait "$first" || status_first=$?
    wait "$second" || status_second=$?
    printf 'two at once, trial %2d: exit statuses %d and %d, %.1f s; ' "$trial" \
        "$status_first" "$status_second" "$(echo "$(date +%s.%N) - $start" | bc -l)"
    verify "checked"
done

fresh
start=$(date +%s.%N)
repair || true
full=$(echo "$(date +%s.%N) - $start" | bc -l)
printf 'one whole repair: %.1f s\n' "$full"
fresh
killed=0
for _ in $(seq 1 20); do
    "${repair[@]}" >/dev/null 2>&1 &  # the program itself, so that the signal reaches it
    run=$!
    sleep "$(echo "$RANDOM / 32768 * $full / 10" | bc -l)"
    kill -KILL "$run" 2>/dev/null || true
    status=0
    wait "$run" 2>/dev/null || status=$?
    [[ $status -eq 137 ]] && killed=$((killed + 1))
done
echo "after 20 runs ($killed of them killed, the others done first):" \
    "$(find "$data/work" -name '.korvane-*' | wc -l) temporaries," \
    "$(find "$data/work" -name '*_org.atr' | wc -l) backups"
repair || true
verify "20 kills, then a whole repair"
[[ $failures -eq 0 ]] && echo "stress: passed" || { echo "stress: FAILED ($failures)"; exit 1; }
