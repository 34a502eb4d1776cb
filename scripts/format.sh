#!/usr/bin/env bash
# Formats the project's C and C++ sources by .clang-format. With --check it
# changes nothing and fails on the first file that is not formatted (the test
# command runs it so).
set -euo pipefail
cd "$(dirname "$0")/.."
mapfile -t files < <(git ls-files '*.cpp' '*.h' '*.c')
if [ "${1:-}" = "--check" ]; then
  clang-format --dry-run -Werror "${files[@]}"
else
  clang-format -i "${files[@]}"
fi
