#!/usr/bin/env bash
# The main job: installs what is missing, builds every preset, registers the COM servers in a
# private Wine prefix (build/win64/wineprefix) and runs the demo.
#
#   tools/run-demo.sh [--arch 32|64]     (or TQ_DEMO_ARCH=32)
#
# --arch 32 runs the classic 32-bit build instead, on the private 32-bit Wine, in
# build/win32/wineprefix.
#
# With a display (DISPLAY set, TQ_HEADLESS unset) the demo form opens on it; without one it runs
# under Xvfb, picks menu entries by real keyboard input, prints the MenuClicks it received and
# leaves a screenshot in build/tqMenuDemo.png.
set -euo pipefail
cd "$(dirname "$0")/.."

arch=${TQ_DEMO_ARCH:-64}
while [ $# -gt 0 ]; do
    case "$1" in
    --arch) arch=$2; shift 2 ;;
    *) echo "usage: tools/run-demo.sh [--arch 32|64]" >&2; exit 2 ;;
    esac
done
case "$arch" in 32 | 64) ;; *) echo "run-demo.sh: --arch is 32 or 64" >&2; exit 2 ;; esac

tools/deps.sh
. tools/build-env.sh
for preset in native win64 win32; do
    echo "=== build $preset"
    cmake --preset "$preset" >/dev/null
    cmake --build --preset "$preset"
done

prefix=build/win$arch/wineprefix
echo "=== register tqBiblioteca.dll and tqMenuCtl.ocx in $prefix"
tools/wine-regsvr.sh --prefix "$prefix" --arch "$arch" \
    build/win$arch/biblioteca/com/tqBiblioteca.dll build/win$arch/control/tqMenuCtl.ocx

echo "=== tqBiblioteca from a script (cscript)"
(cd demo && ../tools/wine-run.sh --prefix "../$prefix" --arch "$arch" cscript.exe //nologo biblioteca.vbs)

echo "=== tqMenuDemo: the tqMenu control on a form"
args=()
[ "${TQ_HEADLESS:-0}" = 1 ] && args+=(--headless)
exec tools/run-demo-wine.sh --arch "$arch" "${args[@]}"
