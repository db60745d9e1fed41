#!/usr/bin/env bash
# Installs what the build and the tests need from Debian's packages.  Idempotent: when every
# package is already present it only checks and returns.  A failing `apt-get update` (a broken
# mirror index) is tolerated: the install then uses the lists it has.  Then it provisions the
# private 32-bit Wine that runs the win32 tests and demo (tools/wine32-root.sh).
set -euo pipefail

packages=(
    cmake ninja-build g++ clang libclang-rt-14-dev googletest
    g++-mingw-w64-x86-64-posix g++-mingw-w64-i686-posix mingw-w64-tools binutils-mingw-w64
    wine64 libwine-dev xvfb xauth imagemagick util-linux ccache patchelf
)

missing=()
for p in "${packages[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
    echo "deps: installing ${missing[*]}"
    sudo=""
    [ "$(id -u)" = 0 ] || sudo=sudo
    $sudo apt-get update || echo "deps: apt-get update failed; installing from the lists at hand" >&2
    DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y --no-install-recommends "${missing[@]}"
fi

"$(dirname "$0")/wine32-root.sh" >/dev/null
