#!/usr/bin/env bash
# Builds the Debian package on this (clean Debian 12) machine, installs it with apt, and
# uses it as a user would: the manual page, bash completion, the window under Xvfb, and
# korvane-cli from the PATH. Run as root or with sudo; it installs what it needs.
set -euo pipefail

top="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
sudo=""
[ "$(id -u)" -ne 0 ] && sudo="sudo"
step() { printf '\n=== %s\n' "$*"; }

step "Building the package: scripts/korvane.sh package"
"$top/scripts/korvane.sh" package

step "Installing it: apt install ./korvane_*.deb"
cd "$top/build-deb"
$sudo apt-get install -y -qq man-db bash-completion xvfb xauth x11-utils >/dev/null
DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y ./korvane_*.deb
dpkg -L korvane | grep -v '/$' | sort

step "man korvane-cli"
MANPAGER=cat MANWIDTH=80 man korvane-cli | head -n 30

step "Completion of: korvane-cli check --layout <Tab>"
bash -c 'source /usr/share/bash-completion/bash_completion
         __load_completion korvane-cli
         complete -p korvane-cli
         COMP_WORDS=(korvane-cli check --layout "") COMP_CWORD=3 COMP_LINE="korvane-cli check --layout "
         COMP_POINT=${#COMP_LINE}
         $(complete -p korvane-cli | sed -E "s/.*-F ([^ ]+) .*/\1/") korvane-cli "" --layout
         printf "offered: %s\n" "${COMPREPLY[*]}"
         [ "${COMPREPLY[*]}" = "both short long" ]'

step "The installed korvane under xvfb-run"
demo=$(mktemp -d)
# The window is up when the X server lists it by its title; it must still run then.
xvfb-run -a bash -c "korvane '$demo' & pid=\$!
    shown=no
    for _ in \$(seq 150); do
        xwininfo -root -tree | grep 'Korvane Tool Suite' && shown=yes && break
        sleep 0.2
    done
    kill \$pid || shown=ended
    wait \$pid
    echo \"window: \$shown\"
    [ \$shown = yes ]"

step "korvane-cli from the PATH"
command -v korvane-cli
korvane-cli --version
korvane-cli generate --sector-size 256 --sectors 720 --name BLANK "$demo"
status=0
korvane-cli check "$demo" || status=$?
echo "korvane-cli check exited $status"
rm -rf "$demo"
[ "$status" -eq 0 ]
step "All steps passed"
