#!/usr/bin/env bash
# Times `korvane-cli convert` over 1,000 XEX files of mixed sizes (128 bytes up to the
# largest that fits the template, its free sectors × 125) against writing the same 1,000 outputs of 92,176 bytes
# with `cp` of the template, warm cache, median of 5 runs. Uses the build's KELDRIX.ATR
# when there is one, otherwise a stand-in template from make_xex_set.
#   bench/convert-bench.sh [BUILD_DIR]   (a Release build; default build-release)
set -euo pipefail
source "$(dirname "$0")/bench-lib.sh"
gen="$build/bench/make_xex_set"
require_build "$cli" "$gen"

scratch_dir
template="$build/bin/KELDRIX.ATR"
if [ ! -f "$template" ]; then
    template="$data/KELDRIX.ATR"
    "$gen" --template "$template"
    echo "template: stand-in from make_xex_set"
else
    echo "template: $template"
fi
mkdir "$data/xex" "$data/cp"
"$gen" "$data/xex" 1000 "$template"
du -sh "$data/xex" | sed 's/^/data: /'

clean() { rm -f "$data"/xex/*.ATR "$data"/cp/*; }
copy_all() { for i in $(seq -w 0 999); do cp "$template" "$data/cp/GAME0$i.ATR"; done; }

cat "$data"/xex/* "$template" >/dev/null  # warm the cache
"$cli" convert --template "$template" "$data/xex" >/dev/null || true
[ "$(ls "$data"/xex/*.ATR | wc -l)" -eq 1000 ] || { echo "not every file converted" >&2; exit 1; }
cp_times=(); convert_times=()
for _ in 1 2 3 4 5; do
    clean; sync
    cp_times+=("$(seconds copy_all)")
    clean; sync
    convert_times+=("$(seconds "$cli" convert --template "$template" "$data/xex")")
done
cp_median=$(printf '%s\n' "${cp_times[@]}" | median)
convert_median=$(printf '%s\n' "${convert_times[@]}" | median)
report_ratio convert cp "$convert_median" "$cp_median"

# A stricter reference: one process writing all 1,000 copies (no process start per file).
clean; sync
tee_time=$(seconds sh -c "cd '$data/cp' && tee \$(seq -f 'T%04g.ATR' 0 999) < '$template'")
printf 'tee (one process, 1,000 copies): %.3f s\n' "$tee_time"
