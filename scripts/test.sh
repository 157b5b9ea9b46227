#!/usr/bin/env bash
# Builds everything and runs every test. With --asan: the AddressSanitizer +
# UndefinedBehaviorSanitizer build instead. With --windows: the Windows cross build (everything
# that draws no window), its tests run under Wine in a fresh Wine prefix that is removed after.
set -euo pipefail
cd "$(dirname "$0")/.."
preset=default
case "${1:-}" in
    --asan) preset=asan ;;
    --windows) preset=windows ;;
esac
scripts/deps.sh ${1:-}
cmake --preset "$preset" >/dev/null
cmake --build --preset "$preset"
if [ "$preset" = windows ]; then
    WINEPREFIX=$(mktemp -d "${TMPDIR:-/tmp}/karvo-wine.XXXXXX")
    export WINEPREFIX WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
    # The prefix's own wineserver goes with it; nobody else's is touched.
    trap 'wineserver -k 2>/dev/null || true; rm -rf "$WINEPREFIX"' EXIT
    wineboot -i >/dev/null 2>&1
    wineserver -w
fi
ctest --preset "$preset" -j2
