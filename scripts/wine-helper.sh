#!/usr/bin/env bash
# Builds the Windows registry helper (reghelper.exe, mingw-w64) that serves a Wine prefix's
# registry, and puts it into the Windows folder of the default build, where karvo looks for it.
# Installs Wine and the cross-compiler when they are missing.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/deps.sh --windows
cmake --preset windows >/dev/null
cmake --build --preset windows --target reghelper
mkdir -p build/default/bin/windows
cp build/windows/bin/windows/reghelper.exe build/default/bin/windows/reghelper.exe
