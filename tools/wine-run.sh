#!/usr/bin/env bash
# Runs a Windows program under 64-bit Wine in a private prefix of the build tree.
#
#   wine-run.sh --prefix DIR [--stop] [PROGRAM ARGS...]
#
# Each prefix gets one Xvfb display and one persistent wineserver, started on first use and
# reused by every later run (CTest starts one process per test case: a cold server per process
# would cost seconds each).  --stop ends both.  Nothing outside DIR is touched: ~/.wine and the
# caller's DISPLAY are ignored, so tests are headless and repeatable even on a desktop; only
# TQ_USE_DISPLAY=1 (the interactive demo) uses the caller's DISPLAY instead of the Xvfb.
set -euo pipefail

prefix=""
stop=0
while [ $# -gt 0 ]; do
    case "$1" in
    --prefix) prefix=$2; shift 2 ;;
    --stop) stop=1; shift ;;
    *) break ;;
    esac
done
[ -n "$prefix" ] || { echo "wine-run.sh: --prefix DIR is required" >&2; exit 2; }
mkdir -p "$prefix"
prefix=$(cd "$prefix" && pwd)

WINELOADER_BIN=${TQ_WINE_LOADER:-/usr/lib/wine/wine64}
WINESERVER_BIN=/usr/lib/wine/wineserver
export WINEPREFIX="$prefix"
export WINEDEBUG="${WINEDEBUG:--all}"
export WINEDLLOVERRIDES="${WINEDLLOVERRIDES:-mscoree,mshtml=}"
# The ANSI code page follows the Unix locale; C.UTF-8 gives 1252, which the tests expect.
export LC_ALL=C.UTF-8
export WINESERVER="$WINESERVER_BIN"

state="$prefix/.tq"
mkdir -p "$state"

xvfb_alive() {
    [ -f "$state/xvfb.pid" ] && kill -0 "$(cat "$state/xvfb.pid")" 2>/dev/null
}

if [ "$stop" = 1 ]; then
    "$WINESERVER_BIN" -k 2>/dev/null || true
    if xvfb_alive; then kill "$(cat "$state/xvfb.pid")" 2>/dev/null || true; fi
    rm -f "$state/xvfb.pid" "$state/display" "$state/server-display"
    [ $# -gt 0 ] || exit 0
fi

start_xvfb() {
    local n
    for n in $(seq 90 250); do
        [ -e "/tmp/.X$n-lock" ] || [ -e "/tmp/.X11-unix/X$n" ] && continue
        Xvfb ":$n" -screen 0 1024x768x24 -nolisten tcp 9>&- </dev/null >"$state/xvfb.log" 2>&1 &
        echo $! >"$state/xvfb.pid"
        for _ in $(seq 1 50); do
            [ -e "/tmp/.X11-unix/X$n" ] && { echo ":$n" >"$state/display"; rm -f "$state/server-display"; return 0; }
            kill -0 "$(cat "$state/xvfb.pid")" 2>/dev/null || break
            sleep 0.1
        done
    done
    echo "wine-run.sh: could not start Xvfb" >&2
    return 1
}

(
    flock 9
    if [ "${TQ_USE_DISPLAY:-0}" = 1 ] && [ -n "${DISPLAY:-}" ]; then
        # A person's own display (the interactive demo).
        want="$DISPLAY"
    else
        if ! xvfb_alive; then start_xvfb; fi
        want="$(cat "$state/display")"
    fi
    # A server started against one display cannot open windows on another.
    if [ "$(cat "$state/server-display" 2>/dev/null)" != "$want" ]; then
        "$WINESERVER_BIN" -k 9>&- </dev/null >/dev/null 2>&1 || true
        "$WINESERVER_BIN" -w 9>&- </dev/null >/dev/null 2>&1 || true
        echo "$want" >"$state/server-display"
    fi
    export DISPLAY="$want"
    if [ ! -f "$state/ready" ]; then
        "$WINELOADER_BIN" wineboot -i 9>&- </dev/null >"$state/wineboot.log" 2>&1
        # Without a window manager, unmanaged top-level windows are destroyed in milliseconds
        # instead of about two seconds each.
        "$WINELOADER_BIN" reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /t REG_SZ /d N /f 9>&- \
            >>"$state/wineboot.log" 2>&1
        touch "$state/ready"
    fi
    # Processes started here outlive the lock holder: they must not inherit the lock's fd, nor
    # the caller's output (a test runner reading our pipe would wait for the server to exit).
    "$WINESERVER_BIN" -p 9>&- </dev/null >/dev/null 2>&1 || true
) 9>"$state/lock"

export DISPLAY="$(cat "$state/server-display")"
[ $# -gt 0 ] || exit 0
exec "$WINELOADER_BIN" "$@"
