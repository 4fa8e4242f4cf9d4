#!/usr/bin/env bash
# Installs the Debian packages Korvat needs: "build" for the library and the korvat program,
# "package" for that plus what builds and checks the Debian packages (scripts/package.sh), "test"
# for all of it plus the test suite (GoogleTest, benchmarks, the external readers of our output,
# the fuzzing compiler). Idempotent and non-interactive; does nothing when all are there.
set -euo pipefail

build=(g++ cmake make pkg-config libcli11-dev libinih-dev)
test=(libgtest-dev libgmock-dev libbenchmark-dev clang libclang-rt-14-dev
      linuxcnc-uspace python3-ezdxf python3-shapely hp2xx)
package=(dpkg-dev fakeroot help2man gzip lintian man-db bash-completion)

wanted=("${build[@]}")
case ${1:-build} in
package) wanted+=("${package[@]}") ;;
test) wanted+=("${package[@]}" "${test[@]}") ;;
esac

missing=()
for p in "${wanted[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0

sudo=""
[ "$(id -u)" -ne 0 ] && sudo=sudo
echo "installing: ${missing[*]}" >&2
export DEBIAN_FRONTEND=noninteractive
$sudo apt-get update -qq
$sudo apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
