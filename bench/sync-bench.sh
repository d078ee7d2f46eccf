#!/usr/bin/env bash
# The cost of durable writes, side by side on an ext4 directory and on tmpfs: 1,000 broken
# images (1,060 bytes each) repaired by `korvane-cli repair` against `cp -r` of the same
# directory, and 1,000 XEX files converted against the same conversion without any sync
# (under eatmydata, which turns fsync and syncfs into nothing). Median of 5 runs each,
# with `sync` before every timed run.
#   bench/sync-bench.sh [BUILD_DIR] [DIR ...]   (a Release build; default build-release;
#                                                default directories: $TMPDIR or /tmp, and
#                                                /dev/shm)
set -euo pipefail
source "$(dirname "$0")/bench-lib.sh"
gen="$build/bench/make_xex_set"
require_build "$cli" "$gen"
command -v eatmydata >/dev/null || { echo "eatmydata missing (apt-get install eatmydata)" >&2; exit 2; }
shift || true
bases=("$@")
[ ${#bases[@]} -gt 0 ] || bases=("${TMPDIR:-/tmp}" /dev/shm)

times_of() {  # PREPARE COMMAND...: five timed runs, each after PREPARE and a sync
    local prepare=$1
    shift
    for _ in 1 2 3 4 5; do
        $prepare
        sync
        seconds "$@"
    done | median
}

for base in "${bases[@]}"; do
    data=$(mktemp -d "$base/korvane-sync-bench-XXXXXX")
    trap 'rm -rf "$data"' EXIT
    echo "== $base ($(findmnt -n -o FSTYPE -T "$base" | head -1))"
    # Header: identifier, 1024 data bytes stated, 128-byte sectors; the file holds 1044.
    mkdir "$data/originals"
    head -c $((1000 * 1044)) /dev/urandom > "$data/random"
    for i in $(seq -w 0 999); do
        { printf '\x96\x02\x40\x00\x80\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00'
          dd if="$data/random" bs=1044 skip=$((10#$i)) count=1 status=none; } \
            > "$data/originals/IMG$i.ATR"
    done
    fresh() { rm -rf "$data/work" "$data/copy"; cp -a "$data/originals" "$data/work"; }
    cp_median=$(times_of fresh cp -r "$data/originals" "$data/copy")
    repair=("$cli" repair --fix-length file --overwrite-backup yes "$data/work")
    repair_median=$(times_of fresh "${repair[@]}")
    nosync_median=$(times_of fresh eatmydata "${repair[@]}")
    printf 'cp -r               median: %.4f s\n' "$cp_median"
    printf 'repair              median: %.4f s\n' "$repair_median"
    printf 'repair without sync median: %.4f s\n' "$nosync_median"
    printf 'ratio repair/cp: %.2f (target <= 2)\n' "$(echo "$repair_median / $cp_median" | bc -l)"

    mkdir "$data/xex"
    "$gen" --template "$data/T.ATR"
    "$gen" "$data/xex" 1000 "$data/T.ATR"
    clean() { rm -f "$data"/xex/*.ATR; }
    convert=("$cli" convert --template "$data/T.ATR" "$data/xex")
    convert_median=$(times_of clean "${convert[@]}")
    plain_median=$(times_of clean eatmydata "${convert[@]}")
    printf 'convert              median: %.4f s\n' "$convert_median"
    printf 'convert without sync median: %.4f s\n' "$plain_median"
    printf 'ratio convert/without sync: %.2f (target <= 1.5)\n' \
        "$(echo "$convert_median / $plain_median" | bc -l)"
    rm -rf "$data"
    trap - EXIT
done
