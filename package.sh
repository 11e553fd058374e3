#!/usr/bin/env bash
# Builds the Debian package halvarin_<version>_<arch>.deb into this folder:
# installs what is missing, makes a release build with Debian's hardening
# flags (dpkg-buildflags) in build-package/, and runs cpack. Then:
#   sudo apt install ./halvarin_*.deb
# Where the mingw-w64 cross build can be made, also the Windows installer
# halvarin-<version>-win64-setup.exe and the portable halvarin-<version>-win64.zip.
set -euo pipefail
cd "$(dirname "$0")"
source tools/deps.sh
halvarin_install_packages "${HALVARIN_BUILD_PACKAGES[@]}" "${HALVARIN_PACKAGE_PACKAGES[@]}"

build=build-package
# All of Debian's hardening, immediate binding included.
export DEB_BUILD_MAINT_OPTIONS=hardening=+all
# Given on every run, not only the first: CMake keeps flags in its cache.
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=None -DHALVARIN_BUILD_TESTS=OFF \
  -DHALVARIN_BUILD_BENCH=OFF \
  -DCMAKE_CXX_FLAGS="$(dpkg-buildflags --get CXXFLAGS) $(dpkg-buildflags --get CPPFLAGS)" \
  -DCMAKE_EXE_LINKER_FLAGS="$(dpkg-buildflags --get LDFLAGS)"
cmake --build "$build" -j"$(nproc)"
(cd "$build" && cpack -G DEB)
cp "$build"/halvarin_*.deb .
ls -l halvarin_*.deb

# The Windows installer and the portable zip, from a release build with the
# mingw-w64 cross compiler, where it and NSIS can be had.
build=build-package-win
if halvarin_install_packages "${HALVARIN_WINDOWS_PACKAGE_PACKAGES[@]}" &&
  command -v x86_64-w64-mingw32-g++-posix >/dev/null && command -v makensis >/dev/null; then
  cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DHALVARIN_BUILD_TESTS=OFF \
    -DHALVARIN_BUILD_BENCH=OFF -DHALVARIN_QT=OFF -DCMAKE_TOOLCHAIN_FILE=tools/mingw-w64-x86_64.cmake
fi
if [ -f "$build/build.ninja" ] &&
  cmake --build "$build" --target help | grep '^windows_packages:' >/dev/null; then
  cmake --build "$build" -j"$(nproc)" --target windows_packages
  cp "$build"/halvarin-*-win64-setup.exe "$build"/halvarin-*-win64.zip .
  ls -l halvarin-*-win64-setup.exe halvarin-*-win64.zip
else
  echo "== No Windows installer and zip: they need the mingw-w64 cross compiler, NSIS, wine" \
    "and halvarin.exe in the cross build =="
fi
