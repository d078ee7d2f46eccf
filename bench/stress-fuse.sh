#!/usr/bin/env bash
# Stress test of repairs on FUSE volumes (not in CI; needs root, /dev/fuse, fuse3,
# libfuse3-dev and a C compiler, bindfs, exfat-fuse): COUNT broken images (default 300) on
#   - pass-through: bench/fuse_passthrough.c over a directory, without hard links or
#     RENAME_NOREPLACE, whose daemon forgets every file's unsynced data at a power cut;
#   - bindfs: the same directory reached by its own path and through bindfs;
#   - exfat: an exFAT image through exfat-fuse (letter case folded, an inode number per
#     spelling, no hard links).
# On each: KILLS repairs killed (SIGKILL) at random points, then a whole repair; on the
# pass-through, directly and under bindfs, also CUTS power cuts mid-repair, each followed
# by fresh mounts and a whole repair; through two paths (the pass-through and its
# directory, bindfs and its directory, exFAT and bindfs over it) TRIALS pairs of repairs
# started at once; on exFAT the images a.atr and
# A.B.ATR, whose backups share one name in two spellings. After each part every original
# must be whole under its own name or as its backup, every image under its name the
# original or its complete repair, and no temporary file of ours left.
#   bench/stress-fuse.sh [BUILD_DIR] [COUNT]   (a Release build; default build-release)
# KILLS, CUTS and TRIALS default to 10.
set -euo pipefail
source "$(dirname "$0")/bench-lib.sh"
require_build "$cli"
count="${2:-300}"
[ -e /dev/fuse ] || { echo "no /dev/fuse: skipped"; exit 0; }
for tool in fusermount3 bindfs mkfs.exfat mount.exfat-fuse cc; do
    command -v "$tool" >/dev/null || { echo "$tool missing: skipped"; exit 0; }
done

scratch_dir
mounts=()
cleanup() {
    for m in "${mounts[@]}"; do fusermount3 -u -z "$m" 2>/dev/null || true; done
    rm -rf "$data"
}
trap cleanup EXIT
passthrough="$data/fuse_passthrough"
cc -O2 -o "$passthrough" "$top/bench/fuse_passthrough.c" $(pkg-config --cflags --libs fuse3)

broken_images "$count" "$data/originals"
(cd "$data/originals" && for f in *; do
    printf '%s  %s\n' "$(head -c 1040 "$f" | md5sum | cut -c1-32)" "$f"
done) > "$data/repaired-sums"
repair() { "$cli" repair --fix-length file --overwrite-backup yes "$1" >/dev/null 2>&1; }

failures=0
fresh() { rm -rf "$1"/* "$1"/.korvane-* 2>/dev/null || true; cp "$data"/originals/* "$1"/; }
whole_time() {  # DIR: seconds of one whole repair
    fresh "$1"
    seconds repair "$1"
}
kills() {  # LABEL DIR
    local span run
    span=$(whole_time "$2")
    fresh "$2"
    for _ in $(seq 1 "${KILLS:-10}"); do
        "$cli" repair --fix-length file --overwrite-backup yes "$2" >/dev/null 2>&1 &
        run=$!
        sleep "$(echo "$RANDOM / 32768 * $span" | bc -l)"
        kill -KILL "$run" 2>/dev/null || true
        wait "$run" 2>/dev/null || true
    done
    repair "$2" || true
    verify "$1: ${KILLS:-10} kills (whole run $(printf '%.1f' "$span") s), then a whole repair" "$2"
}
two_paths() {  # LABEL PATH1 PATH2
    local a b sa sb
    for trial in $(seq 1 "${TRIALS:-10}"); do
        fresh "$2"
        repair "$2" & a=$!
        repair "$3" & b=$!
        sa=0; sb=0
        wait "$a" || sa=$?
        wait "$b" || sb=$?
        printf '%s, trial %2d: exit statuses %d and %d; ' "$1" "$trial" "$sa" "$sb"
        verify "checked" "$2"
    done
}

# The pass-through.
mkdir "$data/pt-back" "$data/pt"
mount_pt() { "$passthrough" "$data/pt-back" "$data/pt" -o default_permissions; mounts+=("$data/pt"); }
mount_pt
kills "pass-through" "$data/pt"
two_paths "pass-through and its directory" "$data/pt" "$data/pt-back"
span=$(whole_time "$data/pt")
fusermount3 -u "$data/pt"
for cut in $(seq 1 "${CUTS:-10}"); do
    # Written beside a daemon not yet started, so that the originals are on disk and no
    # file it saw before is taken for one of them.
    fresh "$data/pt-back"
    sync
    mount_pt
    "$cli" repair --fix-length file --overwrite-backup yes "$data/pt" >/dev/null 2>&1 &
    run=$!
    sleep "$(echo "$RANDOM / 32768 * $span" | bc -l)"
    pkill -USR1 -f -x "$passthrough $data/pt-back $data/pt -o default_permissions" || true
    kill -KILL "$run" 2>/dev/null || true
    wait "$run" 2>/dev/null || true
    fusermount3 -u -z "$data/pt" 2>/dev/null || true
    sleep 0.2
    mount_pt
    repair "$data/pt" || true
    verify "pass-through: power cut $cut, then a whole repair" "$data/pt"
    fusermount3 -u "$data/pt"
done

# bindfs.
mkdir "$data/bind-back" "$data/bind"
bindfs "$data/bind-back" "$data/bind"
mounts+=("$data/bind")
kills "bindfs" "$data/bind"
two_paths "bindfs and its directory" "$data/bind" "$data/bind-back"
fusermount3 -u "$data/bind"

# bindfs over the pass-through: power cuts below bindfs, which passes each fsync on.
for cut in $(seq 1 "${CUTS:-10}"); do
    fresh "$data/pt-back"
    sync
    mount_pt
    bindfs "$data/pt" "$data/bind"
    "$cli" repair --fix-length file --overwrite-backup yes "$data/bind" >/dev/null 2>&1 &
    run=$!
    sleep "$(echo "$RANDOM / 32768 * $span" | bc -l)"
    pkill -USR1 -f -x "$passthrough $data/pt-back $data/pt -o default_permissions" || true
    kill -KILL "$run" 2>/dev/null || true
    wait "$run" 2>/dev/null || true
    fusermount3 -u -z "$data/bind" 2>/dev/null || true
    fusermount3 -u -z "$data/pt" 2>/dev/null || true
    sleep 0.2
    mount_pt
    bindfs "$data/pt" "$data/bind"
    repair "$data/bind" || true
    verify "bindfs over the pass-through: power cut $cut, then a whole repair" "$data/bind"
    fusermount3 -u "$data/bind"
    fusermount3 -u "$data/pt"
done

# exFAT through exfat-fuse.
truncate -s 256M "$data/exfat.img"
mkfs.exfat "$data/exfat.img" >/dev/null
mkdir "$data/exfat"
loop=$(losetup -f --show "$data/exfat.img")
mount.exfat-fuse "$loop" "$data/exfat" >/dev/null 2>&1
mounts+=("$data/exfat")
kills "exfat-fuse" "$data/exfat"
bindfs "$data/exfat" "$data/bind"
two_paths "exfat-fuse and bindfs over it" "$data/exfat" "$data/bind"
fusermount3 -u "$data/bind"
rm -rf "$data/exfat"/* "$data/exfat"/.korvane-* 2>/dev/null || true
head -c 1060 "$data/originals/IMG00000.ATR" > "$data/exfat/a.atr"
head -c 1060 "$data/originals/IMG00001.ATR" > "$data/exfat/A.B.ATR"
sums_before=$( (cd "$data/exfat" && md5sum a.atr A.B.ATR) )
repair "$data/exfat" || true
if [[ "$(cd "$data/exfat" && md5sum a_org.atr A.B.ATR | cut -c1-32)" == \
      "$(echo "$sums_before" | cut -c1-32)" ]]; then
    echo "exfat-fuse: a.atr and A.B.ATR, one backup name in two spellings: originals lost: 0"
else
    echo "exfat-fuse: a.atr and A.B.ATR, one backup name in two spellings: an original LOST"
    failures=$((failures + 1))
fi
fusermount3 -u "$data/exfat"
losetup -d "$loop"
[[ $failures -eq 0 ]] && echo "stress on FUSE: passed" || { echo "stress on FUSE: FAILED ($failures)"; exit 1; }
