#!/usr/bin/env bash
# Drives korvat's bash completion as bash does on TAB and checks what it offers: verbs, the
# options of a verb, example profile names after --machine (the files of examples/machines),
# files for the job and the output, the choices of an option that has them, nothing for a
# number or after a flag.
#   completion_test.sh <source dir> <korvat program>
# Exit 77 (skipped) without the bash-completion package, whose helpers the completion uses.
set -uo pipefail
src=$(cd "${1:?usage: completion_test.sh <source dir> <korvat program>}" && pwd)
korvat=$(cd "$(dirname "${2:?}")" && pwd)/$(basename "$2")
helpers=/usr/share/bash-completion/bash_completion
[ -f "$helpers" ] || { echo "SKIP: bash-completion is not installed"; exit 77; }

work=$(mktemp -d /tmp/korvat-completion.XXXXXX)
trap 'rm -rf "$work"' EXIT
mkdir "$work/jobs"
touch "$work/plate.ngc" "$work/plate.nc" "$work/jobs/a.calls"
cd "$work"
export LC_ALL=C

# shellcheck disable=SC1090
source "$helpers"
# shellcheck disable=SC1091
source "$src/packaging/korvat.bash-completion"

# What TAB offers after the words given (the last one is the word being completed), sorted,
# on one line.
offers() {
    COMP_WORDS=("$korvat" "$@")
    COMP_CWORD=$#
    COMP_LINE="${COMP_WORDS[*]}"
    COMP_POINT=${#COMP_LINE}
    COMPREPLY=()
    _korvat
    printf '%s\n' "${COMPREPLY[@]}" | sed '/^$/d' | sort | tr '\n' ' ' | sed 's/ $//'
}

failures=0
expect() {
    local want=$1
    shift
    local got
    got=$(offers "$@")
    if [ "$got" != "$want" ]; then
        echo "FAIL: korvat $* <TAB> offers '$got', expected '$want'"
        failures=$((failures + 1))
    fi
}
# The offers must include these words (the list of verbs grows).
expect_among() {
    local words=$1
    shift
    local got w
    got=" $(offers "$@") "
    for w in $words; do
        if [[ $got != *" $w "* ]]; then
            echo "FAIL: korvat $* <TAB> offers '$got', without '$w'"
            failures=$((failures + 1))
        fi
    done
}

profiles=$(cd "$src/examples/machines" && ls -- *.ini | sed 's/\.ini$//' | sort | tr '\n' ' ')
din=$(cd "$src/examples/machines" && ls -- din-1*.ini | sed 's/\.ini$//' | sort | tr '\n' ' ')

expect_among "post preview machines dump approach" ""
expect "post preview" p
expect_among "--help" --
expect_among "post machines" --on-timeout wait ""
expect "abort wait" --on-timeout ""
expect "--check --help --machine --output" post --
expect "--machine" post --ma
expect "--feed --final-depth" approach --f
expect "--check --help --machine --output -h -m -o" post -
expect "${din% }" post --machine din-1
expect "iso" post plate.ngc -m is
expect "$(printf '%s\n' jobs $profiles | sort | tr '\n' ' ' | sed 's/ $//')" post --machine ""
expect "jobs plate.nc plate.ngc" post ""
expect "jobs/a.calls" post jobs/
expect "jobs plate.nc plate.ngc" post plate.ngc -o ""
expect "plate.nc plate.ngc" post plate.ngc -o pl
expect "" approach --angle ""
expect "" approach --speed 1

[ $failures -eq 0 ] || exit 1
echo "completion: verbs, options, profile names and files"
