#!/usr/bin/env bash
# Counts non-blank, non-comment lines of the product code and of the tests, and prints
# their ratio. Product code: engines/, ui/, app/, cli/, bootdisk/ (C++ and the 6502
# loader). Tests: everything under tests/ (cases, support, fuzzer, 6502 simulation, test
# programs). bench/, docs/ and CMake files count on neither side.
#   scripts/count-lines.sh            the totals and the ratio
#   scripts/count-lines.sh --areas    the same, with a line per directory
set -euo pipefail
cd "$(dirname "${BASH_SOURCE[0]}")/.."

# Non-blank lines that are not whole-line comments: "//" in C++, "#" in shell and
# Python scripts, ";" in 6502 assembly. Preprocessor lines are code on both sides.
count() {  # count FILES...
    [ $# -eq 0 ] && { echo 0; return; }
    local total=0 file comment
    for file in "$@"; do
        case "$file" in
            *.sh | *.py) comment='#' ;;
            *.s | *.inc) comment=';' ;;
            *) comment='//' ;;
        esac
        total=$((total + $(grep -c -v -E "^\s*($comment.*)?$" "$file" || true)))
    done
    echo "$total"
}
code_files() { git ls-files "$@" | grep -E '\.(cpp|h|hpp|cc|s|inc|asm)$' || true; }
test_files() { git ls-files "$@" | grep -E '\.(cpp|h|hpp|cc|py|sh|s|inc)$' || true; }

mapfile -t code < <(code_files engines ui app cli bootdisk)
mapfile -t tests < <(test_files tests)
code_lines=$(count "${code[@]}")
test_lines=$(count "${tests[@]}")

if [ "${1:-}" = "--areas" ]; then
    for area in engines ui app cli bootdisk; do
        mapfile -t files < <(code_files "$area")
        printf '  %-22s %6s\n' "$area/" "$(count "${files[@]}")"
    done
    for area in $(git ls-files tests | cut -d/ -f2 | sort -u); do
        [ -d "tests/$area" ] || continue
        mapfile -t files < <(test_files "tests/$area")
        printf '  %-22s %6s\n' "tests/$area/" "$(count "${files[@]}")"
    done
fi
echo "product code: $code_lines lines, tests: $test_lines lines," \
    "ratio $(awk -v t="$test_lines" -v c="$code_lines" 'BEGIN { printf "%.3f", t / c }')"
