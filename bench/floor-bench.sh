#!/usr/bin/env bash
# Each run against the floor of the reads and writes it has to do, as paired ratios
# (every round runs the floor and then korvane-cli, each after its own untimed set-up, so
# that the machine's load falls on both alike; the median of the rounds' ratios), on tmpfs
# and on an ext4 file system of its own (a sparse file, mkfs.ext4, mounted through a loop
# device), with the system calls per image of each command (strace -c -f):
#   check    COUNTS images of 1,040 bytes (every tenth broken): `korvane-cli check .`
#            against `head -q -c 16 *` (target <= 1.3 on tmpfs), and the check's peak
#            memory (target <= 16 MB at 100,000 images);
#   convert  1,000 XEX files (make_xex_set): `korvane-cli convert` against `cat *.XEX`
#            and one `tee` writing the 1,000 copies of the template (target <= 1.5 on tmpfs);
#   repair   1,000 images of 1,060 bytes whose headers state 1,024 data bytes:
#            `korvane-cli repair --fix-length file --overwrite-backup yes .` against
#            `cp -r` (target <= 1.1 on tmpfs), and on ext4 against `cp -r` followed by a
#            sync of that file system, `sync -f` (target <= 1.5); and against the build's
#            repair_floor, which does only what no safe repair can leave out (read each
#            header, create, copy, link, rename, and the group's syncs);
#   fit      one 16,000,000-byte XEX file: `korvane-cli convert --fit` against dir2atr
#            (HiassofT/AtariSIO, `dir2atr -m -d -b MyPicoDos406`, built outside the
#            repository; DIR2ATR names it, default /work/peers/atarisio/tools/dir2atr)
#            (target <= 0.7), on ext4 also against dir2atr followed by `sync -f`; and
#            against mkatr (dmsc/mkatr; MKATR, default /work/peers/mkatr/mkatr). A peer
#            that is missing is skipped.
# Needs root (losetup and mount), strace, a Release build with the template image:
#   bench/floor-bench.sh [BUILD_DIR]      ROUNDS (default 7), COUNTS (default "10000 100000"),
#                                         CLI (another korvane-cli to measure, same generators),
#                                         RUNS (default "check convert repair fit")
set -euo pipefail
source "$(dirname "$0")/bench-lib.sh"
cli="$(realpath "${CLI:-$cli}")"
build="$(realpath "$build")"
atr_gen="$build/bench/make_atr_set"
xex_gen="$build/bench/make_xex_set"
template="$build/bin/KELDRIX.ATR"
mkatr="${MKATR:-/work/peers/mkatr/mkatr}"
dir2atr="${DIR2ATR:-/work/peers/atarisio/tools/dir2atr}"
repair_floor="$build/bench/repair_floor"
runs=" ${RUNS:-check convert repair fit} "
rounds="${ROUNDS:-7}"
counts="${COUNTS:-10000 100000}"
require_build "$cli" "$atr_gen" "$xex_gen"
[ -f "$template" ] || { echo "build $build with the boot disk: $template missing" >&2; exit 2; }
command -v strace >/dev/null || { echo "strace is needed (apt-get install strace)" >&2; exit 2; }
[ "$(id -u)" -eq 0 ] || { echo "run as root: the ext4 file system is loop-mounted" >&2; exit 2; }
ulimit -n 4096  # tee holds the 1,000 copies open at once

shm="$(mktemp -d /dev/shm/korvane-floor.XXXXXX)"
ext4_file="$(mktemp /var/tmp/korvane-floor-ext4.XXXXXX)"
ext4="$(mktemp -d /tmp/korvane-floor-mnt.XXXXXX)"
cleanup() {
    umount "$ext4" 2>/dev/null || true
    rm -rf "$shm" "$ext4_file"
    rmdir "$ext4" 2>/dev/null || true
}
trap cleanup EXIT
truncate -s 8G "$ext4_file"
mkfs.ext4 -q -F "$ext4_file"
mount -o loop "$ext4_file" "$ext4"

# The system calls of one command per image: calls N DIR COMMAND..., run in DIR, its
# output into a file there.
calls() {
    local n=$1 dir=$2
    shift 2
    (cd "$dir" && strace -f -c -o "$shm/strace" "$@" >"$shm/out" 2>/dev/null) || true
    awk -v n="$n" '$NF == "total" { printf "%.1f", $4 / n }' "$shm/strace"
}

# pair LABEL TARGET SETUP_FLOOR FLOOR SETUP CMD: ROUNDS rounds of the floor and the
# command (shell text, each after its untimed set-up, whose writes are then synced, so
# that neither side's sync writes what the set-up left); prints both medians and the
# median of the rounds' ratios.
pair() {
    local label=$1 target=$2 setup_floor=$3 floor=$4 setup=$5 command=$6 f c
    : >"$shm/floor.t"; : >"$shm/cmd.t"; : >"$shm/ratio.t"
    for _ in $(seq "$rounds"); do
        sh -c "$setup_floor" >/dev/null 2>&1
        sync -f "$root"
        f=$(seconds sh -c "$floor")
        sh -c "$setup" >/dev/null 2>&1
        sync -f "$root"
        c=$(seconds sh -c "$command")
        echo "$f" >>"$shm/floor.t"; echo "$c" >>"$shm/cmd.t"
        echo "$c / $f" | bc -l >>"$shm/ratio.t"
    done
    printf '%-34s floor %.4f s, korvane-cli %.4f s, ratio %.2f%s\n' "$label" \
        "$(median <"$shm/floor.t")" "$(median <"$shm/cmd.t")" "$(median <"$shm/ratio.t")" \
        "${target:+ (target <= $target)}"
}

for fs in tmpfs ext4; do
    root=$([ "$fs" = tmpfs ] && echo "$shm" || echo "$ext4")
    echo "== $fs ($root)"

    for n in $([[ "$runs" == *" check "* ]] && echo "$counts"); do
        images="$root/check$n"
        "$atr_gen" --small "$images" "$n"
        (cd "$images" && cat -- * >/dev/null)
        pair "check, $n images" 1.3 true "cd '$images' && head -q -c 16 * >'$root/out'" \
            true "cd '$images' && '$cli' check . >'$root/out'"
        echo "  system calls per image: head $(calls "$n" "$images" sh -c 'head -q -c 16 *')," \
            "korvane-cli check $(calls "$n" "$images" "$cli" check .)"
        /usr/bin/time -f %M -o "$shm/peak" "$cli" check "$images" >/dev/null 2>&1 || true
        echo "  peak memory of the check: $(tail -n 1 "$shm/peak") kB (target <= 16384 kB at 100,000)"
        rm -rf "$images"
    done

    if [[ "$runs" == *" convert "* ]]; then
    xex="$root/xex"
    mkdir -p "$xex" "$root/copies"
    "$xex_gen" "$xex" 1000 "$template" >/dev/null
    cat "$xex"/* "$template" >/dev/null
    pair "convert, 1,000 XEX files" 1.5 "rm -rf '$root/copies'; mkdir '$root/copies'" \
        "cat '$xex'/*.XEX >/dev/null; cd '$root/copies' && tee \$(seq -f %g.ATR 1000) <'$template' >/dev/null" \
        "rm -f '$xex'/*.ATR" "'$cli' convert --template '$template' '$xex' >'$root/out'"
    rm -f "$xex"/*.ATR
    echo "  system calls per file: korvane-cli convert" \
        "$(calls 1000 "$xex" "$cli" convert --template "$template" .)"
    rm -rf "$xex" "$root/copies"
    fi

    if [[ "$runs" == *" repair "* ]]; then
    broken="$root/broken"
    mkdir "$broken"
    "$atr_gen" --header "$broken/I0.ATR" 1024
    head -c 1044 /dev/urandom >>"$broken/I0.ATR"
    for i in $(seq 1 999); do cp "$broken/I0.ATR" "$broken/I$i.ATR"; done
    sync_floor=$([ "$fs" = ext4 ] && echo " && sync -f '$root'" || true)
    pair "repair, 1,000 images" "$([ "$fs" = ext4 ] && echo 1.5 || echo 1.1)" \
        "rm -rf '$root/copy'" "cp -r '$broken' '$root/copy'$sync_floor" \
        "rm -rf '$root/work'; cp -r '$broken' '$root/work'" \
        "'$cli' repair --fix-length file --overwrite-backup yes '$root/work' >'$root/out'"
    if [ -x "$repair_floor" ]; then
        pair "repair against its floor" "" \
            "rm -rf '$root/work'; cp -r '$broken' '$root/work'; sync -f '$root'" \
            "'$repair_floor' '$root/work'" \
            "rm -rf '$root/work'; cp -r '$broken' '$root/work'; sync -f '$root'" \
            "'$cli' repair --fix-length file --overwrite-backup yes '$root/work' >'$root/out'"
    fi
    rm -rf "$root/copy" "$root/work"
    cp -r "$broken" "$root/work"
    floor_calls=
    if [ -x "$repair_floor" ]; then
        floor_calls=", repair_floor $(calls 1000 "$root/work" "$repair_floor" .)"
        rm -rf "$root/work"
        cp -r "$broken" "$root/work"
    fi
    echo "  system calls per image: cp -r $(calls 1000 "$root" cp -r broken copy)$floor_calls," \
        "korvane-cli repair $(calls 1000 "$root/work" "$cli" repair --fix-length file \
            --overwrite-backup yes .)"
    rm -rf "$broken" "$root/copy" "$root/work"
    fi

    if [[ "$runs" == *" fit "* ]]; then
    big="$root/big"
    mkdir "$big"
    head -c 16000000 /dev/urandom >"$big/BIG.XEX"
    fit="'$cli' convert --fit --template '$template' '$big' >'$root/out'"
    if [ -x "$dir2atr" ]; then
        peer="'$dir2atr' -m -d -b MyPicoDos406 '$root/peer.atr' '$big'"
        pair "fit, one 16,000,000-byte XEX" 0.7 "rm -f '$root/peer.atr' '$big/BIG.ATR'" \
            "$peer" "rm -f '$big/BIG.ATR'" "$fit"
        if [ "$fs" = ext4 ]; then
            pair "fit, against dir2atr && sync -f" "" "rm -f '$root/peer.atr' '$big/BIG.ATR'" \
                "$peer && sync -f '$root'" "rm -f '$big/BIG.ATR'" "$fit"
        fi
    else
        echo "fit against dir2atr: skipped (none at $dir2atr; set DIR2ATR)"
    fi
    if [ -x "$mkatr" ]; then
        pair "fit, against mkatr" "" "rm -f '$root/peer.atr'" \
            "'$mkatr' '$root/peer.atr' -b '$big/BIG.XEX'" "rm -f '$big/BIG.ATR'" "$fit"
    else
        echo "fit against mkatr: skipped (none at $mkatr; set MKATR)"
    fi
    rm -rf "$big" "$root/peer.atr"
    fi
done
