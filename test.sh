#!/usr/bin/env bash
# Installs what is missing, builds with warnings as errors and runs every test;
# then runs the same tests again under AddressSanitizer and
# UndefinedBehaviorSanitizer.
set -euo pipefail
cd "$(dirname "$0")"
source tools/deps.sh
halvarin_install_packages "${HALVARIN_BUILD_PACKAGES[@]}" "${HALVARIN_TEST_PACKAGES[@]}"

jobs="$(nproc)"
export QT_QPA_PLATFORM="${QT_QPA_PLATFORM:-offscreen}"
if [ -z "${XDG_RUNTIME_DIR:-}" ]; then
  XDG_RUNTIME_DIR="$(mktemp -d)"
  chmod 700 "$XDG_RUNTIME_DIR"
  export XDG_RUNTIME_DIR
fi

echo "== Build and test =="
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DHALVARIN_WERROR=ON
cmake --build build -j"$jobs"
ctest --test-dir build --output-on-failure -j"$jobs"

# The archive reader against hostile input, for a bounded time (README,
# "Reliability", for longer runs).
if command -v clang++ >/dev/null 2>&1; then
  echo "== Fuzz the archive for ${HALVARIN_FUZZ_SECONDS:-60} s =="
  cmake -S . -B build-fuzz -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DHALVARIN_WERROR=ON \
    -DCMAKE_CXX_COMPILER=clang++ -DHALVARIN_FUZZ=ON
  cmake --build build-fuzz -j"$jobs"
  tests/archive/fuzz/run-archive-fuzz.sh build-fuzz "${HALVARIN_FUZZ_SECONDS:-60}"
else
  echo "== clang++ is missing: the archive fuzzer does not run =="
fi

echo "== Build and test under AddressSanitizer and UndefinedBehaviorSanitizer =="
cmake -S . -B build-asan -G Ninja -DCMAKE_BUILD_TYPE=Debug -DHALVARIN_WERROR=ON \
  -DHALVARIN_SANITIZE=ON -DHALVARIN_BUILD_BENCH=OFF
cmake --build build-asan -j"$jobs"
ASAN_OPTIONS="detect_leaks=1:abort_on_error=1:strict_string_checks=1" \
  LSAN_OPTIONS="suppressions=$PWD/tools/lsan.supp:print_suppressions=0" \
  UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1" \
  ctest --test-dir build-asan --output-on-failure -j"$jobs"
