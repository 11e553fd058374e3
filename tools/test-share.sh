#!/usr/bin/env bash
# The share of test code against the rest, counted the way the project's
# budget (30-45 %) is counted: non-blank C++ lines that are not // comments,
# plus the test scripts' non-blank lines that are not # comments. Counts the
# files git knows, so commit (or `git add`) new files first.
set -euo pipefail
cd "$(git rev-parse --show-toplevel)"
cpp() { git ls-files -- "$@" | grep -E '\.(cpp|cc|h|hpp)$' | xargs -r cat | grep -c -v -E '^\s*(//.*)?$' || true; }
scripts() { git ls-files -- tests | grep -E '\.(py|sh|cmake)$' | xargs -r cat | grep -c -v -E '^\s*(#.*)?$' || true; }
tests_cpp=$(cpp tests)
tests=$((tests_cpp + $(scripts)))
rest=$(($(cpp .) - tests_cpp))
echo "tests $tests / rest $rest = $((100 * tests / rest)) % (budget 30-45 %)"
