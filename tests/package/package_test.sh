#!/usr/bin/env bash
# Installs Korvat into a temporary prefix and builds the consumer example against it, once with
# find_package(korvat) and once with pkg-config, then runs both and checks the file they write.
#   package_test.sh <source dir>
# Exit 77 (skipped) while the library parts the consumer needs are not in the tree yet.
set -euo pipefail
src=$(cd "${1:?usage: package_test.sh <source dir>}" && pwd)

for part in platform host channel; do
    if [ ! -f "$src/$part/CMakeLists.txt" ]; then
        echo "SKIP: the library part '$part' is not in the tree yet"
        exit 77
    fi
done

# Short paths: the channel keeps the output file path in 100 characters.
work=$(mktemp -d /tmp/korvat-pkg.XXXXXX)
trap 'rm -rf "$work"' EXIT
prefix=$work/prefix
log=$work/log

fail() {
    echo "FAIL: $*"
    [ -s "$log" ] && tail -n 40 "$log"
    exit 1
}
step() { echo "== $*"; }

step "configure and build the library alone"
cmake -S "$src" -B "$work/build" -DCMAKE_BUILD_TYPE=Release -DKORVAT_BUILD_TESTS=OFF \
    -DKORVAT_BUILD_TOOLS=OFF -DKORVAT_BUILD_BENCH=OFF -DCMAKE_INSTALL_PREFIX="$prefix" \
    >"$log" 2>&1 || fail "configuring the library"
cmake --build "$work/build" --target korvat korvat_static -j"${JOBS:-2}" >"$log" 2>&1 ||
    fail "building korvat and korvat_static"

step "install into $prefix"
cmake --install "$work/build" >"$log" 2>&1 || fail "installing"

so=$(find "$prefix" -name 'libkorvat.so' | head -n 1)
[ -n "$so" ] || fail "no libkorvat.so installed"
libdir=$(dirname "$so")
[ -L "$libdir/libkorvat.so" ] || fail "libkorvat.so is not a link to the versioned library"
[ -e "$libdir/libkorvat.so.0" ] || fail "libkorvat.so.0 missing"
soname=$(readelf -d "$libdir/libkorvat.so.0" | sed -n 's/.*(SONAME).*\[\(.*\)\]/\1/p')
[ "$soname" = libkorvat.so.0 ] || fail "SONAME is '$soname', not libkorvat.so.0"
[ -f "$libdir/libkorvat.a" ] || fail "libkorvat.a missing"
for h in channel/cx268io.h common/records.h common/grundfkt.h common/fxtexte.h \
    platform/serial_line.h; do
    [ -f "$prefix/include/korvat/$h" ] || fail "header include/korvat/$h missing"
done
[ -f "$libdir/cmake/korvat/korvatConfig.cmake" ] || fail "CMake package files missing"
[ -f "$libdir/pkgconfig/korvat.pc" ] || fail "korvat.pc missing"

# The consumer writes "<base>.NC"; its bytes must be the line and CR LF.
#   check_output <base> <command...>
check_output() {
    local base=$1
    shift
    "$@" "$base" "G1 X1.5 Y-2" >"$log" 2>&1 || fail "$* did not run"
    printf 'G1 X1.5 Y-2\r\n' >"$work/expected"
    cmp "$work/expected" "$base.NC" >"$log" 2>&1 || fail "$base.NC differs from the line written"
}

step "build the consumer with find_package(korvat)"
cmake -S "$src/examples/consumer" -B "$work/consumer" -DCMAKE_PREFIX_PATH="$prefix" \
    >"$log" 2>&1 || fail "configuring the consumer"
cmake --build "$work/consumer" >"$log" 2>&1 || fail "building the consumer"
ldd "$work/consumer/consumer" | grep -q "libkorvat.so.0 => $libdir/" ||
    fail "the consumer does not load the installed libkorvat.so.0"
check_output "$work/cmake" "$work/consumer/consumer"

step "build the consumer with pkg-config"
flags=$(PKG_CONFIG_PATH="$libdir/pkgconfig" pkg-config --cflags --libs korvat) ||
    fail "pkg-config does not know korvat"
# shellcheck disable=SC2086
g++ -o "$work/consumer-pc" "$src/examples/consumer/consumer.cpp" $flags >"$log" 2>&1 ||
    fail "compiling with: pkg-config --cflags --libs korvat"
check_output "$work/pc" env LD_LIBRARY_PATH="$libdir" "$work/consumer-pc"

echo "package: installed library builds and runs a consumer (find_package and pkg-config)"
