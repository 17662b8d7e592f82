#!/usr/bin/env bash
# Fails when a tracked C++ file differs from what clang-format-14 makes of it (the root .clang-format).
# With file arguments, checks only those (the pre-commit hook passes the staged ones).
set -euo pipefail
cd "$(git rev-parse --show-toplevel)"
if [ $# -gt 0 ]; then
    files=("$@")
else
    mapfile -t files < <(git ls-files '*.cpp' '*.h')
fi
[ ${#files[@]} -eq 0 ] && exit 0
clang-format-14 --dry-run -Werror "${files[@]}"
echo "format: ${#files[@]} files as clang-format-14 writes them"
