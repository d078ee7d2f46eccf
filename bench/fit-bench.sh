#!/usr/bin/env bash
# The converter's fit mode (`korvane-cli convert --fit`):
#   1. 1,000 XEX files of mixed sizes that both modes convert (make_xex_set: 128 bytes up
#      to the template's free sectors × 125), warm cache, median of 5: --fit against the
#      default mode (target: ratio <= 1.5);
#   2. the same directory with 100 more files only the fit mode converts (50 of 20 bytes,
#      50 from 100 kB to 1 MB), once, for the record;
#   3. peak memory (`/usr/bin/time -f %M`) of one --fit run on a 16,000,000-byte XEX,
#      which goes onto a MyDOS disk of 65,535 sectors (target: < 64 MB).
#   bench/fit-bench.sh [BUILD_DIR]   (a Release build; default build-release)
set -euo pipefail
source "$(dirname "$0")/bench-lib.sh"
gen="$build/bench/make_xex_set"
template="$build/bin/KELDRIX.ATR"
require_build "$cli" "$gen"
[ -f "$template" ] || { echo "build $build with the boot disk: $template missing" >&2; exit 2; }

scratch_dir
mkdir "$data/xex" "$data/big"
"$gen" "$data/xex" 1000 "$template"
cat "$data"/xex/* "$template" >/dev/null  # warm the cache

clean() { rm -f "$data"/xex/*.ATR; }
default_times=(); fit_times=()
for _ in 1 2 3 4 5; do
    clean; sync
    default_times+=("$(seconds "$cli" convert --template "$template" "$data/xex")")
    [ "$(ls "$data"/xex/*.ATR | wc -l)" -eq 1000 ] || { echo "not every file converted" >&2; exit 1; }
    clean; sync
    fit_times+=("$(seconds "$cli" convert --fit --template "$template" "$data/xex")")
done
report_ratio fit default "$(printf '%s\n' "${fit_times[@]}" | median)" \
    "$(printf '%s\n' "${default_times[@]}" | median)"

for i in $(seq -w 0 49); do
    head -c 20 /dev/urandom > "$data/xex/TINY$i.XEX"
    head -c $((100000 + 10#$i * 18000)) /dev/urandom > "$data/xex/LARGE$i.XEX"
done
clean; sync
printf 'fit, 1,100 files (100 only it converts): %.3f s, %s images\n' \
    "$(seconds "$cli" convert --fit --template "$template" "$data/xex")" \
    "$(ls "$data"/xex/*.ATR | wc -l)"

head -c 16000000 /dev/urandom > "$data/big/BIG.XEX"
/usr/bin/time -f "%M" -o "$data/peak" "$cli" convert --fit --template "$template" "$data/big" \
    >/dev/null 2>&1 || true
printf '16,000,000-byte XEX: %s bytes image, peak memory %s kB (target < 65536 kB)\n' \
    "$(stat -c %s "$data/big/BIG.ATR")" "$(tail -n 1 "$data/peak")"
