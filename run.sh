#!/usr/bin/env bash
# Installs what is missing, builds Halvarin and starts it.
set -euo pipefail
cd "$(dirname "$0")"
source tools/deps.sh
halvarin_install_packages "${HALVARIN_BUILD_PACKAGES[@]}"

cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DHALVARIN_BUILD_TESTS=OFF \
  -DHALVARIN_BUILD_BENCH=OFF
cmake --build build -j"$(nproc)"

exec build/halvarin
