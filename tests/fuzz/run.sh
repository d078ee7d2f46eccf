#!/usr/bin/env bash
# Builds the repair fuzzer with clang in its own build directory and runs it.
#   tests/fuzz/run.sh                 a short fixed run (2000 inputs), for CI
#   tests/fuzz/run.sh -max_total_time=600   any libFuzzer options instead
# Exits non-zero when the fuzzer finds an input that breaks a rule or crashes.
# BUILD_DIR overrides the build directory (default: build-fuzz beside the sources).
set -euo pipefail
here="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
source_dir="$(cd "$here/../.." && pwd)"
build_dir="${BUILD_DIR:-$source_dir/build-fuzz}"

if [[ ! -f "$build_dir/build.ninja" ]]; then
    CXX="${FUZZ_CXX:-clang++}" cmake -S "$source_dir" -B "$build_dir" -G Ninja \
        -DCMAKE_BUILD_TYPE=Debug -DKORVANE_SANITIZE=ON -DKORVANE_FUZZ=ON
fi
ninja -C "$build_dir" -j1 repair_fuzz

# New inputs go to a scratch corpus; the checked-in seeds are only read.
scratch="$(mktemp -d)"
trap 'rm -rf "$scratch"' EXIT
options=("$@")
if [[ ${#options[@]} -eq 0 ]]; then
    # Fixed seed: the same 2000 inputs on every CI run.
    options=(-runs=2000 -seed=1)
fi
# Crashing inputs are kept for the report: FUZZ_ARTIFACTS, default build-fuzz/fuzz-artifacts.
artifacts="${FUZZ_ARTIFACTS:-$build_dir/fuzz-artifacts}"
mkdir -p "$artifacts"
"$build_dir/tests/repair_fuzz" -max_len=4096 -timeout=30 -artifact_prefix="$artifacts/" \
    "${options[@]}" \
    "$scratch" "$here/corpus"
