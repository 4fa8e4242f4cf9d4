#!/bin/bash
# korvat post against LinuxCNC's rs274 and a plain awk copy on the same one-million-line job,
# as ratios measured in one run (CPU seconds, user + system, the best of three), and korvat
# post's peak memory at one and five million lines; then the library benchmarks CDIN against
# fprintf and CZORB in records per second.
# Usage: bench/run_post_bench.sh [BUILD_DIR]   (default build/test; Release or RelWithDebInfo)
set -euo pipefail
shopt -s inherit_errexit
here=$(cd "$(dirname "$0")" && pwd)
build=$(realpath "${1:-$here/../build/test}")
korvat=$build/tools/korvat/korvat
bench=$build/bench/korvat_bench
for f in "$korvat" "$bench"; do
    [ -x "$f" ] || { echo "missing $f: build the korvat and korvat_bench targets" >&2; exit 1; }
done
work=$(mktemp -d /tmp/korvat-post-bench-XXXXXX)
trap 'rm -rf "$work"' EXIT
"$here/make_job.sh" 1000000 > "$work/job.ngc"
printf 'T1 P1 D3.0 Z0.0\n' > "$work/tools.tbl"

# CPU seconds and peak kilobytes of one command: "seconds kilobytes".
measure() {
    /usr/bin/time -f '%U %S %M' -o "$work/time" "$@" > /dev/null 2>&1 || {
        echo "failed: $*" >&2; exit 1; }
    awk '{ printf "%.3f %d\n", $1 + $2, $3 }' "$work/time"
}
# The best CPU time of three runs.
best() {
    local b=
    for _ in 1 2 3; do
        local t
        t=$(measure "$@" | cut -d' ' -f1)
        if [ -z "$b" ] || awk -v t="$t" -v b="$b" 'BEGIN { exit !(t < b) }'; then b=$t; fi
    done
    echo "$b"
}

cd "$work"
post=$(best "$korvat" post job.ngc --machine iso -o out.nc)
awkcopy=$(best awk '{print}' job.ngc)
rs274=
if command -v rs274 > /dev/null; then
    rs274=$(best rs274 -t tools.tbl -g job.ngc canon.txt)
fi
echo "1 000 000-line job (plain ISO, CDIN), CPU seconds, best of three:"
awk -v p="$post" -v a="$awkcopy" -v r="$rs274" 'BEGIN {
    printf "  korvat post   %6.3f s  %5.2f M lines/s\n", p, 1 / p
    printf "  awk {print}   %6.3f s  korvat post / awk = %.2f (time)\n", a, p / a
    if (r != "") printf "  rs274 -g      %6.3f s  rs274 / korvat post = %.2f (korvat post is that many times faster)\n", r, r / p
    else printf "  rs274 -g      not installed\n"
}'
czorb=$(best "$korvat" post job.ngc --machine czorb -o out.LG1)
awk -v c="$czorb" 'BEGIN { printf "  korvat post --machine czorb  %6.3f s  %5.2f M lines/s\n", c, 1 / c }'

echo "peak memory of korvat post (plain ISO):"
for n in 1000000 5000000; do
    kb=$("$here/make_job.sh" "$n" | measure "$korvat" post - --machine iso -o out.nc | cut -d' ' -f2)
    awk -v n="$n" -v kb="$kb" 'BEGIN { printf "  %7d lines  %6.1f MB\n", n, kb / 1024 }'
done
rm -f out.nc out.LG1 canon.txt

echo "library benchmarks (items per second; a ratio below 1 means the library is faster):"
"$bench" --benchmark_filter='DinProgram|CzorbPath' --benchmark_color=false 2>/dev/null | grep -E 'reference / library'
