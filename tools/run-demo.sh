#!/usr/bin/env bash
# The main job: installs what is missing, builds every preset, registers the COM servers in a
# private Wine prefix (build/win64/wineprefix) and runs the demo.
#
# With a display (DISPLAY set) the demo form opens on it; without one it runs under Xvfb, picks
# menu entries by real keyboard input, prints what it received and leaves a screenshot in build/.
set -euo pipefail
cd "$(dirname "$0")/.."

tools/deps.sh
for preset in native win64 win32; do
    echo "=== build $preset"
    cmake --preset "$preset" >/dev/null
    cmake --build --preset "$preset"
done

prefix=build/win64/wineprefix
servers=()
for f in build/win64/biblioteca/com/tqBiblioteca.dll build/win64/control/tqMenuCtl.ocx; do
    [ -f "$f" ] && servers+=("$f")
done
echo "=== register ${servers[*]} in $prefix"
tools/wine-regsvr.sh --prefix "$prefix" "${servers[@]}"

demo=build/win64/demo/tqMenuDemo.exe
if [ -f "$demo" ]; then
    echo "=== tqMenuDemo"
    if [ -n "${DISPLAY:-}" ] && [ "${TQ_HEADLESS:-0}" != 1 ]; then
        TQ_USE_DISPLAY=1 tools/wine-run.sh --prefix "$prefix" "$demo"
    else
        tools/wine-run.sh --prefix "$prefix" "$demo" --headless \
            --screenshot "Z:$(pwd | sed 's|/|\\|g')\\build\\tqMenuDemo.png"
    fi
else
    echo "=== tqBiblioteca from a script (cscript)"
    (cd demo && ../tools/wine-run.sh --prefix "../$prefix" cscript.exe //nologo biblioteca.vbs)
fi
