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
# The configurations are the presets of CMakePresets.json: each step runs
# alone as cmake --preset X && cmake --build --preset X && ctest --preset X.
cmake --preset native
cmake --build --preset native -j"$jobs"
ctest --preset native -j"$jobs"

# Everything built for Windows with mingw-w64 (the window program on the
# system's own controls), its tests run under wine on an X server of their
# own (docs/windows.md).
echo "== Windows: cross-build and test under wine =="
windows_start=$SECONDS
wine="$(command -v wine64 || command -v wine || echo /usr/lib/wine/wine64)"
if ! command -v x86_64-w64-mingw32-g++-posix >/dev/null 2>&1 || [ ! -d /usr/src/googletest ] ||
  ! command -v xvfb-run >/dev/null 2>&1; then
  echo "== SKIPPED: the mingw-w64 compiler, GoogleTest's sources or xvfb-run are missing =="
else
  # A prefix of our own, kept between runs: the first start takes a while.
  # The build runs wine too, to write the sample archive beside the program.
  export WINEPREFIX="$PWD/build-win/wine" WINEDEBUG=-all
  WINESERVER="$(command -v wineserver || echo "$(dirname "$wine")/wineserver")"
  export WINESERVER
  cmake --preset windows
  cmake --build --preset windows -j"$jobs"
  version="$( ([ -x "$wine" ] && timeout 600 "$wine" build-win/cli/halvarin-grp.exe --version) \
    2>/dev/null || true)"
  if [[ "$version" != "halvarin-grp "* ]]; then
    echo "== SKIPPED: wine cannot run Windows programs on this machine =="
  else
    # Without a window manager wine waits for one at every window it shows,
    # unless it manages its windows itself.
    "$wine" reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f >/dev/null 2>&1 || true
    # The wine started so far has no display; the tests' must start afresh
    # on the X server below, or their windows and dialogs would have nowhere
    # to go. It is waited for after them too, for the same reason.
    "$WINESERVER" -w
    log=build-win/ctest.log
    if ! xvfb-run -a sh -c 'ctest --preset windows -V -j"$1"; s=$?; "$WINESERVER" -w; exit $s' \
      sh "$jobs" >"$log" 2>&1; then
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
    # The installer and the portable zip, tried in a fresh prefix of their own.
    tests/package/check-windows-installer.sh build-win
  fi
fi

# The archive reader against hostile input, for a bounded time
# (docs/reliability.md for longer runs).
if command -v clang++ >/dev/null 2>&1; then
  echo "== Fuzz the archive for ${HALVARIN_FUZZ_SECONDS:-60} s =="
  cmake --preset fuzz
  cmake --build --preset fuzz -j"$jobs"
  ctest --preset fuzz
else
  echo "== clang++ is missing: the archive fuzzer does not run =="
fi

echo "== Build and test under AddressSanitizer and UndefinedBehaviorSanitizer =="
# The sanitizers' options are the asan test preset's.
cmake --preset asan
cmake --build --preset asan -j"$jobs"
ctest --preset asan -j"$jobs"
