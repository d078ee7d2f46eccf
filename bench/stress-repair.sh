#!/usr/bin/env bash
# Stress test of the writing runs (not in CI): on COUNT broken images (default 10,000),
#   - 10 trials of two `korvane-cli repair --overwrite-backup yes` started at once on the
#     same fresh directory: one repairs, the other must stop at the directory's lock;
#   - 20 repairs killed (SIGKILL) at random points, one after the other, on one directory,
#     then one repair left to finish; the same for conversions of COUNT/10 XEX files and
#     for generations of the largest image;
#   - a power cut: on a loop-mounted ext4 that is shut down in the middle of a repair,
#     where the machine allows loop devices (otherwise it says so and skips);
#   - a case-insensitive volume without RENAME_NOREPLACE or hard links, simulated through
#     the file-system seam by the engine tests (BUILD_DIR/tests/engines_test, a Debug
#     build; otherwise it says so and skips).
# After each part every original must be byte-identical, either under its own name or as
# its backup, every image under a real name complete, and no temporary file of ours
# (".korvane-*") may remain.
#   bench/stress-repair.sh [BUILD_DIR] [COUNT]   (a Release build; default build-release)
# ENGINES_TEST names the engine tests of another (Debug) build for the seam part.
# TRIALS sets the number of two-at-once trials (default 10).
set -euo pipefail
source "$(dirname "$0")/bench-lib.sh"
require_build "$cli"
count="${2:-10000}"

scratch_dir
broken_images "$count" "$data/originals"
repair=("$cli" repair --fix-length file --overwrite-backup yes "$data/work")
repair() { "${repair[@]}" >/dev/null 2>&1; }

failures=0
# What a repair writes for each original: its first 1,040 bytes (the header already holds
# zeros in its reserved bytes).
(cd "$data/originals" && for f in *; do
    printf '%s  %s\n' "$(head -c 1040 "$f" | md5sum | cut -c1-32)" "$f"
done) > "$data/repaired-sums"
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

# Kills during conversions and generations: every output under its real name is the
# complete image that an uninterrupted run writes.
kill_runs() {  # RUNS SECONDS COMMAND...
    local runs=$1 span=$2 run
    shift 2
    for _ in $(seq 1 "$runs"); do
        "$@" >/dev/null 2>&1 &
        run=$!
        sleep "$(echo "$RANDOM / 32768 * $span" | bc -l)"
        kill -KILL "$run" 2>/dev/null || true
        wait "$run" 2>/dev/null || true
    done
}
# A killed run may leave temporaries; the next whole run must remove them.
compare_outputs() {  # LABEL DIR REFERENCE_DIR [temporaries allowed: yes]
    local partial=0 left f
    for f in "$2"/*.ATR; do
        [ -e "$f" ] || continue
        cmp -s "$f" "$3/$(basename "$f")" || partial=$((partial + 1))
    done
    left=$(find "$2" -name '.korvane-*' | wc -l)
    echo "$1: originals lost: 0, partial images: $partial, temporaries left: $left"
    [[ $partial -eq 0 && ($left -eq 0 || ${4:-} == yes) ]] || failures=$((failures + 1))
}
gen="$build/bench/make_xex_set"
if [ -x "$gen" ]; then
    mkdir "$data/xex" "$data/xex-done"
    "$gen" --template "$data/T.ATR"
    "$gen" "$data/xex" "$((count / 10 > 10 ? count / 10 : 10))" "$data/T.ATR"
    cp "$data"/xex/*.XEX "$data/xex-done/"
    convert=("$cli" convert --template "$data/T.ATR")
    "${convert[@]}" "$data/xex-done" >/dev/null 2>&1 || true
    span=$(seconds "${convert[@]}" "$data/xex-done")  # converts nothing more: a lower bound
    kill_runs 20 "$(echo "$span * 50 + 0.05" | bc -l)" "${convert[@]}" "$data/xex"
    compare_outputs "20 killed conversions" "$data/xex" "$data/xex-done" yes
    "${convert[@]}" "$data/xex" >/dev/null 2>&1 || true
    compare_outputs "20 killed conversions, then a whole one" "$data/xex" "$data/xex-done"
else
    echo "conversions: skipped ($gen not built)"
fi
mkdir "$data/gen" "$data/gen-done"
generate=("$cli" generate --sector-size 256 --sectors 65535 --name BIG)
"${generate[@]}" "$data/gen-done" >/dev/null 2>&1
span=$(seconds "${generate[@]}" "$data/gen")
rm -f "$data/gen/BIG.ATR"
for _ in $(seq 1 20); do
    kill_runs 1 "$span" "${generate[@]}" "$data/gen"
    [ -e "$data/gen/BIG.ATR" ] && ! cmp -s "$data/gen/BIG.ATR" "$data/gen-done/BIG.ATR" && break
    rm -f "$data/gen/BIG.ATR"
done
compare_outputs "20 killed generations" "$data/gen" "$data/gen-done" yes
"${generate[@]}" "$data/gen" >/dev/null 2>&1 || true
compare_outputs "20 killed generations, then a whole one" "$data/gen" "$data/gen-done"

# A power cut needs a loop-mounted ext4 (commit=1) under a device-mapper target that drops
# every write from an instant on (dm-flakey drop_writes): the repair is cut there, the
# volume unmounted and mounted again straight from the device. Without device-mapper the
# writes still in the page cache reach the disk at unmounting, which is no power cut.
if ! dmsetup targets 2>/dev/null | grep -q '^flakey'; then
    echo "power cut: skipped (no device-mapper flakey target on this machine)"
else
    disk="$data/disk"
    truncate -s 512M "$disk"
    loop=$(losetup -f --show "$disk")
    sectors=$(blockdev --getsz "$loop")
    dmsetup create korvane-cut --table "0 $sectors linear $loop 0"
    mkfs.ext4 -q /dev/mapper/korvane-cut
    mkdir "$data/mnt"
    mount -o commit=1 /dev/mapper/korvane-cut "$data/mnt"
    cp -a "$data/originals" "$data/mnt/work"
    sync
    "$cli" repair --fix-length file --overwrite-backup yes "$data/mnt/work" >/dev/null 2>&1 &
    run=$!
    sleep "$(echo "$RANDOM / 32768 * $full" | bc -l)"
    dmsetup suspend --nolockfs korvane-cut
    dmsetup load korvane-cut --table "0 $sectors flakey $loop 0 0 1 1 drop_writes"
    dmsetup resume korvane-cut
    kill -KILL "$run" 2>/dev/null || true
    wait "$run" 2>/dev/null || true
    umount "$data/mnt"
    dmsetup remove korvane-cut
    mount "$loop" "$data/mnt"
    # The repair after the cut removes what the cut left and finishes the work.
    "$cli" repair --fix-length file --overwrite-backup yes "$data/mnt/work" >/dev/null 2>&1 || true
    verify "power cut mid-repair, then a whole repair" "$data/mnt/work"
    umount "$data/mnt"
    losetup -d "$loop"
fi

# A case-insensitive volume without RENAME_NOREPLACE or hard links, and a name taken
# under the run: through the engine tests' file-system seam.
engines_test="${ENGINES_TEST:-$build/tests/engines_test}"
if [ -x "$engines_test" ]; then
    if "$engines_test" --gtest_filter='FileSafety.CaseFolding*:FileSafety.NameTaken*' \
        >"$data/seam.log" 2>&1; then
        echo "case-insensitive volume (seam): originals lost: 0, partial images: 0," \
            "temporaries left: 0"
    else
        echo "case-insensitive volume (seam): FAILED"; failures=$((failures + 1))
        cat "$data/seam.log"
    fi
else
    echo "case-insensitive volume (seam): skipped ($engines_test not built)"
fi
[[ $failures -eq 0 ]] && echo "stress: passed" || { echo "stress: FAILED ($failures)"; exit 1; }
