#!/usr/bin/env bash
# Takes the pictures of the property page for the documentation: the page at 96 and at 144 DPI,
# and each time the page with the tree's context menu open, into docs/images.
#
#   tools/designer-screenshots.sh [--arch 32|64] [--build DIR] [--out DIR]
#
# It runs designer_screenshots (built with the designer's Windows tests, not one of them) in the
# build's private Wine prefix, once per DPI: Wine's LogPixels is set before each run (Wine reads it when a
# process starts) and put back as it was at the end, since the tests share the prefix.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/.." && pwd)

arch=64
build=""
out="$root/docs/images"
while [ $# -gt 0 ]; do
    case "$1" in
    --arch) arch=$2; shift 2 ;;
    --build) build=$(cd "$2" && pwd); shift 2 ;;
    --out) out=$2; shift 2 ;;
    *) echo "usage: designer-screenshots.sh [--arch 32|64] [--build DIR] [--out DIR]" >&2; exit 2 ;;
    esac
done
[ -n "$build" ] || build="$root/build/win$arch"
prefix="$build/wineprefix"
tests="$build/tests/designer/designer_screenshots.exe"
servers=("$build/biblioteca/com/tqBiblioteca.dll" "$build/control/tqMenuCtl.ocx")
for f in "$tests" "${servers[@]}"; do
    [ -f "$f" ] || { echo "designer-screenshots.sh: $f is missing (build the win$arch preset)" >&2; exit 1; }
done
mkdir -p "$out"
out=$(cd "$out" && pwd)

run=("$here/wine-run.sh" --prefix "$prefix" --arch "$arch")
"$here/wine-regsvr.sh" --prefix "$prefix" --arch "$arch" "${servers[@]}"

# Both places Wine reads the DPI from: the desktop's (windows) and the fonts' (GDI).
keys=('HKCU\Control Panel\Desktop'
      'HKLM\System\CurrentControlSet\Hardware Profiles\Current\Software\Fonts')
saved=()
for k in "${keys[@]}"; do
    v=$("${run[@]}" reg query "$k" /v LogPixels 2>/dev/null | tr -d '\r' |
        awk '/LogPixels/ { print $3 }' || true)
    saved+=("${v:-none}")
done
restore() {
    for i in "${!keys[@]}"; do
        if [ "${saved[$i]}" = none ]; then
            "${run[@]}" reg delete "${keys[$i]}" /v LogPixels /f >/dev/null 2>&1 || true
        else
            "${run[@]}" reg add "${keys[$i]}" /v LogPixels /t REG_DWORD /d "$((saved[$i]))" /f \
                >/dev/null 2>&1 || true
        fi
    done
}
trap restore EXIT

for dpi in 96 144; do
    for k in "${keys[@]}"; do
        "${run[@]}" reg add "$k" /v LogPixels /t REG_DWORD /d "$dpi" /f >/dev/null
    done
    TQ_DOCS_SCREENSHOTS="$out" "${run[@]}" "$tests"
done
ls -l "$out"/tqMenuProperty-*dpi.png
