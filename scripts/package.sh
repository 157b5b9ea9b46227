#!/usr/bin/env bash
# Builds the release files into build/package/, from the same build type the tests run on, without
# tests or benchmarks; the programs are stripped.
#   scripts/package.sh            the Debian package, with reghelper.exe for Wine prefixes. Install it
#                                 with: sudo apt install ./build/package/karvo_*.deb
#   scripts/package.sh --windows  per Windows architecture (win64; win32 too when its compiler is
#                                 installed) the portable karvo-VERSION-ARCH.zip (karvo.exe, Karvo.chm)
#                                 and the installer karvo-VERSION-ARCH-setup.exe (NSIS)
#   scripts/package.sh --windows --from BUILD_DIR   only win64, from that build of the windows preset
#                                 (the tests' own, so the installer test needs no second build)
set -euo pipefail
cd "$(dirname "$0")/.."
if [ "${1:-}" != --windows ]; then
    # The Windows cross-compiler too: the package carries reghelper.exe for Wine prefixes.
    scripts/deps.sh --windows
    cmake -S . -B build/package -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
          -DKARVO_BUILD_TESTS=OFF -DKARVO_BUILD_BENCH=OFF >/dev/null
    cmake --build build/package
    cmake --preset windows -B build/package-helper -DKARVO_BUILD_TESTS=OFF >/dev/null
    cmake --build build/package-helper --target reghelper
    x86_64-w64-mingw32-strip -o build/package/bin/windows/reghelper.exe build/package-helper/bin/windows/reghelper.exe
    (cd build/package && cpack -B "$PWD")
    ls build/package/karvo_*.deb
    exit 0
fi

scripts/deps.sh --windows
out="$PWD/build/package"
mkdir -p "$out"
# The icon of the Start-menu entry and of the installed programs' list, from the one drawing.
icons="$(mktemp -d)"
trap 'rm -rf "$icons"' EXIT
for size in 16 32 48 256; do
    rsvg-convert -w "$size" -h "$size" -o "$icons/$size.png" packaging/karvo.svg
done
packaging/png-to-ico.py "$icons/karvo.ico" "$icons"/{16,32,48,256}.png

# windows_release PRESET ARCH TRIPLET
windows_release() {
    local preset="$1" arch="$2" triplet="$3" dir="${4:-build/package-$2}"
    if ! grep -q "\"name\": \"$preset\"" CMakePresets.json || ! command -v "$triplet-g++-posix" >/dev/null; then
        echo "$arch: no $preset preset or no $triplet compiler; skipped"
        return
    fi
    [ -n "${4:-}" ] || cmake --preset "$preset" -B "$dir" -DKARVO_BUILD_TESTS=OFF -DKARVO_BUILD_BENCH=OFF >/dev/null
    cmake --build "$dir" --target karvo karvo_help
    local version stage="$dir/release"
    version="$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$dir/CMakeCache.txt")"
    rm -rf "$stage" && mkdir -p "$stage"
    "$triplet-strip" -o "$stage/karvo.exe" "$dir/bin/karvo.exe"
    cp "$dir/bin/Karvo.chm" "$stage/"
    rm -f "$out/karvo-$version-$arch.zip"
    (cd "$stage" && zip -q -X "$out/karvo-$version-$arch.zip" karvo.exe Karvo.chm)
    cp "$icons/karvo.ico" "$stage/"
    makensis -V2 -DVERSION="$version" -DARCH="$arch" -DFILES="$PWD/$stage" \
             -DOUTFILE="$out/karvo-$version-$arch-setup.exe" packaging/karvo.nsi
    ls -l "$out/karvo-$version-$arch.zip" "$out/karvo-$version-$arch-setup.exe"
}
if [ "${2:-}" = --from ]; then
    windows_release windows win64 x86_64-w64-mingw32 "${3:?a build folder}"
    exit 0
fi
windows_release windows win64 x86_64-w64-mingw32
windows_release windows-x86 win32 i686-w64-mingw32
