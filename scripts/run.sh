#!/usr/bin/env bash
# The main job: builds the korvat program and posts its built-in example job for the plain ISO
# machine, printing where the program went. Extra arguments go to `korvat post`, and relative
# paths in them are taken from the folder the script was started in.
set -euo pipefail
here=$PWD
root="$(cd "$(dirname "$0")/.." && pwd)"
cd "$root"
bash scripts/install-deps.sh build
cmake -S . -B build/release -DCMAKE_BUILD_TYPE=Release -DKORVAT_BUILD_TESTS=OFF \
      -DKORVAT_BUILD_BENCH=OFF >/dev/null
cmake --build build/release --target korvat_program -j2 >/dev/null
cd "$here"
exec "$root/build/release/tools/korvat/korvat" post "$@"
