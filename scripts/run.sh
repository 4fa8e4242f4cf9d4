#!/usr/bin/env bash
# The main job: builds the korvat program and posts its built-in example job.
# Extra arguments go to `korvat post`.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh build
cmake -S . -B build/release -DCMAKE_BUILD_TYPE=Release -DKORVAT_BUILD_TESTS=OFF \
      -DKORVAT_BUILD_BENCH=OFF >/dev/null
cmake --build build/release --target korvat_program -j2 >/dev/null
exec build/release/tools/korvat/korvat post "$@"
