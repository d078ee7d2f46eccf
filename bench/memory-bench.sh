#!/usr/bin/env bash
# Peak memory (`/usr/bin/time -f %M`) of one korvane-cli run on each of three large inputs,
# and the time of the first:
#   check   of a 2 GiB sparse image        (goal <= 16 MB, under 0.1 s)
#   convert of a 512 MiB sparse XEX file   (goal <= 16 MB; refused by its length)
#   repair  of a 64 MiB image, cut by 4 kB (goal <= 16 MB; copied in chunks)
#   repair  of 100,000 small images, each too long (its length question answered by the
#           option: no record of the questions grows with the run)
#   bench/memory-bench.sh [BUILD_DIR]   (a Release build; default build-release)
set -euo pipefail
source "$(dirname "$0")/bench-lib.sh"
gen="$build/bench/make_xex_set"
atr_gen="$build/bench/make_atr_set"
require_build "$cli" "$gen" "$atr_gen"

scratch_dir
mkdir "$data/check" "$data/convert" "$data/repair" "$data/many"

big=$(( (1 << 31) - 32 ))  # the largest data length below the 32-bit limit
"$atr_gen" --header "$data/check/HUGE.ATR" "$big"
truncate -s $((16 + big)) "$data/check/HUGE.ATR"
truncate -s $((512 << 20)) "$data/convert/BIG.XEX"
"$gen" --template "$data/KELDRIX.ATR" >/dev/null
repair=$((64 << 20))
"$atr_gen" --header "$data/repair/CUT.ATR" $((repair - 4096))
head -c "$repair" /dev/urandom >> "$data/repair/CUT.ATR"
"$atr_gen" --header "$data/many/I0.ATR" 1024
head -c 1044 /dev/zero >>"$data/many/I0.ATR"
(cd "$data/many" && seq -f I%g.ATR 1 99999 | xargs sh -c 'tee "$@" <I0.ATR >/dev/null' _)

peak() {  # LABEL GOAL COMMAND...
    local label=$1 goal=$2
    shift 2
    /usr/bin/time -f "%M" -o "$data/peak" "$@" >/dev/null 2>&1 || true
    printf '%-8s peak memory: %6s kB (%s)\n' "$label" "$(tail -n 1 "$data/peak")" "$goal"
}
peak check "goal <= 16384 kB" "$cli" check "$data/check"
peak convert "goal <= 16384 kB" "$cli" convert --template "$data/KELDRIX.ATR" "$data/convert"
peak repair "goal <= 16384 kB" "$cli" repair --fix-length file "$data/repair"
peak "repair of 100,000 images," "the listing and the run's written files grow with it" \
    "$cli" repair --fix-length file --overwrite-backup yes "$data/many"
echo "repaired: $(stat -c %s "$data/repair/CUT.ATR") bytes, backup $(stat -c %s "$data/repair/CUT_org.atr") bytes"
times=()
for _ in 1 2 3 4 5; do
    times+=("$(seconds "$cli" check "$data/check")")
done
printf 'check of the 2 GiB image, median of 5: %.4f s (goal < 0.1 s)\n' \
    "$(printf '%s\n' "${times[@]}" | median)"
