#!/usr/bin/env bash
# Checks the Debian packages that scripts/package.sh built, then installs them on this machine,
# uses them as a machinist and a host developer would, and removes them again:
#   - contents (dpkg-deb -c) against the expected file list, versions, dependencies, lintian;
#   - apt-get install of the three packages; korvat post (built-in example), korvat machines
#     (from /usr/share/korvat), man -w korvat, the completion loaded by bash-completion;
#   - a consumer built against libkorvat-dev through find_package(korvat) and through pkg-config;
#   - apt-get purge, after which no file the packages installed is left.
# Needs root and a machine where the packages are not installed yet (CI's fresh machine).
#   deb_test.sh <source dir> <folder with the .deb files>
set -euo pipefail
src=$(cd "${1:?usage: deb_test.sh <source dir> <package folder>}" && pwd)
debs=$(cd "${2:?usage: deb_test.sh <source dir> <package folder>}" && pwd)
packages=(libkorvat0 libkorvat-dev korvat)

work=$(mktemp -d /tmp/korvat-deb.XXXXXX)
trap 'rm -rf "$work"' EXIT
log=$work/log
# shellcheck source=tests/package/checks.sh
source "$(dirname "${BASH_SOURCE[0]}")/checks.sh"

[ "$(id -u)" -eq 0 ] || fail "needs root to install the packages"
for p in "${packages[@]}"; do
    ! dpkg -L "$p" >/dev/null 2>&1 || fail "$p is installed already; remove it first (apt-get purge $p)"
done

version=$(sed -n 's/^project(korvat VERSION \([0-9.]*\).*/\1/p' "$src/CMakeLists.txt")
arch=$(dpkg --print-architecture)
multiarch=$(dpkg-architecture -qDEB_HOST_MULTIARCH)
deb() { echo "$debs/${1}_${version}_${arch}.deb"; }
for p in "${packages[@]}"; do [ -f "$(deb "$p")" ] || fail "no $(deb "$p")"; done

step "contents of the packages"
# What each package must hold, files and links only; headers, profiles and jobs as the source
# tree has them.
lib=/usr/lib/$multiarch
doc() { printf '/usr/share/doc/%s/%s\n' "$1" changelog.gz "$1" copyright; }
{
    echo "$lib/libkorvat.so.0"
    echo "$lib/libkorvat.so.$version"
    doc libkorvat0
} | sort >"$work/libkorvat0.expected"
dirs="common $(sed -n 's/^set(KORVAT_LIBRARY_DIRS \(.*\))$/\1/p' "$src/CMakeLists.txt")"
{
    (cd "$src" && for d in $dirs; do if [ -d "$d" ]; then find "$d" -name '*.h'; fi; done) |
        sed 's|^|/usr/include/korvat/|'
    printf "$lib/%s\n" libkorvat.so libkorvat.a pkgconfig/korvat.pc cmake/korvat/korvatConfig.cmake \
        cmake/korvat/korvatConfigVersion.cmake cmake/korvat/korvatTargets.cmake \
        cmake/korvat/korvatTargets-release.cmake
    doc libkorvat-dev
} | sort >"$work/libkorvat-dev.expected"
{
    echo /usr/bin/korvat
    echo /usr/share/man/man1/korvat.1.gz
    echo /usr/share/bash-completion/completions/korvat
    (cd "$src/examples" && find machines jobs -type f) | sed 's|^|/usr/share/korvat/|'
    doc korvat
} | sort >"$work/korvat.expected"
for p in "${packages[@]}"; do
    dpkg-deb -c "$(deb "$p")" | awk '$1 !~ /^d/ { print $6 }' | sed 's|^\./|/|' | sort >"$work/$p.got"
    diff "$work/$p.expected" "$work/$p.got" >"$log" || fail "$p holds other files than expected (< missing, > extra)"
done

step "package data"
field() { dpkg-deb -f "$(deb "$1")" "$2"; }
for p in "${packages[@]}"; do
    [ "$(field "$p" Version)" = "$version" ] || fail "$p has version $(field "$p" Version), not $version"
    [ -n "$(field "$p" Maintainer)" ] || fail "$p has no maintainer"
    [ "$(field "$p" Description | wc -l)" -gt 2 ] || fail "$p has no long description"
done
[[ "$(field libkorvat-dev Depends)" == *"libkorvat0 (= $version)"* ]] ||
    fail "libkorvat-dev does not depend on libkorvat0 (= $version)"
for p in libkorvat0 korvat; do
    [[ "$(field "$p" Depends)" == *libc6* ]] || fail "$p: no dependencies from its binaries (shlibdeps)"
done
dpkg-deb -I "$(deb libkorvat0)" shlibs | grep -q "^libkorvat 0 libkorvat0" || fail "libkorvat0 has no shlibs"

step "lintian"
# Warnings kept on purpose are listed in docs/choices.md as "lintian `tag`: reason".
kept=$(sed -n 's/^- lintian `\([a-z0-9-]*\)`.*/\1/p' "$src/docs/choices.md" | paste -sd, -)
lintian --fail-on error,warning ${kept:+--suppress-tags "$kept"} \
    "$(deb libkorvat0)" "$(deb libkorvat-dev)" "$(deb korvat)" >"$log" 2>&1 ||
    fail "lintian: $(grep -c '^[EW]:' "$log") errors and warnings"

step "install with apt-get"
export DEBIAN_FRONTEND=noninteractive
# A slim image may keep dpkg from installing man pages; the page is part of what is tested.
apt-get install -y -qq -o Dpkg::Options::=--path-include=/usr/share/man/man1/korvat.1.gz \
    "$(deb libkorvat0)" "$(deb libkorvat-dev)" "$(deb korvat)" >"$log" 2>&1 || fail "apt-get install"
installed=$work/installed
for p in "${packages[@]}"; do dpkg -L "$p"; done | sort -u >"$installed"
removed() {
    rm -f /usr/share/korvat/machines/installed-only.ini
    apt-get purge -y -qq "${packages[@]}" >"$log" 2>&1 || fail "apt-get purge"
}
trap 'removed; rm -rf "$work"' EXIT

step "korvat from the installed files"
korvat=/usr/bin/korvat
cd "$work"
env -u KORVAT_MACHINES korvat post -o "$work/example.nc" >"$log" 2>&1 || fail "korvat post"
[ -s "$work/example.nc" ] || fail "korvat post wrote no program"
env -u KORVAT_MACHINES korvat machines >"$work/machines" 2>"$log" || fail "korvat machines"
[ "$(awk '{ print $1 }' "$work/machines")" = "$(cd "$src/examples/machines" && ls -- *.ini | sed 's/\.ini$//')" ] ||
    fail "korvat machines lists other profiles than examples/machines: $(cat "$work/machines")"
# A profile only the installed folder has proves which folder the program reads.
sed 's/^description *=.*/description = only installed/' /usr/share/korvat/machines/iso.ini \
    >/usr/share/korvat/machines/installed-only.ini
env -u KORVAT_MACHINES korvat post /usr/share/korvat/jobs/plate.ngc --machine installed-only \
    -o "$work/plate.nc" >"$log" 2>&1 || fail "korvat post --machine from /usr/share/korvat"
rm /usr/share/korvat/machines/installed-only.ini
[ "$(man -w korvat 2>"$log")" = /usr/share/man/man1/korvat.1.gz ] || fail "man -w korvat"
bash -c 'source /usr/share/bash-completion/bash_completion && _completion_loader korvat;
         complete -p korvat' 2>"$log" | grep -q -- '-F _korvat' ||
    fail "bash-completion does not load the korvat completion"

step "a consumer against libkorvat-dev with find_package(korvat)"
cmake -S "$src/examples/consumer" -B "$work/consumer" >"$log" 2>&1 || fail "configuring the consumer"
cmake --build "$work/consumer" >"$log" 2>&1 || fail "building the consumer"
loaded=$(ldd "$work/consumer/consumer" | awk '$1 == "libkorvat.so.0" { print $3 }')
[ -n "$loaded" ] && [ "$(realpath "$loaded")" = "$(realpath "$lib/libkorvat.so.0")" ] ||
    fail "the consumer loads '$loaded', not $lib/libkorvat.so.0"
check_output "$work/cmake" "$work/consumer/consumer"
step "a consumer against libkorvat-dev with pkg-config"
# shellcheck disable=SC2046
g++ -o "$work/consumer-pc" "$src/examples/consumer/consumer.cpp" $(pkg-config --cflags --libs korvat) \
    >"$log" 2>&1 || fail "compiling with: pkg-config --cflags --libs korvat"
check_output "$work/pc" "$work/consumer-pc"

step "remove the packages"
trap 'rm -rf "$work"' EXIT
removed
for p in "${packages[@]}"; do
    ! dpkg -L "$p" >/dev/null 2>&1 || fail "$p is still known to dpkg after the purge"
done
left=$(while read -r f; do
    # Folders the packages share with the system stay; the packages' own go.
    if [ -d "$f" ] && [ ! -L "$f" ]; then
        case $f in /usr/share/korvat* | /usr/include/korvat* | $lib/cmake/korvat* | /usr/share/doc/*korvat*)
            echo "$f" ;; esac
    elif [ -e "$f" ] || [ -L "$f" ]; then echo "$f"; fi
done <"$installed")
[ -z "$left" ] || fail "left behind after the purge: $left"

echo "deb: three packages built, checked, installed, used and removed without a trace"
