# Sourced: makes a fresh Wine prefix for this run in $WINEPREFIX and removes it, with its own
# wineserver, when the shell exits. The user's own prefixes are never touched.
WINEPREFIX=$(mktemp -d "${TMPDIR:-/tmp}/karvo-wine.XXXXXX")
export WINEPREFIX WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
trap 'wineserver -k 2>/dev/null || true; rm -rf "$WINEPREFIX"' EXIT
wineboot -i >/dev/null 2>&1
# Headless: windows are made by Wine's null display driver (see cmake/wine-run.sh).
wine reg add 'HKCU\Software\Wine\Drivers' /v Graphics /d null /f >/dev/null 2>&1 &&
    touch "$WINEPREFIX/.karvo-null-display"
wineserver -w
