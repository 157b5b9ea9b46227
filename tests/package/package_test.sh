#!/usr/bin/env bash
# Builds the Debian package and checks its contents; unpacked, the installed karvo started for a user
# with an empty home makes that user's folder with "Favs.tlv" and the help link, and nothing beside itself.
# Usage: package_test.sh BUILD_DIR
set -euo pipefail
build="$1"
work="$(mktemp -d)"
pid=""
trap '[ -n "$pid" ] && kill "$pid" 2>/dev/null; rm -rf "$work"' EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }

cpack --config "$build/CPackConfig.cmake" -B "$work/out" >"$work/cpack.log" 2>&1 ||
    { cat "$work/cpack.log" >&2; fail "cpack"; }
deb="$(ls "$work"/out/karvo_*.deb)"
dpkg-deb -c "$deb" | awk '{print $6}' | sed 's|^\./|/|' >"$work/contents"
for f in /usr/bin/karvo /usr/lib/karvo/karvo /usr/lib/karvo/per-user /usr/lib/karvo/Karvo.chm \
         /usr/lib/karvo/windows/regedit /usr/lib/karvo/windows/msinfo32 \
         /usr/share/applications/karvo.desktop /usr/share/icons/hicolor/48x48/apps/karvo.png \
         /usr/share/icons/hicolor/scalable/apps/karvo.svg /usr/share/karvo/help/Karvo.chm \
         /usr/share/karvo/help/Karvo-html/index.html; do
    grep -qx "$f" "$work/contents" || fail "$f not in the package"
done
# The Wine prefix helper, when this build has one (scripts/wine-helper.sh); the package builds it always.
[ ! -e "$build/bin/windows/reghelper.exe" ] || grep -qx /usr/lib/karvo/windows/reghelper.exe "$work/contents" ||
    fail "reghelper.exe not in the package"
[[ "$(dpkg-deb -f "$deb" Recommends)" == *wine* ]] || fail "the package does not recommend wine"
depends="$(dpkg-deb -f "$deb" Depends)"
for lib in libqt6widgets6 libsqlite3-0; do
    [[ "$depends" == *"$lib"* ]] || fail "Depends lacks $lib: $depends"
done

root="$work/root" home="$work/home"
dpkg -x "$deb" "$root"
mkdir -p "$home"
! command -v desktop-file-validate >/dev/null || desktop-file-validate "$root/usr/share/applications/karvo.desktop"

env -u KARVO_REGISTRY -u KARVO_WINDIR -u XDG_DATA_HOME HOME="$home" QT_QPA_PLATFORM=offscreen \
    "$root/usr/bin/karvo" >"$work/karvo.log" 2>&1 &
pid=$!
mine="$home/.local/share/karvo"
for _ in $(seq 100); do
    [ -s "$mine/Favs.tlv" ] && break
    kill -0 "$pid" 2>/dev/null || { cat "$work/karvo.log" >&2; fail "karvo ended early"; }
    sleep 0.1
done
[ "$(cat "$mine/Favs.tlv")" = $'Favorite Keys\r' ] || fail "no Favs.tlv in $mine"
[ "$(readlink -f "$mine/Karvo.chm")" = "$(readlink -f "$root/usr/share/karvo/help/Karvo.chm")" ] ||
    fail "no help link in $mine"
[ ! -e "$root/usr/lib/karvo/Favs.tlv" ] || fail "favourites written beside the installed program"
kill "$pid"
wait "$pid" 2>/dev/null || true
pid=""

# The installed editor works from its Windows folder on the same user's registry.
(cd "$mine" && HOME="$home" env -u KARVO_REGISTRY -u XDG_DATA_HOME "$root/usr/lib/karvo/windows/regedit" \
    /e Software_HKCU.reg 'HKEY_CURRENT_USER\Software') && [ -s "$mine/Software_HKCU.reg" ] || fail "installed regedit"
echo "package ok: $(basename "$deb")"
