#!/usr/bin/env bash
# Builds the Debian package halvarin_<version>_<arch>.deb into this folder:
# installs what is missing, makes a release build with Debian's hardening
# flags (dpkg-buildflags) in build-package/, and runs cpack. Then:
#   sudo apt install ./halvarin_*.deb
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
