#!/bin/sh
# Runs a cross-built program under Wine, but only in a prefix made for the run, never the user's
# own ~/.wine: scripts/test.sh --windows makes a fresh one and sets WINEPREFIX.
if [ -z "${WINEPREFIX:-}" ] || [ "$WINEPREFIX" = "$HOME/.wine" ]; then
    echo "wine-run: no private WINEPREFIX set; run the Windows tests through scripts/test.sh --windows" >&2
    exit 2
fi
exec wine "$@"
