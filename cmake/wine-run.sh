#!/bin/sh
# Runs a cross-built program under Wine, but only in a prefix made for the run, never the user's
# own ~/.wine: scripts/test.sh --windows makes a fresh one and sets WINEPREFIX.
if [ -z "${WINEPREFIX:-}" ] || [ "$WINEPREFIX" = "$HOME/.wine" ]; then
    echo "wine-run: no private WINEPREFIX set; run the Windows tests through scripts/test.sh --windows" >&2
    exit 2
fi
# Windows are made by Wine's null display driver, set once per prefix: the window tests need no
# screen. The desktop reads the setting when it starts, so the one started by the setting itself
# must end first.
if [ ! -e "$WINEPREFIX/.karvo-null-display" ]; then
    wine reg add 'HKCU\Software\Wine\Drivers' /v Graphics /d null /f >/dev/null 2>&1 &&
        touch "$WINEPREFIX/.karvo-null-display"
    wineserver -w
fi
exec wine "$@"
