#!/usr/bin/env bash
# Converts every XEX file of a directory with korvane-cli and the build's KELDRIX.ATR
# and, when the atari800 emulator is on the PATH, reports how many emulated frames each
# converted image takes from power-on to the program's RUN. For the measurement a copy
# of each XEX gets one more segment: RUNAD points at a stub that stops on an illegal
# opcode ($02), which drops atari800 (a build without the graphical menu) into its
# monitor; the monitor's dump of RTCLOK ($12-$14, the OS frame counter) gives the frames.
# Without atari800 it says so and skips the measurement. Not part of CI.
#   bench/boot-bench.sh XEX_DIR [BUILD_DIR]
set -euo pipefail
[ $# -ge 1 ] || { echo "usage: bench/boot-bench.sh XEX_DIR [BUILD_DIR]" >&2; exit 2; }
xex_dir="$1"
source "$(dirname "$0")/bench-lib.sh" "${2:-}"
template="$build/bin/KELDRIX.ATR"
require_build "$cli"
[ -f "$template" ] || { echo "build $build first: $template missing" >&2; exit 2; }

work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
mkdir "$work/plain" "$work/timed"
cp "$xex_dir"/*.[xX][eE][xX] "$work/plain"/ 2>/dev/null || { echo "no XEX files in $xex_dir" >&2; exit 2; }
"$cli" convert --template "$template" "$work/plain" >/dev/null || true
echo "converted: $(ls "$work"/plain/*.ATR 2>/dev/null | wc -l) of" \
    "$(ls "$work"/plain/*.[xX][eE][xX] | wc -l) files"

if ! command -v atari800 >/dev/null 2>&1; then
    echo "atari800 not found on the PATH: load times in emulated frames skipped"
    exit 0
fi

# The timed copy: the file, then a stub at $06E0 (a $02 opcode) and RUNAD pointing at it.
for xex in "$work"/plain/*.[xX][eE][xX]; do
    { cat "$xex"; printf '\xe0\x06\xe0\x06\x02\xe0\x02\xe1\x02\xe0\x06'; } >"$work/timed/$(basename "$xex")"
done
"$cli" convert --template "$template" "$work/timed" >/dev/null || true

printf '%-16s %10s\n' "image" "frames"
for atr in "$work"/timed/*.ATR; do
    dump=$(printf 'm 12\nquit\n' | SDL_VIDEODRIVER=dummy timeout 60 \
        atari800 -xl -nobasic -nosound -turbo "$atr" 2>/dev/null | grep -i -m1 '^0012' || true)
    # RTCLOK: $12 is the high byte, $14 counts every frame.
    frames=$(echo "$dump" | awk '{ printf "%d", strtonum("0x" $2) * 65536 + strtonum("0x" $3) * 256 + strtonum("0x" $4) }')
    printf '%-16s %10s\n' "$(basename "$atr" .ATR)" "${frames:-no result}"
done
