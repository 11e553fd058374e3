#!/usr/bin/env bash
# Formats every C++ file of the project with .clang-format; with --check, only
# lists the files that are not formatted and fails if there are any.
# InsertBraces needs clang-format 16 or later (Debian 12: clang-format-16).
set -euo pipefail
cd "$(dirname "$0")/.."
format="$(command -v clang-format-16 || command -v clang-format)"
mapfile -t files < <(git ls-files -- '*.cpp' '*.h')
if [ "${1:-}" = "--check" ]; then
  "$format" --style=file --dry-run -Werror "${files[@]}"
else
  "$format" --style=file -i "${files[@]}"
fi
