#!/usr/bin/env bash
# Installs the Debian 12 packages the build and the tests need, only when one is missing.
# With --windows also those of the Windows cross build.
set -euo pipefail
pkgs=(cmake ninja-build g++ clang libclang-rt-dev pkg-config libsqlite3-dev sqlite3
      libgtest-dev libgmock-dev libbenchmark-dev
      qt6-base-dev qt6-base-dev-tools libgl-dev
      python3 xdg-utils
      fp-utils librsvg2-bin dpkg-dev desktop-file-utils)
# The Windows build: the cross-compiler, GoogleTest's sources for it, Wine to run its tests, and
# the makers of its zip and installer.
[ "${1:-}" = "--windows" ] && pkgs+=(g++-mingw-w64-x86-64-posix g++-mingw-w64-i686-posix googletest wine wine64 nsis zip)
missing=()
for p in "${pkgs[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if ((${#missing[@]})); then
    sudo=""
    [ "$(id -u)" -eq 0 ] || sudo="sudo"
    echo "Installing: ${missing[*]}"
    $sudo apt-get update -qq
    DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi
