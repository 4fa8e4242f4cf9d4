# What the packaging checks share; sourced after $work and $log are set.

# Stops the check with what went wrong and the end of the last step's log.
fail() {
    echo "FAIL: $*"
    [ -s "$log" ] && tail -n 40 "$log"
    exit 1
}
step() { echo "== $*"; }

# The consumer writes "<base>.NC"; its bytes must be the line and CR LF.
#   check_output <base> <command...>
check_output() {
    local base=$1
    shift
    "$@" "$base" "G1 X1.5 Y-2" >"$log" 2>&1 || fail "$* did not run"
    printf 'G1 X1.5 Y-2\r\n' >"$work/expected"
    cmp "$work/expected" "$base.NC" >"$log" 2>&1 || fail "$base.NC differs from the line written"
}
