#!/usr/bin/env bash
# Provisions a private 32-bit Wine: the i386 builds of Wine and of the libraries it loads,
# unpacked from Debian's packages into one folder and never installed with dpkg (Debian 12
# cannot install wine32:i386 next to wine64: the i386 and amd64 library versions disagree).
#
#   tools/wine32-root.sh            provision (idempotent) and print the loader's path
#   tools/wine32-root.sh --loader   print the loader's path if the root is ready, else fail
#
# The root lives in $TQ_WINE32_ROOT (default /opt/tqmenu/wine32); the downloaded packages are
# cached in $TQ_WINE32_CACHE (default /var/cache/tqmenu-wine32).  The root is built in a
# staging folder and swapped in whole, so an interrupted run never leaves half a root.  Its
# Wine must be the exact version of the installed wine64: the 32-bit loader starts the host's
# 64-bit wineserver, and both speak one protocol.
set -euo pipefail

root=${TQ_WINE32_ROOT:-/opt/tqmenu/wine32}
cache=${TQ_WINE32_CACHE:-/var/cache/tqmenu-wine32}
loader=$root/usr/lib/wine/wine

die() { echo "wine32-root.sh: $*" >&2; exit 1; }

wine64_version=$(dpkg-query -W -f='${Version}' wine64 2>/dev/null) ||
    die "wine64 is not installed (tools/deps.sh installs it)"
stamp="wine $wine64_version"

if [ "$(cat "$root/.tq-stamp" 2>/dev/null)" = "$stamp" ] && [ -x "$loader" ]; then
    echo "$loader"
    exit 0
fi
[ "${1:-}" = --loader ] && die "no 32-bit Wine root at $root (run tools/wine32-root.sh)"

sudo=""
[ "$(id -u)" = 0 ] || sudo=sudo

if ! dpkg --print-foreign-architectures | grep -qx i386; then
    echo "wine32-root.sh: adding the i386 architecture to apt's package lists" >&2
    $sudo dpkg --add-architecture i386
    $sudo apt-get update >&2 || echo "wine32-root.sh: apt-get update failed; using the lists at hand" >&2
fi
if ! command -v patchelf >/dev/null; then
    DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y --no-install-recommends patchelf >&2
fi

# The index must offer wine32:i386 at exactly the wine64 version.
if ! apt-cache madison wine32:i386 2>/dev/null | awk -F'|' '{gsub(/ /,"",$2); print $2}' |
    grep -qxF "$wine64_version"; then
    $sudo apt-get update >&2 || true
    apt-cache madison wine32:i386 2>/dev/null | awk -F'|' '{gsub(/ /,"",$2); print $2}' |
        grep -qxF "$wine64_version" ||
        die "the i386 package index has no wine32 $wine64_version (the installed wine64);" \
            "offered: $(apt-cache madison wine32:i386 2>/dev/null | awk -F'|' '{print $2}' | xargs)"
fi

libs=(libc6 libgcc-s1 libx11-6 libxcb1 libxau6 libxdmcp6 libbsd0 libmd0 libxext6 libxrender1
      libxrandr2 libxi6 libxcursor1 libxfixes3 libxinerama1 libxcomposite1 libxxf86vm1
      libfreetype6 libpng16-16 zlib1g libbrotli1 libfontconfig1 libexpat1 libudev1 libusb-1.0-0)
wanted=("wine32:i386=$wine64_version" "libwine:i386=$wine64_version" libz-mingw-w64)
for l in "${libs[@]}"; do wanted+=("$l:i386"); done

$sudo mkdir -p "$cache" "$(dirname "$root")"
# apt-get download writes into the current folder; it skips nothing, so fetch only the missing.
todo=()
for w in "${wanted[@]}"; do
    name=${w%%[:=]*}
    arch=i386
    [ "$name" = libz-mingw-w64 ] && arch=all
    ver=$(apt-cache policy "$name:$arch" 2>/dev/null | awk '/Candidate:/ {print $2}')
    [ "$name" = wine32 ] || [ "$name" = libwine ] && ver=$wine64_version
    [ -n "$ver" ] && [ "$ver" != "(none)" ] || die "no candidate for $name:$arch in the package index"
    file="${name}_${ver/:/%3a}_${arch}.deb"
    [ -s "$cache/$file" ] || todo+=("$w")
done
if [ ${#todo[@]} -gt 0 ]; then
    echo "wine32-root.sh: downloading ${#todo[@]} packages into $cache" >&2
    (cd "$cache" && $sudo apt-get download "${todo[@]}" >&2) || die "apt-get download failed"
fi

stage=$(dirname "$root")/.wine32-stage.$$
$sudo rm -rf "$stage"
trap '$sudo rm -rf "$stage"' EXIT
$sudo mkdir -p "$stage"
for w in "${wanted[@]}"; do
    name=${w%%[:=]*}
    arch=i386
    [ "$name" = libz-mingw-w64 ] && arch=all
    deb=$(ls -t "$cache/${name}_"*"_${arch}.deb" | head -n 1)
    [ "$name" = wine32 ] || [ "$name" = libwine ] && deb="$cache/${name}_${wine64_version/:/%3a}_${arch}.deb"
    [ -s "$deb" ] || die "missing $deb"
    $sudo dpkg-deb -x "$deb" "$stage"
done

# user32 imports zlib1.dll, which libwine's maintainer script would make from the mingw zlib:
# a PE marked as a Wine builtin (the 32 bytes after the DOS header).
windlls=$stage/usr/lib/i386-linux-gnu/wine/i386-windows
[ -d "$windlls" ] || die "unexpected layout: $windlls is missing"
$sudo cp "$stage/usr/i686-w64-mingw32/lib/zlib1.dll" "$windlls/zlib1.dll"
{ printf 'Wine builtin DLL'; head -c 16 /dev/zero; } |
    $sudo dd of="$windlls/zlib1.dll" bs=1 seek=64 count=32 conv=notrunc status=none

# A self-contained loader: its own ld.so, and an RPATH that also serves Wine's later dlopens.
[ -f "$stage/usr/lib/wine/wine" ] || die "unexpected layout: usr/lib/wine/wine is missing"
$sudo patchelf --set-interpreter "$root/lib/ld-linux.so.2" --force-rpath \
    --set-rpath "$root/lib/i386-linux-gnu:$root/usr/lib/i386-linux-gnu" \
    "$stage/usr/lib/wine/wine"
echo "$stamp" | $sudo tee "$stage/.tq-stamp" >/dev/null

# Swap the new root in.
old=$(dirname "$root")/.wine32-old.$$
[ -e "$root" ] && $sudo mv "$root" "$old"
$sudo mv "$stage" "$root"
$sudo rm -rf "$old"
trap - EXIT
echo "wine32-root.sh: 32-bit Wine $wine64_version ready in $root" >&2
echo "$loader"
