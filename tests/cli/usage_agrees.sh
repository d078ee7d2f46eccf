#!/bin/sh
# The usage that --help prints, the manual page's synopsis and the help page's agree word
# for word, and so do their exit statuses.
#   usage_agrees.sh KORVANE_CLI MANUAL_PAGE HELP_PAGE
set -eu
synopsis() { grep -E '^ *(korvane-cli |\[)' | tr -s ' \n' '  ' | sed 's/^ //'; }
statuses() { grep -oE '[0-9]+' | sort -n | tr '\n' ' '; }
help=$("$1" --help)
usage=$(printf '%s\n' "$help" | synopsis)
manual=$(sed -n '/^\.SH SYNOPSIS/,/^\.SH/p' "$2" | sed 's/\\f[BIRP]//g; s/\\-/-/g' | synopsis)
page=$(sed -n '/<pre>/,/<\/pre>/p' "$3" | sed '/<\/pre>/q' | synopsis)
codes=$(printf '%s\n' "$help" | sed -n '/^exit status/,$p' | grep -oE '^ +[0-9]+' | statuses)
manual_codes=$(sed -n '/^\.SH EXIT STATUS/,/^\.SH/p' "$2" | sed -n '/^\.TP/{n;p}' | statuses)
page_codes=$(grep -oE '<tr><td>[0-9, ]+</td>' "$3" | statuses)
for text in "$manual" "$page"; do
    [ "$text" = "$usage" ] || { printf 'usage differs:\n%s\n%s\n' "$usage" "$text"; exit 1; }
done
for list in "$manual_codes" "$page_codes"; do
    [ "$list" = "$codes" ] || { printf 'exit statuses differ: %s, %s\n' "$codes" "$list"; exit 1; }
done
