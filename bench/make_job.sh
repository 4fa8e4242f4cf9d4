#!/bin/bash
# Prints a plain G-code job of exactly N lines (default 1000000) to standard output: pockets of
# short feed moves and half circles, each entered by a rapid move and a plunge, in millimetres.
# The benchmarks and the memory tests post it; LinuxCNC's rs274 reads it without a complaint.
n=${1:-1000000}
exec awk -v n="$n" '
function zeile(s) { if (c < n - 1) { print s; ++c } }
BEGIN {
    zeile("G21 G90"); zeile("T1 M6"); zeile("F1200")
    for (k = 0; c < n - 1; ++k) {
        x0 = (k % 100) * 5.0; y0 = int(k / 100) % 100 * 5.0
        zeile(sprintf("G0 X%.3f Y%.3f Z2", x0, y0))
        zeile("G1 Z-0.5")
        for (i = 1; i <= 20; ++i) {
            # every fifth step a half circle of radius 0.1 to the next point on the same line
            if (i % 5 == 0)
                zeile(sprintf("G3 X%.3f Y%.3f I0.1 J0", x0 + 0.2 * i, y0 + ((i - 1) % 2) * 0.5))
            else
                zeile(sprintf("G1 X%.3f Y%.3f", x0 + 0.2 * i, y0 + (i % 2) * 0.5))
        }
        zeile("G0 Z2")
    }
    print "M30"
}'
