#!/usr/bin/env bash
# Builds everything and runs every test. With --asan: the AddressSanitizer +
# UndefinedBehaviorSanitizer build instead. With --windows: the Windows cross build (the logic and
# the Win32 karvo.exe), its tests run under Wine in a fresh Wine prefix that is removed after;
# then, on the same prefix, the tests labelled "wine" of the build here: the registry suites on a
# Wine prefix through reghelper.exe, and a backup and restore through Wine's regedit. Between them
# the Windows installer is installed, started and uninstalled on that prefix.
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
if [ "$preset" != windows ]; then
    exec ctest --preset "$preset" -j2 -LE wine
fi
source scripts/throwaway-prefix.sh
# A Wine client now and then loses its wineserver between two short test programs ("recvmsg:
# Connection reset by peer", no test output at all); such a test gets one more run.
ctest --preset windows -j2 --repeat until-pass:2
# The installer, made from this build, installed, started and uninstalled on the same prefix.
scripts/package.sh --windows --from build/windows >/dev/null
version="$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' build/windows/CMakeCache.txt)"
tests/package/windows_installer_test.sh "build/package/karvo-$version-win64-setup.exe"
# The Wine prefix back end of the build here, with the helper just cross-built, on the same prefix.
cmake --preset default >/dev/null
cmake --build --preset default
scripts/wine-helper.sh
KARVO_TEST_WINEPREFIX="$WINEPREFIX" ctest --preset default -j2 -L wine
