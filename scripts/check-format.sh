#!/usr/bin/env bash
# Checks that every C++ source of the project is formatted as .clang-format says; names each file
# that is not (clang-format -i FILE formats it). Exit 0 when all are.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
cd "$top"
mapfile -t files < <(git ls-files -- '*.cpp' '*.h')
status=0
for f in "${files[@]}"; do
    if ! clang-format --dry-run --Werror "$f" >/dev/null 2>&1; then
        echo "not formatted: $f (clang-format -i $f)"
        status=1
    fi
done
[ $status -eq 0 ] && echo "clang-format: ${#files[@]} files formatted."
exit $status
