#!/usr/bin/env bash
# The whole test suite: installs what the tests need, builds and runs every test program, then
# builds and runs them again under AddressSanitizer and UndefinedBehaviorSanitizer, and last
# builds the Debian packages, installs them, uses them and removes them again.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh test
jobs=${JOBS:-2}

# The fuzzers first (korvat's G-code, call-script and profile readers, the tablet lines and the
# B268 replies for 20 s each, then the approach for FUZZ_SECONDS, default 60), so the test runs'
# summaries close the output.
mkdir -p build
if ! bash scripts/fuzz.sh "${FUZZ_SECONDS:-60}" >build/fuzz.log 2>&1; then
    cat build/fuzz.log
    echo "a fuzzer found a fault (input in build/fuzz/artifacts/)" >&2
    exit 1
fi
tail -n 3 build/fuzz.log

cmake -S . -B build/test -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build/test -j"$jobs"
ctest --test-dir build/test --output-on-failure -j"$jobs"

cmake -S . -B build/sanitize -DCMAKE_BUILD_TYPE=Debug -DKORVAT_SANITIZE=ON \
      -DKORVAT_BUILD_BENCH=OFF >/dev/null
cmake --build build/sanitize -j"$jobs"
ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1 \
    ctest --test-dir build/sanitize --output-on-failure -j"$jobs"

# Last, so that packages installed on this machine cannot disturb the tests above: the Debian
# packages from the release build, checked (contents, lintian), installed, used and purged.
bash scripts/package.sh build/packages
bash tests/package/deb_test.sh . build/packages
