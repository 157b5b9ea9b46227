#!/usr/bin/env bash
# The 64-bit installer on a throw-away Wine prefix: installed silently, its files, Start-menu entry
# and Uninstall key are there; the installed karvo.exe, started briefly, makes the user's folder in
# %APPDATA% with "Favs.tlv"; the silent uninstall removes the program and its entries and leaves
# the user's backups alone. Usage: windows_installer_test.sh SETUP.EXE, with $WINEPREFIX a prefix
# of scripts/throwaway-prefix.sh.
set -uo pipefail
setup="$1" version="${1##*/karvo-}"
version="${version%-win64-setup.exe}"
[ -n "${WINEPREFIX:-}" ] && [ "$WINEPREFIX" != "$HOME/.wine" ] || { echo "no throw-away WINEPREFIX" >&2; exit 2; }
passed=0 failed=0
check() {  # check WHAT COMMAND...
    local what="$1"
    shift
    if "$@" >/dev/null 2>&1; then passed=$((passed + 1)); else failed=$((failed + 1)); echo "FAIL: $what"; fi
}
key='HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall\Karvo'
regValue() { wine reg query "$key" /v "$1" 2>/dev/null | tr -d '\r' | awk -v v="$1" '$1 == v {sub(/^ *[^ ]+ +[^ ]+ +/, ""); print}'; }
dir="$WINEPREFIX/drive_c/Program Files/Karvo"
menu="$WINEPREFIX/drive_c/ProgramData/Microsoft/Windows/Start Menu/Programs/Karvo Backup.lnk"

timeout 60 wine "$setup" /S
wineserver -w
for f in karvo.exe Karvo.chm karvo.ico per-user uninstall.exe; do check "installed $f" test -s "$dir/$f"; done
check "Start-menu entry" test -s "$menu"
check "DisplayName" test "$(regValue DisplayName)" = "Karvo Backup"
check "DisplayVersion" test "$(regValue DisplayVersion)" = "$version"
check "UninstallString" test "$(regValue UninstallString)" = '"C:\Program Files\Karvo\uninstall.exe"'
check "DisplayIcon" test "$(regValue DisplayIcon)" = 'C:\Program Files\Karvo\karvo.ico'

mine="$(winepath -u "$(wine cmd /c echo %APPDATA% | tr -d '\r')")/Karvo"
wine 'C:\Program Files\Karvo\karvo.exe' &
pid=$!
for _ in $(seq 150); do
    [ -s "$mine/Favs.tlv" ] && break
    kill -0 "$pid" 2>/dev/null || break
    sleep 0.2
done
check "Favs.tlv in %APPDATA%\\Karvo" test -s "$mine/Favs.tlv"
check "help copied to the user's folder" cmp "$dir/Karvo.chm" "$mine/Karvo.chm"
check "nothing written beside the installed program" test ! -e "$dir/Favs.tlv"
kill "$pid" 2>/dev/null
wineserver -k
printf 'REGEDIT4\r\n' >"$mine/Software_HKCU.reg"

timeout 60 wine "$dir/uninstall.exe" /S
wineserver -w
check "program folder removed" test ! -e "$dir"
check "Start-menu entry removed" test ! -e "$menu"
check "Uninstall key removed" bash -c "! wine reg query '$key'"
check "backups kept" test -s "$mine/Software_HKCU.reg"
check "favourites kept" test -s "$mine/Favs.tlv"
echo "windows installer: $passed passed, $failed failed"
[ "$failed" -eq 0 ]
