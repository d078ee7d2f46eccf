# Shared by the benchmark scripts: the build to measure, timing and medians.
#   source "$(dirname "$0")/bench-lib.sh" [BUILD_DIR]
top="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
build="${1:-$top/build-release}"
cli="$build/bin/korvane-cli"

# Stops unless the named executables of the build exist.
require_build() {
    for program in "$@"; do
        [ -x "$program" ] || { echo "build $build first (Release): $program missing" >&2; exit 2; }
    done
}

# A scratch directory in $data, removed when the script ends.
scratch_dir() {
    data="$(mktemp -d)"
    trap 'rm -rf "$data"' EXIT
}

# COUNT broken images in DIR, with their md5sums in $data/sums: each header states 1024
# data bytes, each file holds 1044 random ones, so that a repair cuts every image.
broken_images() {
    mkdir "$2"
    LC_ALL=C awk -v n="$1" -v dir="$2" -v seed="$RANDOM" 'BEGIN {
        srand(seed)
        for (c = 0; c < 256; ++c) byte[c] = sprintf("%c", c)
        header = byte[150] byte[2] byte[64] byte[0] byte[128]
        for (k = 0; k < 11; ++k) header = header byte[0]
        for (i = 0; i < n; ++i) {
            data = ""
            for (j = 0; j < 1044; ++j) data = data byte[int(rand() * 256)]
            file = sprintf("%s/IMG%05d.ATR", dir, i)
            printf "%s%s", header, data > file
            close(file)
        }
    }'
    (cd "$2" && md5sum -- *) > "$data/sums"
}

# Counts what a run over DIR (default $data/work) left against $data/sums and
# $data/repaired-sums: originals lost, partial images (neither the original nor its
# repair under the image's name) and temporaries left; counts a failing line in $failures.
verify() {  # LABEL [DIR]
    local dir="${2:-$data/work}" lost partial left
    read -r lost partial < <( (cd "$dir" && md5sum -- *) 2>/dev/null | awk '
        FILENAME == ARGV[1] { have[$2] = $1; next }
        FILENAME == ARGV[2] { repaired[$2] = $1; next }
        { now[$2] = $1 }
        END {
            for (name in have) {
                base = name; sub(/\.ATR$/, "", base)
                if (now[name] == have[name]) continue
                if (now[base "_org.atr"] != have[name]) lost++
                if ((name in now) && now[name] != repaired[name]) partial++
            }
            print lost + 0, partial + 0
        }' "$data/sums" "$data/repaired-sums" -)
    left=$(find "$dir" -name '.korvane-*' ! -name '.korvane-lock' | wc -l)
    echo "$1: originals lost: $lost, partial images: $partial, temporaries left: $left"
    [[ $lost -eq 0 && $partial -eq 0 && $left -eq 0 ]] || failures=$((failures + 1))
}

# The median of the numbers on standard input, one per line.
median() { sort -n | awk '{a[NR]=$1} END {print a[int((NR+1)/2)]}'; }

# Wall-clock seconds of one command, its output and exit status ignored.
seconds() {
    local s e
    s=$(date +%s.%N)
    "$@" >/dev/null 2>&1 || true
    e=$(date +%s.%N)
    echo "$e - $s" | bc -l
}

# Prints both medians and their ratio against the target: LABEL BASE_LABEL VALUE BASE.
report_ratio() {
    printf '%-8s median: %.4f s\n' "$2" "$4"
    printf '%-8s median: %.4f s\n' "$1" "$3"
    printf 'ratio %s/%s: %.2f (target <= 1.5)\n' "$1" "$2" "$(echo "$3 / $4" | bc -l)"
}
