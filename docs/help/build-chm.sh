#!/bin/sh
# Rebuilds korvane.CHM, the compiled help file, from the pages beside this script.
# Needs chmcmd (Debian package fp-utils). Commit the result together with the pages.
set -eu
cd "$(dirname "$0")"
if ! command -v chmcmd >/dev/null 2>&1; then
    echo "build-chm.sh: chmcmd not found (install fp-utils)" >&2
    exit 2
fi
rm -f korvane.CHM
chmcmd korvane.hhp
test -s korvane.CHM
echo "built $(pwd)/korvane.CHM"
