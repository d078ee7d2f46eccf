#!/usr/bin/env bash
# The bash completion offers each command's options and their values as --help lists
# them, and directories for DIR.
#   completion_test.sh KORVANE_CLI COMPLETION_SCRIPT
set -eu
source "$2"
offered() {
    COMP_WORDS=(korvane-cli "$@") COMP_CWORD=$# COMPREPLY=()
    _korvane_cli
    printf '%s\n' "${COMPREPLY[@]}" | sort | tr '\n' ' '
}
expect() {  # expect OFFERED WORDS...
    local got; got=$(offered "${@:2}")
    [ "$got" = "$1" ] || { echo "korvane-cli ${*:2}<Tab>: \"$got\", not \"$1\""; exit 1; }
}
for command in check repair convert generate; do
    usage=$("$1" --help | awk "/korvane-cli $command /,/DIR\$/")
    expect "$(grep -oE -- '--[a-z-]+' <<<"$usage" | sort -u | tr '\n' ' ')" "$command" --
    # Each option's values, as in "--layout both|short|long".
    for option in $(grep -oE -- '--[a-z-]+ [a-z0-9]+(\|[a-z0-9]+)+' <<<"$usage" | tr ' ' '='); do
        expect "$(tr '|' '\n' <<<"${option#*=}" | sort | tr '\n' ' ')" "$command" "${option%%=*}" ""
    done
done
expect "long " repair --layout = lo
scratch=$(mktemp -d) && trap 'rm -rf "$scratch"' EXIT && cd "$scratch"
mkdir disks && touch disky
expect "disks " check --no-min-size dis
