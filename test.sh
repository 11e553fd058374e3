#!/usr/bin/env bash
# Installs what is missing, builds with warnings as errors and runs every test;
# then runs the same tests again under AddressSanitizer and
# UndefinedBehaviorSanitizer.
set -euo pipefail
cd "$(dirname "$0")"
source tools/deps.sh
halvarin_install_packages "${HALVARIN_BUILD_PACKAGES[@]}" "${HALVARIN_TEST_PACKAGES[@]}"
# Where they cannot be had (no such packages for this machine), the Windows
# step below says so and is skipped.
halvarin_install_packages "${HALVARIN_WINDOWS_PACKAGES[@]}" ||
  echo "The Windows packages could not be installed."

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

# Everything built for Windows with mingw-w64 (the window program on the
# system's own controls), its tests run under wine on an X server of their
# own (README, "Windows").
echo "== Windows: cross-build and test under wine =="
windows_start=$SECONDS
wine="$(command -v wine64 || command -v wine || echo /usr/lib/wine/wine64)"
if ! command -v x86_64-w64-mingw32-g++-posix >/dev/null 2>&1 || [ ! -d /usr/src/googletest ] ||
  ! command -v xvfb-run >/dev/null 2>&1; then
  echo "== SKIPPED: the mingw-w64 compiler, GoogleTest's sources or xvfb-run are missing =="
else
  cmake -S . -B build-win -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DHALVARIN_WERROR=ON \
    -DCMAKE_TOOLCHAIN_FILE=tools/mingw-w64-x86_64.cmake -DHALVARIN_QT=OFF \
    -DHALVARIN_BUILD_BENCH=OFF
  # A prefix of our own, kept between runs: the first start takes a while.
  # The build runs wine too, to write the sample archive beside the program.
  export WINEPREFIX="$PWD/build-win/wine" WINEDEBUG=-all
  cmake --build build-win -j"$jobs"
  version="$( ([ -x "$wine" ] && timeout 600 "$wine" build-win/cli/halvarin-grp.exe --version) \
    2>/dev/null || true)"
  if [[ "$version" != "halvarin-grp "* ]]; then
    echo "== SKIPPED: wine cannot run Windows programs on this machine =="
  else
    # Without a window manager wine waits for one at every window it shows,
    # unless it manages its windows itself.
    "$wine" reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f >/dev/null 2>&1 || true
    # The wine started so far has no display; the tests' must start afresh
    # on the X server below, or their windows would have nowhere to go.
    "$(command -v wineserver || echo "$(dirname "$wine")/wineserver")" -w
    log=build-win/ctest.log
    if ! xvfb-run -a ctest --test-dir build-win -V -j"$jobs" >"$log" 2>&1; then
      grep -E "FAILED|Failure|Which is|Expected|error" "$log" | head -100
      tail -20 "$log"
      exit 1
    fi
    # Each test program prints its own summary; the counts add up.
    count() {
      awk -v label="[  $1" 'index($0, label) {
        n += substr($0, index($0, label) + length(label)) + 0 } END { print n + 0 }' "$log"
    }
    # ctest -V marks each line of a test's output with the test's number.
    windows="$(awk '/: Test command: .*win32_window_tests/ { id = substr($0, 1, index($0, ":")) }
      id != "" && index($0, id " [  PASSED  ]") == 1 {
        print substr($0, length(id " [  PASSED  ]") + 1) + 0; exit }' "$log")"
    echo "== Windows: $(count "PASSED  ]") tests passed under wine (${windows:-0} of them on the" \
      "real windows), $(count "SKIPPED ]") skipped as POSIX-only, in" \
      "$((SECONDS - windows_start)) s with the build =="
  fi
fi

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
