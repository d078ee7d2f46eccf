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
# Images found only under their backup names are counted too, and fail the line unless
# a third argument "cut" says it is right after a power cut: then they, and temporaries
# left, are the next run's to put back and remove.
verify() {  # LABEL [DIR] [cut]
    local dir="${2:-$data/work}" lost partial moved left
    # An image's name is looked up with "in" first: reading now[name] would add it.
    read -r lost partial moved < <( (cd "$dir" && md5sum -- *) 2>/dev/null | awk '
        FILENAME == ARGV[1] { have[$2] = $1; next }
        FILENAME == ARGV[2] { repaired[$2] = $1; next }
        { now[$2] = $1 }
        END {
            for (name in have) {
                base = name; sub(/\.ATR$/, "", base)
                present = name in now
                if (present && now[name] == have[name]) continue
                if (now[base "_org.atr"] != have[name]) lost++
                else if (!present) moved++
                if (present && now[name] != repaired[name]) partial++
            }
            print lost + 0, partial + 0, moved + 0
        }' "$data/sums" "$data/repaired-sums" -)
    left=$(find "$dir" -name '.korvane-*' ! -name '.korvane-lock' | wc -l)
    if [[ ${3:-} == cut || $moved -ne 0 ]]; then
        echo "$1: originals lost: $lost, partial images: $partial, temporaries left: $left," \
            "images only under their backup names: $moved"
    else
        echo "$1: originals lost: $lost, partial images: $partial, temporaries left: $left"
    fi
    # Outside a cut's aftermath, an image only under its backup name was not put back.
    [[ $lost -eq 0 && $partial -eq 0 && (${3:-} == cut || ($left -eq 0 && $moved -eq 0)) ]] ||
        failures=$((failures + 1))
}

# Waits up to SECONDS (default 30) until COMMAND succeeds; fails if it never does.
wait_until() {  # SECONDS COMMAND...
    local tries=$(($1 * 10))
    shift
    until "$@"; do
        tries=$((tries - 1))
        [[ $tries -gt 0 ]] || return 1
        sleep 0.1
    done
}

# A loop device over FILE, printed; and its removal, waiting until the device is free
# (it goes once its last user, such as a FUSE daemon still unmounting, has closed it).
loop_over() { losetup -f --show "$1"; }
loop_gone() { ! losetup -l -n -O NAME | grep -qx "$1"; }
unloop() {  # DEVICE
    losetup -d "$1" 2>/dev/null || true
    wait_until 60 loop_gone "$1" || echo "loop device $1 still busy" >&2
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
