#!/usr/bin/env bash
# Stress test of repairs on FUSE volumes (not in CI; needs root, /dev/fuse, loop devices,
# fuse3, libfuse3-dev and a C compiler, bindfs, exfat-fuse, exfatprogs): COUNT broken
# images (default 300) on
#   - pass-through: bench/fuse_passthrough.c over a directory, without hard links or
#     RENAME_NOREPLACE, whose daemon forgets every file's unsynced data at a power cut;
#   - bindfs: the same directory reached by its own path and through bindfs;
#   - exfat: an exFAT image through exfat-fuse (letter case folded, an inode number per
#     spelling, no hard links).
# On each: KILLS repairs killed (SIGKILL) at random points, then a whole repair; on the
# pass-through, directly and under bindfs, also CUTS power cuts mid-repair, each followed
# by fresh mounts and a whole repair; through two paths (the pass-through and its
# directory, bindfs and its directory, exFAT and bindfs over it, exFAT and a bind mount
# of it) TRIALS pairs of repairs started at once; on exFAT the images a.atr and
# A.B.ATR, whose backups share one name in two spellings. Then CUTS power cuts of the
# exFAT volume itself: exfat-fuse on a loop device over an image file that lives on the
# pass-through in --blocks mode, so that exfat-fuse's device syncs reach it as FSYNC and a
# cut puts back every block written since the last one; after each, everything is
# unmounted, fsck.exfat checks the surviving image (and repairs it if it must), exFAT
# is mounted again from it, counted, and repaired whole. TORN_CUTS more cuts (default 0)
# use --torn: each unsynced block lost or kept at random.
# After each part every original must be whole under its own name or as its backup,
# every image under its name the original or its complete repair, and no temporary file
# of ours left (right after a cut, temporaries are counted but allowed).
#   bench/stress-fuse.sh [BUILD_DIR] [COUNT]   (a Release build; default build-release)
# KILLS, CUTS and TRIALS default to 10. PARTS (default "pt bindfs exfat exfat-cuts")
# chooses the parts to run; KEEP, a directory, keeps each exFAT image as a cut left it.
set -euo pipefail
source "$(dirname "$0")/bench-lib.sh"
require_build "$cli"
count="${2:-300}"
[ -e /dev/fuse ] || { echo "no /dev/fuse: skipped"; exit 0; }
for tool in fusermount3 bindfs mkfs.exfat fsck.exfat mount.exfat-fuse losetup cc; do
    command -v "$tool" >/dev/null || { echo "$tool missing: skipped"; exit 0; }
done

parts=" ${PARTS:-pt bindfs exfat exfat-cuts} "
part() { [[ $parts == *" $1 "* ]]; }

scratch_dir
mounts=()
loops=()
cleanup() {
    local m l
    for ((m = ${#mounts[@]} - 1; m >= 0; --m)); do
        umount -l "${mounts[m]}" 2>/dev/null || fusermount3 -u -z "${mounts[m]}" 2>/dev/null || true
    done
    for l in "${loops[@]}"; do losetup -d "$l" 2>/dev/null || true; done
    sleep 1
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
# The whole repair after kills or a cut. Where the volume has hard links the lock file is
# filled under a temporary name and linked into place; without them (exFAT, the
# pass-through without links) a kill between its creation and its filling leaves it
# empty, and a run takes such a file for one being written until 10 s after its last
# change: it refuses to start (exit status 2). Then it is started again once that time
# is over, and $refused says so for the line of figures.
refused=
whole_repair() {  # DIR
    local status tries=0 size
    refused=
    while :; do
        status=0
        repair "$1" || status=$?
        [[ $status -eq 2 && $tries -lt 3 ]] || break
        tries=$((tries + 1))
        size=$(stat -c %s "$1/.korvane-lock" 2>/dev/null || echo "no")
        refused="${refused} (refused: lock file of $size bytes; started again 11 s later)"
        sleep 11
    done
}

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
    whole_repair "$2"
    span=$(printf '%.1f' "$span")
    verify "$1: ${KILLS:-10} kills (whole run $span s), then a whole repair$refused" "$2"
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
        # The run that finds the other's lock stops at once with exit status 2.
        if [[ $sa -eq 2 || $sb -eq 2 ]] && [[ $sa -ne $sb ]]; then
            refused="one refused"
        else
            refused="NONE REFUSED"
            failures=$((failures + 1))
        fi
        printf '%s, trial %2d: exit statuses %d and %d (%s); ' "$1" "$trial" "$sa" "$sb" "$refused"
        verify "checked" "$2"
    done
}

# The pass-through runs in the foreground of a background job, so that its power cut is
# sent to its own process id.
pt_pid=
start_pt() {  # [--blocks|--torn] BACKING MOUNT_POINT
    "$passthrough" "$@" -f -o default_permissions 2>>"$data/pt.log" &
    pt_pid=$!
    mounts+=("${@: -1}")
    wait_until 30 mountpoint -q "${@: -1}" || { echo "pass-through did not mount" >&2; exit 1; }
}
power_cut() {  # REPAIR_PID: cuts the pass-through's power, then kills the repair
    kill -USR1 "$pt_pid" 2>/dev/null || true
    wait "$pt_pid" 2>/dev/null || true
    kill -KILL "$1" 2>/dev/null || true
    wait "$1" 2>/dev/null || true
}
random_delay() { echo "$RANDOM / 32768 * $1" | bc -l; }  # SPAN: 0 to SPAN seconds

# The pass-through.
mkdir "$data/pt-back" "$data/pt" "$data/bind"
mount_pt() { start_pt "$data/pt-back" "$data/pt"; }
if part pt; then
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
    sleep "$(random_delay "$span")"
    power_cut "$run"
    fusermount3 -u -z "$data/pt" 2>/dev/null || true
    sleep 0.2
    mount_pt
    whole_repair "$data/pt"
    verify "pass-through: power cut $cut, then a whole repair$refused" "$data/pt"
    fusermount3 -u "$data/pt"
done
fi

# bindfs.
if part bindfs; then
mkdir "$data/bind-back"
bindfs "$data/bind-back" "$data/bind"
mounts+=("$data/bind")
kills "bindfs" "$data/bind"
two_paths "bindfs and its directory" "$data/bind" "$data/bind-back"
fusermount3 -u "$data/bind"
[[ -n ${span:-} ]] || { mount_pt; span=$(whole_time "$data/pt"); fusermount3 -u "$data/pt"; }

# bindfs over the pass-through: power cuts below bindfs, which passes each fsync on.
for cut in $(seq 1 "${CUTS:-10}"); do
    fresh "$data/pt-back"
    sync
    mount_pt
    bindfs "$data/pt" "$data/bind"
    "$cli" repair --fix-length file --overwrite-backup yes "$data/bind" >/dev/null 2>&1 &
    run=$!
    sleep "$(random_delay "$span")"
    power_cut "$run"
    fusermount3 -u -z "$data/bind" 2>/dev/null || true
    fusermount3 -u -z "$data/pt" 2>/dev/null || true
    sleep 0.2
    mount_pt
    bindfs "$data/pt" "$data/bind"
    whole_repair "$data/bind"
    verify "bindfs over the pass-through: power cut $cut, then a whole repair$refused" "$data/bind"
    fusermount3 -u "$data/bind"
    fusermount3 -u "$data/pt"
done

fi

# exFAT through exfat-fuse, on a loop device over an image file.
exfat_image="$data/exfat.img"
truncate -s 256M "$exfat_image"
mkfs.exfat "$exfat_image" >/dev/null
mkdir "$data/exfat" "$data/exfat-bind"
exfat_loop=
mount_exfat() {  # IMAGE
    exfat_loop=$(loop_over "$1")
    loops+=("$exfat_loop")
    mount.exfat-fuse "$exfat_loop" "$data/exfat" >/dev/null 2>&1 ||
        { echo "exfat-fuse did not mount $1" >&2; exit 1; }
    mounts+=("$data/exfat")
}
umount_exfat() {  # -z after a cut: exfat-fuse's last writes fail on the dead pass-through
    fusermount3 -u ${1:-} "$data/exfat"
    unloop "$exfat_loop"
}
if part exfat; then
mount_exfat "$exfat_image"
kills "exfat-fuse" "$data/exfat"
bindfs "$data/exfat" "$data/bind"
two_paths "exfat-fuse and bindfs over it" "$data/exfat" "$data/bind"
fusermount3 -u "$data/bind"
mount --bind "$data/exfat" "$data/exfat-bind"
mounts+=("$data/exfat-bind")
two_paths "exfat-fuse and a bind mount of it" "$data/exfat" "$data/exfat-bind"
umount "$data/exfat-bind"
# TRIALS times: a.atr and A.B.ATR, whose backup names differ only in letter case.
case_lost=0
for _ in $(seq 1 "${TRIALS:-10}"); do
    rm -rf "$data/exfat"/* "$data/exfat"/.korvane-* 2>/dev/null || true
    head -c 1060 "$data/originals/IMG00000.ATR" > "$data/exfat/a.atr"
    head -c 1060 "$data/originals/IMG00001.ATR" > "$data/exfat/A.B.ATR"
    sums_before=$( (cd "$data/exfat" && md5sum a.atr A.B.ATR) )
    repair "$data/exfat" || true
    [[ "$( (cd "$data/exfat" && md5sum a_org.atr A.B.ATR) 2>/dev/null | cut -c1-32)" == \
        "$(echo "$sums_before" | cut -c1-32)" ]] || case_lost=$((case_lost + 1))
done
echo "exfat-fuse: a.atr and A.B.ATR, one backup name in two spellings, ${TRIALS:-10} trials:" \
    "originals lost in $case_lost"
[[ $case_lost -eq 0 ]] || failures=$((failures + 1))
umount_exfat
fi

# Power cuts of the exFAT volume: its image file on the pass-through in --blocks (or
# --torn) mode, behind a loop device, so that each device sync of exfat-fuse reaches the
# pass-through as FSYNC. After the cut the surviving image is checked by fsck.exfat
# (repaired if it must be), mounted again without the pass-through, counted, repaired
# whole and counted again.
fsck_exfat() {  # IMAGE: one line of what fsck.exfat says; repairs the image if it must
    local said status=0
    said=$(fsck.exfat -n "$1" 2>&1 | grep -v '^exfatprogs version' | tr '\n' ' ') || status=$?
    if [[ $status -eq 0 ]]; then
        echo "fsck.exfat: ${said% }"
    else
        echo "fsck.exfat (exit $status): ${said% }; repaired: $(fsck.exfat -y "$1" 2>&1 |
            grep -v '^exfatprogs version' | tr '\n' ' ')"
        exfat_repaired=$((exfat_repaired + 1))
    fi
}
exfat_cuts() {  # MODE (--blocks or --torn) CUTS LABEL
    local cut run span
    [[ $2 -gt 0 ]] || return 0
    mkdir -p "$data/ex-back" "$data/ex-pt"
    # The originals, written once into an image without the pass-through.
    cp --sparse=always "$exfat_image" "$data/exfat-originals.img"
    mount_exfat "$data/exfat-originals.img"
    fresh "$data/exfat"
    umount_exfat
    cp --sparse=always "$data/exfat-originals.img" "$data/ex-back/exfat.img"
    start_pt "$1" "$data/ex-back" "$data/ex-pt"
    mount_exfat "$data/ex-pt/exfat.img"
    span=$(seconds repair "$data/exfat")
    span=$(printf '%.1f' "$span")
    umount_exfat
    fusermount3 -u "$data/ex-pt"
    wait "$pt_pid" 2>/dev/null || true
    for cut in $(seq 1 "$2"); do
        cp --sparse=always "$data/exfat-originals.img" "$data/ex-back/exfat.img"
        sync
        start_pt "$1" "$data/ex-back" "$data/ex-pt"
        mount_exfat "$data/ex-pt/exfat.img"
        "$cli" repair --fix-length file --overwrite-backup yes "$data/exfat" >/dev/null 2>&1 &
        run=$!
        sleep "$(random_delay "$span")"
        power_cut "$run"
        umount_exfat -z
        fusermount3 -u -z "$data/ex-pt" 2>/dev/null || true
        echo "$3: power cut $cut: $(tail -n 1 "$data/pt.log");" \
            "$(fsck_exfat "$data/ex-back/exfat.img")"
        if [[ -n ${KEEP:-} ]]; then  # a directory to keep each surviving image and its log in
            cp --sparse=always "$data/ex-back/exfat.img" "$KEEP/cut$cut.img"
            cp "$data/pt.log" "$KEEP/pt.log"
        fi
        mount_exfat "$data/ex-back/exfat.img"
        verify "$3: power cut $cut, after the cut" "$data/exfat" cut
        whole_repair "$data/exfat"
        verify "$3: power cut $cut, then a whole repair (whole run $span s)$refused" \
            "$data/exfat"
        umount_exfat
    done
}
if part exfat-cuts; then
exfat_repaired=0
exfat_cuts --blocks "${CUTS:-10}" "exfat-fuse on a loop device over the pass-through"
exfat_cuts --torn "${TORN_CUTS:-0}" "exfat-fuse, torn writes"
echo "exfat-fuse power cuts: fsck.exfat had to repair $exfat_repaired image(s)"
fi
[[ $failures -eq 0 ]] && echo "stress on FUSE: passed" || { echo "stress on FUSE: FAILED ($failures)"; exit 1; }
