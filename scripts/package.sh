#!/usr/bin/env bash
# Builds the Debian package of Karvo Backup into build/package/: the same build type the tests run
# on, without tests or benchmarks; CPack strips the programs. Install it with: sudo apt install ./build/package/karvo_*.deb
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/deps.sh
cmake -S . -B build/package -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
      -DKARVO_BUILD_TESTS=OFF -DKARVO_BUILD_BENCH=OFF >/dev/null
cmake --build build/package
(cd build/package && cpack -B "$PWD")
ls build/package/karvo_*.deb
