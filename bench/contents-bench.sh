#!/usr/bin/env bash
# The disk-contents tool (`korvane-cli list` and `korvane-cli extract`):
#   1. agreement with two independent readers, built here from their public sources
#      outside the repository (in $PEERS, default ~/.cache/korvane-peers; never a part
#      of the product or of CI): lsatr of github.com/dmsc/mkatr and atr of
#      github.com/jhallen/atari-tools. 200 disks of each kind: our fit-mode disks from
#      `korvane-cli convert --fit` (DOS 2.0 single density, DOS 2.5 enhanced density,
#      DOS 2.0 double density, MyDOS), disks atr writes (mkfs dos2.0s, dos2.5, dos2.0d,
#      then 1 to 8 files put) and SpartaDOS disks mkatr writes. Per disk: our listing's
#      names and byte counts against lsatr's and (on the disks atr reads: not MyDOS)
#      atr's; our extracted files against those of `lsatr -x` and of `atr x`, byte for
#      byte; SpartaDOS disks must be named so.
#   2. `list` of 10,000 images against `cat` of the same images to /dev/null, warm
#      cache, median of 5 (target: ratio <= 1.5).
#   3. peak memory (`/usr/bin/time -f %M`) of `list` of one MyDOS image of about 16 MB
#      (target: < 16 MB).
#   bench/contents-bench.sh [BUILD_DIR]   (a Release build; default build-release)
#   COUNT=200 PEERS=DIR SEED=N            disks per kind, peers' place, random seed
#   AGREEMENT_ONLY=1                      part 1 alone
set -euo pipefail
source "$(dirname "$0")/bench-lib.sh"
template="$build/bin/KELDRIX.ATR"
require_build "$cli"
[ -f "$template" ] || { echo "build $build with the boot disk: $template missing" >&2; exit 2; }
count=${COUNT:-200}
peers=${PEERS:-$HOME/.cache/korvane-peers}
seed=${SEED:-$RANDOM}
RANDOM=$seed
echo "seed $seed, $count disks per kind"

# The peers: fetched when missing, built with their own makefiles.
fetch_peer() {  # fetch_peer NAME URL
    [ -f "$peers/$1/Makefile" ] || git clone -q --depth 1 "$2" "$peers/$1"
}
mkdir -p "$peers"
fetch_peer mkatr https://github.com/dmsc/mkatr
fetch_peer atari-tools https://github.com/jhallen/atari-tools
make -s -C "$peers/mkatr" >/dev/null 2>&1
make -s -C "$peers/atari-tools" atr >/dev/null 2>&1
lsatr="$peers/mkatr/lsatr" mkatr="$peers/mkatr/mkatr" atr="$peers/atari-tools/atr"
require_build "$lsatr" "$mkatr" "$atr"

scratch_dir
random_file() {  # random_file PATH LENGTH
    head -c "$2" /dev/urandom >"$1"
}
between() {  # between LOW HIGH: a random number from LOW to HIGH
    echo $(($1 + (RANDOM * 32768 + RANDOM) % ($2 - $1 + 1)))
}

# Our listing of one image as "NAME BYTES" lines, sorted; lsatr's the same way.
our_list() {
    "$cli" list "$1" | awk '/^        File system:/ {on = 1; next}
        on && /^        [^ ]+ +[0-9]+ sectors +[0-9]+ bytes/ && !/ deleted$/ {print $1, $4}
        /^        [0-9]+ files?, / {on = 0}' | sort
}
peer_list() {
    "$lsatr" "$1" 2>/dev/null | awk -F'\t' 'NR > 1 {sub("^/", "", $NF); gsub(" ", "", $1); print $NF, $1}' | sort
}
atr_list() {
    "$atr" "$1" ls -la1 2>/dev/null | awk '/^-/ {print toupper($NF), $2}' | sort
}

declare -A disks listed extracted atr_listed atr_extracted
check_disk() {  # check_disk KIND IMAGE [atr]
    local kind=$1 image=$2 ours="$data/ours" theirs="$data/theirs" same=1
    disks[$kind]=$((${disks[$kind]:-0} + 1))
    if [ "$(our_list "$image")" = "$(peer_list "$image")" ]; then
        listed[$kind]=$((${listed[$kind]:-0} + 1))
    fi
    rm -rf "$ours" "$theirs" && mkdir "$ours" "$theirs"
    "$cli" extract "$image" --to "$ours" >/dev/null || true
    (cd "$theirs" && "$lsatr" -x "$image" >/dev/null 2>&1) || true
    if [ -n "$(ls "$ours")" ] && diff -r "$ours" "$theirs" >/dev/null; then
        extracted[$kind]=$((${extracted[$kind]:-0} + 1))
    fi
    if [ "${3:-}" = atr ]; then
        if [ "$(our_list "$image")" = "$(atr_list "$image")" ]; then
            atr_listed[$kind]=$((${atr_listed[$kind]:-0} + 1))
        fi
        rm -rf "$theirs" && mkdir "$theirs"
        # In the folder itself: atr's own -o loses the folder's name after the first file.
        (cd "$theirs" && "$atr" "$image" x -a >/dev/null 2>&1) || true
        for file in "$ours"/*; do
            cmp -s "$file" "$theirs/$(basename "$file" | tr 'A-Z' 'a-z')" || same=0
        done
        if [ "$same" = 1 ]; then
            atr_extracted[$kind]=$((${atr_extracted[$kind]:-0} + 1))
        fi
    fi
}

# Our fit-mode disks: XEX sizes that land on each kind.
declare -A low=([sd]=100 [ed]=90000 [dd]=128000 [mydos]=180000)
declare -A high=([sd]=87000 [ed]=125000 [dd]=177000 [mydos]=1500000)
for kind in sd ed dd mydos; do
    mkdir "$data/xex-$kind"
    for i in $(seq 1 "$count"); do
        random_file "$data/xex-$kind/F$i.XEX" "$(between "${low[$kind]}" "${high[$kind]}")"
    done
    "$cli" convert --fit --template "$template" "$data/xex-$kind" >/dev/null || true
    for image in "$data/xex-$kind"/*.ATR; do
        with_atr=atr
        [ "$kind" = mydos ] && with_atr=
        check_disk "fit $kind" "$image" $with_atr
    done
done

# Disks atari-tools writes: 1 to 8 files of 1 byte to 20 kB.
for kind in dos2.0s dos2.5 dos2.0d; do
    mkdir "$data/atr-$kind"
    for i in $(seq 1 "$count"); do
        image="$data/atr-$kind/D$i.ATR"
        "$atr" "$image" mkfs "$kind" >/dev/null 2>&1
        for f in $(seq 1 "$(between 1 8)"); do
            random_file "$data/file" "$(between 1 20000)"
            "$atr" "$image" put "$data/file" "FILE$f.B$i" >/dev/null 2>&1 || true
        done
        check_disk "atr $kind" "$image" atr
    done
done

# SpartaDOS disks mkatr writes: named, not read.
sparta=0
mkdir "$data/sparta"
for i in $(seq 1 "$count"); do
    random_file "$data/file" "$(between 1 20000)"
    "$mkatr" "$data/sparta/S$i.ATR" "$data/file" >/dev/null 2>&1
    case "$("$cli" list "$data/sparta/S$i.ATR")" in
        *"File system: SpartaDOS"*) sparta=$((sparta + 1)) ;;
    esac
done

echo
printf '%-14s %6s %13s %17s %11s %14s\n' kind disks "list=lsatr" "files=lsatr -x" "list=atr" \
    "files=atr x"
for kind in "fit sd" "fit ed" "fit dd" "fit mydos" "atr dos2.0s" "atr dos2.5" "atr dos2.0d"; do
    printf '%-14s %6s %13s %17s %11s %14s\n' "$kind" "${disks[$kind]:-0}" "${listed[$kind]:-0}" \
        "${extracted[$kind]:-0}" "${atr_listed[$kind]:--}" "${atr_extracted[$kind]:--}"
done
printf '%-14s %6s %s\n' "mkatr sparta" "$count" "named SpartaDOS: $sparta"

[ -z "${AGREEMENT_ONLY:-}" ] || exit 0

# 2. list against cat over 10,000 images: copies of the disks above.
mkdir "$data/many"
sources=("$data"/xex-sd/*.ATR "$data"/xex-ed/*.ATR "$data"/xex-dd/*.ATR "$data"/atr-*/*.ATR)
for i in $(seq 1 10000); do
    cp "${sources[$((i % ${#sources[@]}))]}" "$data/many/M$i.ATR"
done
cat "$data"/many/* >/dev/null
list_times=(); cat_times=()
for _ in 1 2 3 4 5; do
    cat_times+=("$(seconds sh -c "cat '$data'/many/* >/dev/null")")
    list_times+=("$(seconds "$cli" list "$data/many")")
done
echo
report_ratio list cat "$(printf '%s\n' "${list_times[@]}" | median)" \
    "$(printf '%s\n' "${cat_times[@]}" | median)"

# 3. peak memory of one 16 MB MyDOS image.
mkdir "$data/big"
random_file "$data/big/BIG.XEX" 16000000
"$cli" convert --fit --template "$template" "$data/big" >/dev/null
/usr/bin/time -f '%M' -o "$data/peak" "$cli" list "$data/big/BIG.ATR" >/dev/null
printf 'list of a %s-byte MyDOS image: peak memory %s kB (target < 16384 kB)\n' \
    "$(stat -c %s "$data/big/BIG.ATR")" "$(cat "$data/peak")"
