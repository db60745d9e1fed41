#!/usr/bin/env bash
# The main job: installs what is missing, builds every preset, registers the COM servers in a
# private Wine prefix (build/win64/wineprefix) and runs the demo.
#
# With a display (DISPLAY set, TQ_HEADLESS unset) the demo form opens on it; without one it runs
# under Xvfb, picks menu entries by real keyboard input, prints the MenuClicks it received and
# leaves a screenshot in build/tqMenuDemo.png.
set -euo pipefail
cd "$(dirname "$0")/.."

tools/deps.sh
for preset in native win64 win32; do
    echo "=== build $preset"
    cmake --preset "$preset" >/dev/null
    cmake --build --preset "$preset"
done

prefix=build/win64/wineprefix
echo "=== register tqBiblioteca.dll and tqMenuCtl.ocx in $prefix"
tools/wine-regsvr.sh --prefix "$prefix" build/win64/biblioteca/com/tqBiblioteca.dll \
    build/win64/control/tqMenuCtl.ocx

echo "=== tqBiblioteca from a script (cscript)"
(cd demo && ../tools/wine-run.sh --prefix "../$prefix" cscript.exe //nologo biblioteca.vbs)

echo "=== tqMenuDemo: the tqMenu control on a form"
args=()
[ "${TQ_HEADLESS:-0}" = 1 ] && args+=(--headless)
exec tools/run-demo-wine.sh --build build/win64 "${args[@]}"
