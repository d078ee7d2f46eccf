#!/usr/bin/env bash
# Formatted and fit-mode disks read by two independent DOS readers, dmsc/mkatr's lsatr and
# jhallen/atari-tools' atr, built by the caller from their public sources outside the
# repository (checking tools only: never a dependency of the product or of CI):
#   1. every size the generator offers, formatted for its DOS (`generate --format`):
#      lsatr must show an empty directory and the free count the DOS formats; atr (which
#      knows only 720 x 128, 1040 x 128 and 720 x 256) must list nothing, pass its `check`,
#      take a file with `put` and give it back with `get`, and lsatr must read it too;
#      sizes a DOS can not format must be refused;
#   2. every disk kind of the fit mode (the template, enhanced density, double density and
#      each MyDOS size), from an XEX of the size that reaches it: lsatr must list
#      AUTORUN.SYS and KELDRIX.SYS, give AUTORUN.SYS back byte for byte and show the free
#      count left; atr, on the kinds it knows, must pass its `check` and give the file back.
#   bench/dos-readers.sh [BUILD_DIR]   LSATR=path ATR=path (default: on the PATH)
set -euo pipefail
source "$(dirname "$0")/bench-lib.sh"
template="$build/bin/KELDRIX.ATR"
require_build "$cli"
lsatr="${LSATR:-$(command -v lsatr || true)}"
atr="${ATR:-$(command -v atr || true)}"
[ -x "$lsatr" ] && [ -x "$atr" ] || { echo "set LSATR and ATR to the built readers" >&2; exit 2; }

scratch_dir
pass=0 fail=0
ok() { pass=$((pass + 1)); }
bad() { fail=$((fail + 1)); echo "FAIL: $*"; }
# The free count and total lsatr states: "... N sectors free of M total."
lsatr_free() { "$lsatr" "$1" | sed -n 's/.* \([0-9]*\) sectors free of \([0-9]*\) total\./\1 \2/p'; }
atr_knows() { case "$1" in 128x720 | 128x1040 | 256x720) return 0 ;; esac; return 1; }

# Free sectors of a fresh MyDOS disk: all but the boot sectors, the VTOC and the directory.
mydos_fresh() {
    local sectors=$1 size=$2 blocks=$((1 + ($1 + 80) / 2048))
    echo $((sectors - 3 - blocks * 256 / size - 8))
}

echo "== formatted disks"
mkdir "$data/fmt"
head -c 5000 /dev/urandom > "$data/file.bin"
for size in 128 256; do
    for sectors in 256 720 1040 1440 2880 32767 65535; do
        geometry="${size}x$sectors"
        case "$geometry" in
            128x720 | 256x720) dos=dos2 free=707 total=707 ;;
            128x1040) dos=dos25 free=707 total=1010 ;;
            *) dos=mydos free=$(mydos_fresh "$sectors" "$size") total=$free ;;
        esac
        name="F$geometry"
        "$cli" generate --format "$dos" --sector-size "$size" --sectors "$sectors" \
            --name "$name" "$data/fmt" > "$data/out" || true
        image="$data/fmt/$name.ATR"
        if [ "$sectors" -lt 720 ]; then
            grep -q "^ERROR: " "$data/out" && [ ! -e "$image" ] && ok ||
                bad "$geometry $dos not refused"
            echo "$geometry --format $dos: $(cat "$data/out")"
            continue
        fi
        read -r got_free got_total < <(lsatr_free "$image")
        listed=$("$lsatr" "$image" | tail -n +2 | wc -l)
        if [ "$got_free $got_total $listed" = "$free $total 0" ]; then ok; else
            bad "$geometry lsatr: $got_free free of $got_total, $listed files (want $free of $total)"
        fi
        line="$geometry --format $dos: lsatr $got_free free of $got_total, $listed files"
        if atr_knows "$geometry"; then
            [ -z "$("$atr" "$image" ls)" ] && "$atr" "$image" check | grep -q "All done" &&
                ! "$atr" "$image" check | grep -qi "error\|wrong\|mismatch" && ok ||
                bad "$geometry atr: directory not empty or check fails"
            "$atr" "$image" put "$data/file.bin" FILE.BIN > /dev/null
            "$atr" "$image" get file.bin "$data/back.bin" > /dev/null
            mkdir "$data/x" && (cd "$data/x" && "$lsatr" -x "$image" > /dev/null 2>&1)
            cmp -s "$data/file.bin" "$data/back.bin" && cmp -s "$data/file.bin" "$data/x/FILE.BIN" &&
                ok || bad "$geometry: the file atr added does not read back"
            rm -rf "$data/x" "$data/back.bin"
            line="$line; atr: empty, check passed, a file put reads back ($(lsatr_free "$image" | cut -d' ' -f1) free after it)"
        fi
        echo "$line"
    done
done

echo "== fit-mode disks"
# The XEX sizes that reach each disk kind: under 128 bytes (template), one byte more than
# the template holds, than enhanced density holds, and than each MyDOS size holds.
loader=$("$lsatr" "$template" | awk '/KELDRIX.SYS/ {print $1}')
largest() { # the longest file the MyDOS disk of $1 sectors holds beside the loader
    echo $((($(mydos_fresh "$1" 256) - (loader + 252) / 253) * 253))
}
sizes="20 87876 125751 178366"
for sectors in 1440 2048 4096 8192 16384 32768; do
    sizes="$sizes $(($(largest "$sectors") + 1))"
done
for length in $sizes; do
    dir="$data/fit$length"
    mkdir "$dir"
    { printf '\xff\xff'; head -c $((length - 2)) /dev/urandom; } > "$dir/P.XEX"
    "$cli" convert --fit --template "$template" "$dir" > "$dir/out" || true
    disk=$(sed -n 's/^ *Disk: \(.*\)/\1/p' "$dir/out")
    image="$dir/P.ATR"
    read -r got_free got_total < <(lsatr_free "$image")
    mkdir "$dir/x" && (cd "$dir/x" && "$lsatr" -x "$image" > /dev/null 2>&1)
    cmp -s "$dir/P.XEX" "$dir/x/AUTORUN.SYS" && [ -f "$dir/x/KELDRIX.SYS" ] && ok ||
        bad "$length: lsatr does not give AUTORUN.SYS back"
    line="$length bytes -> ${disk:-the template}: lsatr $got_free free of $got_total, AUTORUN.SYS reads back"
    size=$(($(od -An -tu2 -j4 -N2 "$image")))
    used=$(((length + size - 4) / (size - 3) + (loader + size - 4) / (size - 3)))
    # DOS 2.5 states the free sectors below 720 only (those above are in VTOC2).
    if [ "$got_total" != 1010 ] && [ $((got_total - got_free)) -ne "$used" ]; then
        bad "$length: $got_free free of $got_total, but the two files take $used sectors"
    fi
    geometry="$(($(od -An -tu2 -j4 -N2 "$image")))x$("$lsatr" "$image" | sed -n 's/.*: \([0-9]*\) sectors.*/\1/p')"
    if atr_knows "$geometry"; then
        "$atr" "$image" get autorun.sys "$dir/back" > /dev/null 2>&1 || true
        check=$("$atr" "$image" check 2>&1 || true)
        cmp -s "$dir/P.XEX" "$dir/back" && grep -q "All done" <<< "$check" && ok ||
            bad "$length: atr check or get fails"
        line="$line; atr: check $(grep -c "It's OK" <<< "$check") OK lines, AUTORUN.SYS reads back"
    fi
    echo "$line"
    rm -rf "$dir"
done
echo "passed $pass, failed $fail"
[ "$fail" -eq 0 ]
