#!/bin/sh
# Renders the window in its three modes, after a check run, the About box and the help
# window into the PNG files of this directory, on Qt's offscreen platform (no display
# needed). Usage: docs/screenshots/make-screenshots.sh [BUILD_DIRECTORY]
set -eu
here="$(cd "$(dirname "$0")" && pwd)"
build="${1:-$here/../../build}"
tool="$build/screenshots/korvane-screenshots"
if [ ! -x "$tool" ]; then
    echo "make-screenshots.sh: $tool not built (ninja -C $build korvane-screenshots)" >&2
    exit 2
fi
QT_QPA_PLATFORM=offscreen ASAN_OPTIONS="${ASAN_OPTIONS:-detect_leaks=0}" "$tool" "$here"
