#!/usr/bin/env bash
# Runs tqMenuDemo.exe (the tqMenu control on a form) in the build's private Wine prefix.
#
#   tools/run-demo-wine.sh [--arch 32|64] [--build DIR] [--headless] [--screenshot FILE.png]
#                          [DEMO-ARGS...]
#
# --arch 32 runs the 32-bit build (build/win32) on the private 32-bit Wine; DIR defaults to
# build/win32 or build/win64 accordingly.  tqBiblioteca.dll and tqMenuCtl.ocx are registered in
# DIR/wineprefix first.  With a display (DISPLAY set, no --headless) the form opens on it for a
# person to use.  Otherwise the demo runs under the prefix's Xvfb: it picks two entries by real
# keyboard input and prints the MenuClicks it got; while it holds a submenu open this script takes
# a screenshot of the screen (ImageMagick's import) into FILE.png (default build/tqMenuDemo.png).
# The exit code is the demo's: 0 when every MenuClick arrived and Sair closed the form.
#
# Any other argument (e.g. --propriedades: the control's property page opens in the demo's own
# frame once the form is up; --propriedades-ole: the same in OleCreatePropertyFrame) goes to the
# demo on the display; the headless run takes none.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/.." && pwd)

build=""
arch=${TQ_DEMO_ARCH:-64}
headless=0
shot="$root/build/tqMenuDemo.png"
demo_args=()
while [ $# -gt 0 ]; do
    case "$1" in
    --build) build=$(cd "$2" && pwd); shift 2 ;;
    --arch) arch=$2; shift 2 ;;
    --headless) headless=1; shift ;;
    --screenshot) shot=$2; shift 2 ;;
    --) shift; demo_args+=("$@"); break ;;
    *) demo_args+=("$1"); shift ;;
    esac
done
case "$arch" in 32 | 64) ;; *) echo "run-demo-wine.sh: --arch is 32 or 64" >&2; exit 2 ;; esac
[ -n "$build" ] || build="$root/build/win$arch"
[ -z "${DISPLAY:-}" ] && headless=1
if [ "$headless" = 1 ] && [ ${#demo_args[@]} -gt 0 ]; then
    echo "run-demo-wine.sh: ${demo_args[*]}: the headless run takes no demo arguments (needs DISPLAY)" >&2
    echo "usage: run-demo-wine.sh [--build DIR] [--headless] [--screenshot FILE.png] [DEMO-ARGS...]" >&2
    exit 2
fi

prefix="$build/wineprefix"
demo="$build/demo/tqMenuDemo.exe"
servers=("$build/biblioteca/com/tqBiblioteca.dll" "$build/control/tqMenuCtl.ocx")
for f in "$demo" "${servers[@]}"; do
    [ -f "$f" ] || { echo "run-demo-wine.sh: $f is missing (build the win$arch preset first)" >&2; exit 1; }
done
"$here/wine-regsvr.sh" --prefix "$prefix" --arch "$arch" "${servers[@]}"

winpath() { echo "Z:$(echo "$1" | sed 's|/|\\|g')"; }

if [ "$headless" = 0 ]; then
    TQ_USE_DISPLAY=1 exec "$here/wine-run.sh" --prefix "$prefix" --arch "$arch" "$demo" "${demo_args[@]}"
fi

mkdir -p "$(dirname "$shot")"
shot=$(cd "$(dirname "$shot")" && pwd)/$(basename "$shot")
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
ready="$work/ready"
done_file="$work/done"
"$here/wine-run.sh" --prefix "$prefix" --arch "$arch" "$demo" --headless \
    --ready-file "$(winpath "$ready")" --done-file "$(winpath "$done_file")" &
pid=$!
# The demo says when its submenu is open; the picture is taken on the prefix's own X display.
for _ in $(seq 1 300); do
    [ -e "$ready" ] && break
    kill -0 "$pid" 2>/dev/null || break
    sleep 0.1
done
if [ -e "$ready" ]; then
    # The form stands at (60, 60), 560 x 360, and its submenus open inside that area.
    if DISPLAY="$(cat "$prefix/.tq/display")" import -window root -crop 600x400+40+40 +repage \
        "$shot"; then
        echo "tqMenuDemo: screenshot $shot"
    else
        echo "run-demo-wine.sh: import failed; no screenshot" >&2
    fi
else
    echo "run-demo-wine.sh: the demo never opened its submenu; no screenshot" >&2
fi
touch "$done_file"
rc=0
wait "$pid" || rc=$?
exit "$rc"
