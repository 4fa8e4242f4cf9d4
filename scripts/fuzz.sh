#!/usr/bin/env bash
# Fuzzes the approach computation, the tablet readers, the B268 driver's reading of controller
# replies and korvat's job and profile readers: builds the libFuzzer targets with clang in
# build/fuzz (library instrumented for coverage, AddressSanitizer and
# UndefinedBehaviorSanitizer), runs the G-code, call-script and profile readers for
# READER_FUZZ_SECONDS each (default 20) seeded with the example and test jobs and profiles,
# post_fuzz (those jobs through the example machines' writers) for POST_FUZZ_SECONDS (default 20),
# tablet_fuzz for TABLET_FUZZ_SECONDS (default 20) on tablet lines of both models,
# b268_replies_fuzz for B268_FUZZ_SECONDS (default 20) on a few seed replies, then approach_fuzz
# for a bounded time on small element files.
#   scripts/fuzz.sh [seconds]      default 60; a finding stops the run with a non-zero status
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh test
secs=${1:-60}
san="-fsanitize=address,undefined -fno-sanitize-recover=undefined -fno-omit-frame-pointer"

cmake -S . -B build/fuzz -DCMAKE_CXX_COMPILER=clang++ -DCMAKE_BUILD_TYPE=RelWithDebInfo \
      -DKORVAT_BUILD_FUZZ=ON -DKORVAT_BUILD_TESTS=OFF -DKORVAT_BUILD_TOOLS=ON \
      -DKORVAT_BUILD_BENCH=OFF -DCMAKE_CXX_FLAGS="-fsanitize=fuzzer-no-link $san" \
      -DCMAKE_EXE_LINKER_FLAGS="$san" >/dev/null
cmake --build build/fuzz --target approach_fuzz tablet_fuzz b268_replies_fuzz gcode_fuzz calls_fuzz \
    profile_fuzz post_fuzz -j"${JOBS:-2}" >/dev/null
mkdir -p build/fuzz/artifacts

# korvat's readers, each seeded with the jobs and profiles of the examples and the tests.
for reader in gcode calls profile; do
    seeds=build/fuzz/corpus/$reader
    mkdir -p "$seeds"
    case $reader in
        gcode) patterns="examples/jobs/*.ngc tests/korvat/jobs/*.ngc" ;;
        calls) patterns="examples/jobs/*.calls tests/korvat/jobs/*.calls" ;;
        profile) patterns="examples/machines/*.ini tests/korvat/jobs/*.ini" ;;
    esac
    for f in $patterns; do [ -f "$f" ] && cp "$f" "$seeds/"; done
    build/fuzz/fuzz/${reader}_fuzz -max_total_time="${READER_FUZZ_SECONDS:-20}" -max_len=4096 \
        -timeout=20 -rss_limit_mb=2048 -print_final_stats=1 \
        -artifact_prefix=build/fuzz/artifacts/ "$seeds"
done

# Jobs through the writers: the first byte picks the example machine, the rest is the job.
posts=build/fuzz/corpus/post
mkdir -p "$posts"
for f in examples/jobs/*.ngc tests/korvat/jobs/*.ngc; do
    for k in 0 1 2 3 4 5 6 7 8 9 10 11 12 13 14; do
        { printf "\\x$(printf %02x $k)"; cat "$f"; } >"$posts/$(basename "$f")-$k"
    done
done
build/fuzz/fuzz/post_fuzz -max_total_time="${POST_FUZZ_SECONDS:-20}" -max_len=4096 -timeout=20 \
    -rss_limit_mb=2048 -print_final_stats=1 -artifact_prefix=build/fuzz/artifacts/ "$posts"

# Tablet seeds: the first byte picks the model (odd: model 1), then lines as the readers get them.
tablets=build/fuzz/corpus/tablet
mkdir -p "$tablets" build/fuzz/artifacts
printf '\00112 34.5 -56\n0,1e2,.25\n00 12.5abc 3\n' >"$tablets/model1"
printf '\00012.5:7.25,2\n12.5:7.25,2\n-1.5:0,0\n14:9,2\n15:10,3\n19;14,1\n' >"$tablets/model2"
build/fuzz/fuzz/tablet_fuzz -max_total_time="${TABLET_FUZZ_SECONDS:-20}" -max_len=1024 \
    -timeout=20 -rss_limit_mb=2048 -print_final_stats=1 -artifact_prefix=build/fuzz/artifacts/ \
    "$tablets"

# The B268 replies: a status, a free buffer, positions with their masks.
replies=build/fuzz/corpus/b268
mkdir -p "$replies"
printf '\x05OS0bhN\r\nOB12345\r\nOp7 1.5 -2 3\r\n' >"$replies/status"
printf '\xd3Oo? 1 2 3 4\r\nOn5 -1e3 2\r\nOr@\r\n' >"$replies/positions"
build/fuzz/fuzz/b268_replies_fuzz -max_total_time="${B268_FUZZ_SECONDS:-20}" -max_len=600 \
    -timeout=10 -rss_limit_mb=2048 -print_final_stats=1 \
    -artifact_prefix=build/fuzz/artifacts/ "$replies"

# Seeds: a closed square with its height marker, an open line, an open quarter arc. Each starts
# with the byte that picks the parameter set.
corpus=build/fuzz/corpus/approach
mkdir -p "$corpus"
/usr/bin/python3 - "$corpus" <<'PY'
import struct, sys
def rec(t, x, y, z, art=0):
    return struct.pack("<BBhI3d", t, art, 0, 0, x, y, z)
square = rec(13, 20, 0, 0, ord("g")) + rec(1, 0, 0, 5) + b"".join(
    rec(2, x, y, 0) for x, y in [(10, 0), (10, 10), (0, 10), (0, 0)])
line = rec(1, 0, 0, 5) + rec(2, 100, 0, 0)
arc = rec(1, 10, 0, 5) + rec(4, 0, 0, 0) + rec(4, 0, 1.5707963267948966, 10)
for name, body in [("square", square), ("line", line), ("arc", arc)]:
    for k in range(4):
        open("%s/%s%d" % (sys.argv[1], name, k), "wb").write(bytes([k]) + body)
PY
exec build/fuzz/fuzz/approach_fuzz -max_total_time="$secs" -max_len=2048 -timeout=20 \
     -rss_limit_mb=2048 -print_final_stats=1 -artifact_prefix=build/fuzz/artifacts/ "$corpus"
