#!/usr/bin/env bash
# Times `korvane-cli convert` over 1,000 XEX files of mixed sizes (128 bytes up to the
# largest that fits the template, its free sectors × 125) against writing the same 1,000 outputs of 92,176 bytes
# with `cp` of the template, warm cache, median of 5 runs. Uses the build's KELDRIX.ATR
# when there is one, otherwise a stand-in template from make_xex_set.
#   bench/convert-bench.sh [BUILD_DIR]   (a Release build; default build-release)
set -euo pipefail
top="$(cd "$(dirname "$0")/.." && pwd)"
build="${1:-$top/build-release}"
cli="$build/bin/korvane-cli"
gen="$build/bench/make_xex_set"
[ -x "$cli" ] && [ -x "$gen" ] || { echo "build $build first (Release)" >&2; exit 2; }

data="$(mktemp -d)"
trap 'rm -rf "$data"' EXIT
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

median() { sort -n | awk '{a[NR]=$1} END {print a[int((NR+1)/2)]}'; }
seconds() { local s e; s=$(date +%s.%N); "$@" >/dev/null 2>&1 || true; e=$(date +%s.%N); echo "$e - $s" | bc -l; }
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
printf 'cp      median: %.3f s\n' "$cp_median"
printf 'convert median: %.3f s\n' "$convert_median"
printf 'ratio convert/cp: %.2f (target <= 1.5)\n' "$(echo "$convert_median / $cp_median" | bc -l)"

# A stricter reference: one process writing all 1,000 copies (no process start per file).
clean; sync
tee_time=$(seconds sh -c "cd '$data/cp' && tee \$(seq -f 'T%04g.ATR' 0 999) < '$template'")
printf 'tee (one process, 1,000 copies): %.3f s\n' "$tee_time"
