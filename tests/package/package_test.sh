#!/usr/bin/env bash
# Installs this build into a temporary prefix (cmake --install, no rebuild) and checks what a
# host and a machinist get there:
#   - the shared library with its SONAME, the static library, every library header under
#     include/korvat, each compiling on its own with only <prefix>/include on the path;
#   - a consumer built with find_package(korvat) and with pkg-config, including
#     <korvat/channel/cx268io.h>, writes the line it was given;
#   - the installed korvat finds its example profiles under <prefix>/share/korvat, lists every
#     verb in its man page, and ships its bash completion.
#   package_test.sh <source dir> <build dir>
set -euo pipefail
src=$(cd "${1:?usage: package_test.sh <source dir> <build dir>}" && pwd)
build=$(cd "${2:?usage: package_test.sh <source dir> <build dir>}" && pwd)

# Short paths: the channel keeps the output file path in 100 characters.
work=$(mktemp -d /tmp/korvat-pkg.XXXXXX)
trap 'rm -rf "$work"' EXIT
prefix=$work/prefix
log=$work/log

# shellcheck source=tests/package/checks.sh
source "$(dirname "${BASH_SOURCE[0]}")/checks.sh"

step "install the build into $prefix"
cmake --install "$build" --prefix "$prefix" >"$log" 2>&1 || fail "installing"

step "libraries"
so=$(find "$prefix" -name 'libkorvat.so' | head -n 1)
[ -n "$so" ] || fail "no libkorvat.so installed"
libdir=$(dirname "$so")
[ -L "$libdir/libkorvat.so" ] || fail "libkorvat.so is not a link to the versioned library"
[ -e "$libdir/libkorvat.so.0" ] || fail "libkorvat.so.0 missing"
soname=$(readelf -d "$libdir/libkorvat.so.0" | sed -n 's/.*(SONAME).*\[\(.*\)\]/\1/p')
[ "$soname" = libkorvat.so.0 ] || fail "SONAME is '$soname', not libkorvat.so.0"
[ -f "$libdir/libkorvat.a" ] || fail "libkorvat.a missing"
[ -f "$libdir/cmake/korvat/korvatConfig.cmake" ] || fail "CMake package files missing"
[ -f "$libdir/pkgconfig/korvat.pc" ] || fail "korvat.pc missing"

step "headers under include/korvat, each complete with only $prefix/include on the path"
include=$prefix/include
dirs="common $(sed -n 's/^set(KORVAT_LIBRARY_DIRS \(.*\))$/\1/p' "$src/CMakeLists.txt")"
[ "$dirs" != common ] || fail "no KORVAT_LIBRARY_DIRS in CMakeLists.txt"
expected=$(cd "$src" && for d in $dirs; do if [ -d "$d" ]; then find "$d" -name '*.h'; fi; done | sort)
installed=$(cd "$include/korvat" && find . -type f | sed 's|^\./||' | sort)
[ "$expected" = "$installed" ] ||
    fail "installed headers differ from the library's: $(diff <(echo "$expected") <(echo "$installed") | grep '^[<>]' | head -n 5 | tr '\n' ' ')"
[ ! -d "$include/common" ] && [ ! -d "$include/channel" ] || fail "library folders directly in include/"
# shellcheck disable=SC2016
echo "$installed" | xargs -P "${JOBS:-2}" -I{} sh -c \
    'echo "#include <korvat/$1>" | g++ -std=c++20 -fsyntax-only -I"$2" -x c++ - 2>&1 ||
         { echo "FAIL: <korvat/$1> does not compile alone"; exit 255; }' sh {} "$include" >"$log" ||
    fail "headers that do not compile alone: $(grep -c '^FAIL' "$log")"

step "build the consumer with find_package(korvat)"
cmake -S "$src/examples/consumer" -B "$work/consumer" -DCMAKE_PREFIX_PATH="$prefix" \
    >"$log" 2>&1 || fail "configuring the consumer"
cmake --build "$work/consumer" >"$log" 2>&1 || fail "building the consumer"
ldd "$work/consumer/consumer" | grep -q "libkorvat.so.0 => $libdir/" ||
    fail "the consumer does not load the installed libkorvat.so.0"
check_output "$work/cmake" "$work/consumer/consumer"

step "build the consumer with pkg-config"
# The build's prefix is not this one: pkg-config's own relocation puts it here.
flags=$(PKG_CONFIG_PATH="$libdir/pkgconfig" pkg-config --define-variable=prefix="$prefix" \
    --cflags --libs korvat) || fail "pkg-config does not know korvat"
[[ " $flags " == *" -I$include "* ]] || fail "pkg-config gives '$flags', not -I$include"
# shellcheck disable=SC2086
g++ -o "$work/consumer-pc" "$src/examples/consumer/consumer.cpp" $flags >"$log" 2>&1 ||
    fail "compiling with: pkg-config --cflags --libs korvat"
check_output "$work/pc" env LD_LIBRARY_PATH="$libdir" "$work/consumer-pc"

korvat=$prefix/bin/korvat
if [ -x "$korvat" ]; then
    step "the installed korvat finds its example profiles under $prefix/share/korvat"
    data=$prefix/share/korvat
    names=$(cd "$src/examples/machines" && ls -- *.ini | sed 's/\.ini$//')
    [ "$names" = "$(cd "$data/machines" && ls -- *.ini | sed 's/\.ini$//')" ] ||
        fail "installed profiles differ from examples/machines"
    [ -f "$data/jobs/plate.ngc" ] || fail "example jobs missing from $data/jobs"
    # A profile only the installed folder has proves which folder the program reads.
    sed 's/^description *=.*/description = only installed/' "$data/machines/iso.ini" \
        >"$data/machines/installed-only.ini"
    (cd "$work" && env -u KORVAT_MACHINES "$korvat" machines) >"$log" 2>&1 ||
        fail "korvat machines failed"
    grep -q '^installed-only .*only installed' "$log" || fail "korvat machines did not read $data/machines"
    (cd "$work" && env -u KORVAT_MACHINES "$korvat" post "$data/jobs/plate.ngc" \
        --machine installed-only -o "$work/plate.nc") >"$log" 2>&1 ||
        fail "korvat post --machine installed-only failed"
    [ -s "$work/plate.nc" ] || fail "korvat post wrote no program"

    step "man page and bash completion"
    completion=$prefix/share/bash-completion/completions/korvat
    [ -f "$completion" ] || fail "bash completion missing"
    bash -n "$completion" || fail "the bash completion does not parse"
    page=$prefix/share/man/man1/korvat.1.gz
    if command -v help2man >/dev/null; then
        [ -f "$page" ] || fail "man page missing"
        verbs=$("$korvat" --help | awk '/^Subcommands:$/ { on = 1; next } on && /^$/ { exit } on { print $1 }')
        [ -n "$verbs" ] || fail "korvat --help lists no verbs"
        text=$(MANWIDTH=100 man -l "$page" 2>"$log") || fail "man cannot read the page"
        [ ! -s "$log" ] || fail "man warns about the page"
        for v in $verbs; do
            grep -q "^   korvat $v " <<<"$text" || fail "the man page has no section for '$v'"
            "$korvat" "$v" --help | sed -n 's/^  \(-[a-z]\),\(--[a-z-]*\).*/\1, \2/p; s/^  \(--[a-z-]*\).*/\1/p' |
                while read -r option; do
                    grep -qF -- "$option" <<<"$text" || fail "the man page lacks $v $option"
                done
        done
        grep -q 'Exit codes' <<<"$text" || fail "the man page does not give the exit codes"
    fi
fi

echo "package: the installed library builds and runs a consumer (find_package and pkg-config)"
