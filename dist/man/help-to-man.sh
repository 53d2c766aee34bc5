#!/bin/sh
# The manual page of vandrix-cli, made from its --help when the program is
# built, so the page and the help cannot say different things. Only what the
# help has no place for (files, privacy, examples) comes from the page's tail.
#
# help-to-man.sh VERSION DATE TAIL PROGRAM [ARGUMENT...]
# PROGRAM and its arguments start the program (behind an emulator in a cross
# build); the page goes to standard output.
set -eu
version=$1 date=$2 tail=$3
shift 3

help() {
    "$@" --lang en --help
}

overview=$(help "$@")
commands=$(printf '%s\n' "$overview" | awk '
    /^Commands:$/ { inside = 1; next }
    inside && /^$/ { exit }
    inside && /^  [a-z]/ { print $1 }')

# roff: hyphens as hyphens, backslashes kept, no line taken for a request.
escape() {
    sed -e 's/\\/\\e/g' -e 's/-/\\-/g' -e "s/^\\([.']\\)/\\\\\\&\\1/"
}

# The two-column rows of one section as tagged paragraphs: the first column
# bold, the second its text.
rows() {
    awk -v section="$1" '
        function esc(s) {
            gsub(/\\/, "\\e", s)
            gsub(/-/, "\\-", s)
            if (s ~ /^[.\047]/)
                s = "\\&" s
            return s
        }
        function flush() {
            if (name != "") { print ".TP"; print ".B " esc(name); print esc(text) }
        }
        $0 == section { inside = 1; next }
        inside && /^$/ { exit }
        inside && /^  [^ ]/ {
            flush()
            line = substr($0, 3)
            split(line, parts, /  +/)
            name = parts[1]
            text = substr(line, length(name) + 1)
            sub(/^ +/, "", text)
            next
        }
        inside { sub(/^ +/, ""); text = text " " $0 }
        END { flush() }'
}

# A help's paragraph under its usage line, joined into one.
description() {
    awk 'NR == 1 { next } /^$/ { exit } { printf "%s%s", (NR > 2 ? " " : ""), $0 } END { print "" }'
}

summary=$(printf '%s\n' "$overview" | description)

cat <<PAGE
.TH VANDRIX\\-CLI 1 $date "Vandrix $version" "User Commands"
.SH NAME
vandrix\\-cli \\- $(printf '%s\n' "$summary" | sed -e 's/\.$//' -e 's/^\(.\)/\L\1/' | escape)
.SH SYNOPSIS
.B vandrix\\-cli
.I COMMAND
.RI [ ARGUMENTS ]
.RI [ OPTIONS ]
.br
.B vandrix\\-cli
.I COMMAND
.B \\-\\-help
.SH DESCRIPTION
$(printf '%s\n' "$summary" | escape)
.SH COMMANDS
PAGE

for command in $commands; do
    text=$(help "$@" "$command")
    usage=$(printf '%s\n' "$text" | sed -n '1s/^Usage: vandrix-cli \(.*\) \[OPTIONS\]$/\1/p')
    echo ".TP"
    echo ".B $(printf '%s\n' "$usage" | escape)"
    printf '%s\n' "$text" | description | escape
    if printf '%s\n' "$text" | grep -qx 'Arguments:\|Options of the command:'; then
        echo ".RS"
        printf '%s\n' "$text" | rows 'Arguments:'
        printf '%s\n' "$text" | rows 'Options of the command:'
        echo ".RE"
    fi
done

echo ".SH OPTIONS"
printf '%s\n' "$overview" | rows 'Common options:'
echo ".SH EXIT STATUS"
printf '%s\n' "$overview" | rows 'Exit status:'
cat "$tail"
