#!/usr/bin/env bash
# Set-up, build and run in one step on a Debian 12 machine.
#   scripts/korvane.sh run    install what is missing, build, start the program
#   scripts/korvane.sh test   install what is missing, build with sanitizers, run all tests
#   scripts/korvane.sh package  install what is missing, build the Debian package into
#                               build-deb/ and check it with lintian
set -euo pipefail

top="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
jobs="$(nproc 2>/dev/null || echo 2)"

packages=(build-essential cmake ninja-build ccache libgtest-dev qt6-base-dev qt6-svg-dev cc65
          libchm-dev clang libclang-rt-14-dev fonts-noto-mono eatmydata python3-jsonschema
          xvfb xauth openbox xdotool)

install_missing() {
    local missing=()
    for p in "${packages[@]}"; do
        dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" ||
            missing+=("$p")
    done
    [ ${#missing[@]} -eq 0 ] && return 0
    echo "Installing: ${missing[*]}"
    local sudo=""
    [ "$(id -u)" -ne 0 ] && sudo="sudo"
    $sudo apt-get update -qq
    DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends \
        "${missing[@]}"
}

case "${1:-}" in
    run)
        install_missing
        cmake -S "$top" -B "$top/build-release" -G Ninja -DCMAKE_BUILD_TYPE=Release \
            -DKORVANE_TESTS=OFF
        cmake --build "$top/build-release" -j "$jobs"
        if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
            echo "No display: the window needs a desktop session (or ssh -X, or xvfb-run)."
            echo "Meanwhile, korvane-cli on the sample images the build wrote:"
            "$top/build-release/bin/korvane-cli" check "$top/build-release/samples" || true
            exit 0
        fi
        cd "$top/build-release/samples"
        exec "$top/build-release/bin/korvane"
        ;;
    test)
        install_missing
        cmake -S "$top" -B "$top/build" -G Ninja -DCMAKE_BUILD_TYPE=Debug -DKORVANE_SANITIZE=ON \
            -DKORVANE_WERROR=ON
        cmake --build "$top/build" -j "$jobs"
        # The repair fuzzer, built with clang, for a fixed time in memory and a few hundred
        # inputs on disk; its chatter goes to a log that is shown only when it finds something.
        echo "Fuzzing the repair run (log: build-fuzz/fuzz.log)"
        mkdir -p "$top/build-fuzz"
        if ! BUILD_DIR="$top/build-fuzz" "$top/tests/fuzz/run.sh" >"$top/build-fuzz/fuzz.log" 2>&1; then
            tail -n 60 "$top/build-fuzz/fuzz.log"
            echo "the repair fuzzer found a failing input" >&2
            exit 1
        fi
        grep -E '^Done [0-9]+ runs' "$top/build-fuzz/fuzz.log" || true
        ctest --test-dir "$top/build" --output-on-failure -j "$jobs"
        ;;
    package)
        # The build dependencies of debian/control, and the tools of the package build.
        packages=(build-essential dpkg-dev debhelper cmake ninja-build qt6-base-dev qt6-svg-dev
                  libchm-dev cc65 appstream desktop-file-utils lintian)
        install_missing
        cd "$top"
        DEB_BUILD_OPTIONS="parallel=$jobs" dpkg-buildpackage -b -us -uc
        # dpkg-buildpackage writes beside the source tree; the results go into build-deb/.
        version=$(dpkg-parsechangelog -S Version)
        rm -rf "$top/build-deb" && mkdir -p "$top/build-deb"
        mv ../korvane_"$version"_* ../korvane-dbgsym_"$version"_* "$top/build-deb/"
        lintian --fail-on error "$top"/build-deb/korvane_*.changes
        echo "lintian: no errors"
        ls "$top"/build-deb/*.deb
        ;;
    *)
        echo "usage: scripts/korvane.sh run|test|package" >&2
        exit 2
        ;;
esac
