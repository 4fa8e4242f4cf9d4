#!/usr/bin/env bash
# Writes korvat's man page from the program's own help texts: help2man reads `korvat --help`,
# and every verb listed there gets a subsection made from `korvat VERB --help`, so the page and
# the help never disagree and a new verb appears without editing anything here.
#   man-page.sh <korvat program> <version> <datadir> <output .1 file>
# Writes the page and, beside it, the page compressed as Debian installs it (<output>.gz).
set -euo pipefail
program=${1:?usage: man-page.sh <korvat program> <version> <datadir> <output .1 file>}
version=${2:?} datadir=${3:?} out=${4:?}
here=$(cd "$(dirname "$0")" && pwd)
[ "$(basename "$program")" = korvat ] || { echo "man-page.sh: $program is not named korvat" >&2; exit 1; }
# Run as plain "korvat", so the usage lines name the program and not the build folder.
PATH="$(cd "$(dirname "$program")" && pwd):$PATH"
export PATH

include=$(mktemp)
trap 'rm -f "$include"' EXIT
verbs=$(korvat --help | awk '/^(Subcommands|SUBCOMMANDS):$/ { on = 1; next } on && /^$/ { exit } on { print $1 }')
[ -n "$verbs" ] || { echo "man-page.sh: korvat --help lists no verbs" >&2; exit 1; }
{
    echo "[VERBS]"
    echo "Each verb has its own options; \\fBkorvat\\fR \\fIVERB\\fR \\fB\\-\\-help\\fR prints them."
    for verb in $verbs; do
        korvat "$verb" --help | awk -f "$here/verb-help.awk"
    done
    echo "[FILES]"
    echo ".TP"
    echo ".I $datadir/korvat/machines"
    echo "The example machine profiles that \\fB\\-\\-machine\\fR \\fINAME\\fR and \\fBkorvat machines\\fR read."
    echo ".TP"
    echo ".I $datadir/korvat/jobs"
    echo "Example jobs: G-code programs and a call script."
} >"$include"

help2man --no-info --section=1 --version-string="$version" \
    --name="machine programs for engraving and milling machines from tool paths" \
    --include="$include" --output="$out" korvat
gzip -9n -c "$out" >"$out.gz"
