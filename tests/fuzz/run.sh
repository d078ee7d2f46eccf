#!/usr/bin/env bash
# Builds the repair fuzzer with clang in its own build directory and runs it.
#   tests/fuzz/run.sh                 a short fixed run (2000 inputs, seed 1), for CI
#   tests/fuzz/run.sh -max_total_time=600   any libFuzzer options instead
# Exits non-zero when the fuzzer finds an input that breaks a rule or crashes; such inputs
# are kept in FUZZ_ARTIFACTS (default build-fuzz/fuzz-artifacts). BUILD_DIR overrides the
# build directory (default: build-fuzz beside the sources).
set -euo pipefail
here="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
build_dir="${BUILD_DIR:-$here/../../build-fuzz}"
if [[ ! -f "$build_dir/build.ninja" ]]; then
    CXX="${FUZZ_CXX:-clang++}" cmake -S "$here/../.." -B "$build_dir" -G Ninja \
        -DCMAKE_BUILD_TYPE=Debug -DKORVANE_SANITIZE=ON -DKORVANE_FUZZ=ON
fi
ninja -C "$build_dir" -j1 repair_fuzz
# New inputs go to a scratch corpus; the checked-in seeds are only read. The images are
# written to memory-backed storage where there is some.
scratch="$(mktemp -d)"
trap 'rm -rf "$scratch"' EXIT
[[ -d /dev/shm ]] && export TMPDIR=/dev/shm
artifacts="${FUZZ_ARTIFACTS:-$build_dir/fuzz-artifacts}"
mkdir -p "$artifacts"
[[ $# -eq 0 ]] && set -- -runs=2000 -seed=1
"$build_dir/tests/repair_fuzz" -max_len=4096 -timeout=30 -artifact_prefix="$artifacts/" \
    "$@" "$scratch" "$here/corpus"
