#!/usr/bin/env bash
# Builds the Debian packages libkorvat0, libkorvat-dev and korvat from the release build (the
# one scripts/run.sh uses), configured for /usr with Debian's hardening build flags, and puts
# them into FOLDER (default: the folder the script was started in), printing their paths:
#   bash scripts/package.sh [FOLDER]
#   apt install ./korvat_*.deb
set -euo pipefail
out=$(mkdir -p "${1:-.}" && cd "${1:-.}" && pwd)
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh package
build=build/release

# Debian's build flags with all hardening (fortify, stack protector, relro, bind now), without
# debug information
# (the packages carry none) and without turning format warnings into errors: the test build
# already keeps the code free of warnings, and a build for packaging should not fail where it
# passes.
export DEB_BUILD_MAINT_OPTIONS=hardening=+all
export DEB_CXXFLAGS_MAINT_STRIP="-g -Werror=format-security"
cxxflags="$(dpkg-buildflags --get CPPFLAGS) $(dpkg-buildflags --get CXXFLAGS)"
ldflags=$(dpkg-buildflags --get LDFLAGS)
cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=Release -DKORVAT_BUILD_TESTS=OFF \
    -DKORVAT_BUILD_BENCH=OFF -DCMAKE_INSTALL_PREFIX=/usr \
    -DCMAKE_INSTALL_LIBDIR="lib/$(dpkg-architecture -qDEB_HOST_MULTIARCH)" -DKORVAT_DEBIAN=ON \
    -DCMAKE_CXX_FLAGS="$cxxflags" -DCMAKE_EXE_LINKER_FLAGS="$ldflags" \
    -DCMAKE_SHARED_LINKER_FLAGS="$ldflags" >/dev/null
cmake --build "$build" -j"${JOBS:-2}" >/dev/null
rm -rf "$build/packages"
(cd "$build" && cpack -G DEB >/dev/null)
for deb in "$build"/packages/*.deb; do
    cp "$deb" "$out/"
    echo "$out/$(basename "$deb")"
done
