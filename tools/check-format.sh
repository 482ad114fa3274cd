#!/usr/bin/env bash
# Checks that every C++ file of the project is formatted by .clang-format
# (clang-format --dry-run -Werror). With --fix, formats them in place.
set -euo pipefail
cd "$(dirname "$0")/.."
command -v clang-format >/dev/null || { echo "check-format: clang-format is missing (tools/install-deps.sh --format)" >&2; exit 1; }
mapfile -t files < <(git ls-files '*.cpp' '*.h')
if [ "${1:-}" = "--fix" ]; then
    clang-format -i "${files[@]}"
    exit 0
fi
if clang-format --dry-run -Werror "${files[@]}"; then
    echo "check-format: ${#files[@]} files formatted"
else
    echo "check-format: run tools/check-format.sh --fix" >&2
    exit 1
fi
