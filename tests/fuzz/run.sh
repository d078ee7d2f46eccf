#!/usr/bin/env bash
# Builds the repair fuzzer with clang in its own build directory and runs it.
#   tests/fuzz/run.sh                 for CI: 30 seconds in memory, then 300 inputs on disk
#   tests/fuzz/run.sh -max_total_time=600   any libFuzzer options for the run in memory
# Exits non-zero when the fuzzer finds an input that breaks a rule or crashes; such inputs
# are kept in FUZZ_ARTIFACTS (default build-fuzz/fuzz-artifacts). BUILD_DIR overrides the
# build directory (default: build-fuzz beside the sources).
set -euo pipefail
here="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
build_dir="${BUILD_DIR:-$here/../../build-fuzz}"
# Optimised, as fuzzers are: an unoptimised build runs several times fewer inputs.
CXX="${FUZZ_CXX:-clang++}" cmake -S "$here/../.." -B "$build_dir" -G Ninja >/dev/null \
    -DCMAKE_BUILD_TYPE=RelWithDebInfo -DKORVANE_SANITIZE=ON -DKORVANE_FUZZ=ON -DKORVANE_WERROR=ON
ninja -C "$build_dir" -j1 repair_fuzz
# New inputs go to a scratch corpus; the checked-in seeds are only read. The pass over
# real files writes to memory-backed storage where there is some.
scratch="$(mktemp -d)"
trap 'rm -rf "$scratch"' EXIT
artifacts="${FUZZ_ARTIFACTS:-$build_dir/fuzz-artifacts}"
mkdir -p "$artifacts" "$scratch/memory" "$scratch/disk"
fuzz() {
    "$build_dir/tests/repair_fuzz" -max_len=4096 -timeout=30 -artifact_prefix="$artifacts/" "$@"
}
[[ $# -eq 0 ]] && set -- -max_total_time=30 -seed=1
fuzz "$@" "$scratch/memory" "$here/corpus"
[[ -d /dev/shm ]] && export TMPDIR=/dev/shm
REPAIR_FUZZ_DISK=1 fuzz -runs=300 -seed=1 "$scratch/disk" "$here/corpus"
