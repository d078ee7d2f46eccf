#!/usr/bin/env bash
# The bash completion offers each command's options and their values as --help lists
# them, and directories for DIR.
#   completion_test.sh KORVANE_CLI COMPLETION_SCRIPT
set -eu
source "$2"
offered() {
    COMP_WORDS=(korvane-cli "$@") COMP_CWORD=$# COMPREPLY=()
    _korvane_cli
    ((${#COMPREPLY[@]} == 0)) || printf '%s\n' "${COMPREPLY[@]}" | sort | tr '\n' ' '
}
expect() {  # expect OFFERED WORDS...
    local got; got=$(offered "${@:2}")
    [ "$got" = "$1" ] || { echo "korvane-cli ${*:2}<Tab>: \"$got\", not \"$1\""; exit 1; }
}
commands=$("$1" --help | grep -oE '^  korvane-cli [a-z]+' | cut -c15-)
expect "$(printf '%s\n' $commands --help --version | sort | tr '\n' ' ')" ""
for command in $commands; do
    usage=$("$1" --help | awk "/korvane-cli $command /,/[A-Z]\$/")
    expect "$(grep -oE -- '--[a-z-]+' <<<"$usage" | sort -u | tr '\n' ' ')" "$command" --
    # Each option's values, as in "--layout both|short|long".
    for option in $(grep -oE -- '--[a-z-]+ [a-z0-9]+(\|[a-z0-9]+)+' <<<"$usage" | tr ' ' '='); do
        expect "$(tr '|' '\n' <<<"${option#*=}" | sort | tr '\n' ' ')" "$command" "${option%%=*}" ""
    done
done
expect "long " repair --layout = lo
scratch=$(mktemp -d) && trap 'rm -rf "$scratch"' EXIT && cd "$scratch"
mkdir disks && touch disky disk.atr
expect "disks " check --no-min-size dis
expect "disk.atr disks " list dis
