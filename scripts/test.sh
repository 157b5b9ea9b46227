#!/usr/bin/env bash
# Builds everything and runs every test. With --asan: the AddressSanitizer +
# UndefinedBehaviorSanitizer build instead.
set -euo pipefail
cd "$(dirname "$0")/.."
preset=default
[ "${1:-}" = "--asan" ] && preset=asan
scripts/deps.sh
cmake --preset "$preset" >/dev/null
cmake --build --preset "$preset"
ctest --preset "$preset" -j2
