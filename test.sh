#!/usr/bin/env bash
# Installs what is missing, builds, and runs every test headless with CTest.
# With --sanitize the build and the tests run under AddressSanitizer and UndefinedBehaviorSanitizer.
set -euo pipefail
top=$(cd "$(dirname "$0")" && pwd)
build="$top/build"
extra=()
if [ "${1:-}" = "--sanitize" ]; then
    build="$top/build-asan"
    extra=(-DORTAVIA_SANITIZE=ON -DCMAKE_BUILD_TYPE=Debug)
fi
"$top/scripts/setup.sh" "$build" "${extra[@]}"
export QT_QPA_PLATFORM=offscreen
cd "$build"
ctest --output-on-failure -j2 --timeout 900
