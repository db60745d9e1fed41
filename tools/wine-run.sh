#!/usr/bin/env bash
# Runs a Windows program under Wine in a private prefix of the build tree.
#
#   wine-run.sh --prefix DIR [--arch 32|64] [--stop] [PROGRAM ARGS...]
#
# Drive K: of the prefix is the folder that holds it (wine-regsvr.sh registers files of the
# build tree through it).  --arch 64 (the default) runs the host's wine64 in a win64 prefix; --arch 32 runs the private
# 32-bit Wine of tools/wine32-root.sh (or $TQ_WINE_LOADER) in a win32 prefix.  A prefix keeps
# the architecture it was made with.
#
# Each prefix gets one Xvfb display and one persistent wineserver, started on first use and
# reused by every later run (CTest starts one process per test case: a cold server per process
# would cost seconds each).  --stop ends both.  Nothing outside DIR is touched: ~/.wine and the
# caller's DISPLAY are ignored, so tests are headless and repeatable even on a desktop; only
# TQ_USE_DISPLAY=1 (the interactive demo) uses the caller's DISPLAY instead of the Xvfb.
set -euo pipefail

prefix=""
stop=0
arch=""
while [ $# -gt 0 ]; do
    case "$1" in
    --prefix) prefix=$2; shift 2 ;;
    --arch) arch=$2; shift 2 ;;
    --stop) stop=1; shift ;;
    *) break ;;
    esac
done
[ -n "$prefix" ] || { echo "wine-run.sh: --prefix DIR is required" >&2; exit 2; }
mkdir -p "$prefix"
prefix=$(cd "$prefix" && pwd)

state="$prefix/.tq"
mkdir -p "$state"
# Without --arch, a prefix runs with the architecture it was made with.
[ -n "$arch" ] || arch=$(cat "$state/arch" 2>/dev/null || echo 64)
case "$arch" in
64) WINELOADER_BIN=${TQ_WINE_LOADER:-/usr/lib/wine/wine64} ;;
32)
    WINELOADER_BIN=${TQ_WINE_LOADER:-$("$(dirname "$0")/wine32-root.sh" --loader)}
    export WINEARCH=win32
    ;;
*) echo "wine-run.sh: --arch is 32 or 64" >&2; exit 2 ;;
esac
# One server for both: the 32-bit loader talks to the host's wineserver.
WINESERVER_BIN=/usr/lib/wine/wineserver
export WINEPREFIX="$prefix"
export WINEDEBUG="${WINEDEBUG:--all}"
export WINEDLLOVERRIDES="${WINEDLLOVERRIDES:-mscoree,mshtml=}"
# The ANSI code page follows the Unix locale; C.UTF-8 gives 1252, which the tests expect.
export LC_ALL=C.UTF-8
export WINESERVER="$WINESERVER_BIN"

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
        setsid Xvfb ":$n" -screen 0 1024x768x24 -nolisten tcp 9>&- </dev/null >"$state/xvfb.log" 2>&1 &
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
    # A persistent server: CTest starts one process per test case, and a cold server per
    # process would cost seconds each.  Exit status 0 means a new server was started (first
    # use, or the old one died), 2 that one is running already.
    rc=0
    "$WINESERVER_BIN" -p 9>&- </dev/null >/dev/null 2>&1 || rc=$?
    if [ "$rc" = 0 ] || [ ! -f "$state/ready" ]; then
        # The first program of a new server starts the prefix's background services
        # (services.exe, winedevice, rpcss, explorer...), which inherit its descriptors and live
        # as long as the server.  Start them here, writing to a file: a caller reading our
        # output through a pipe (CTest's test discovery) would otherwise wait for them forever.
        # Plain wineboot, also for a new prefix: the loader creates a missing prefix itself
        # before it runs anything, and an explicit `wineboot -i` on top of that left two
        # services.exe in the prefix, after which every COM call waited about 20 s for RpcSs.
        # Their own session, too: a caller whose process group is killed (a test runner's
        # timeout, Ctrl+C) must not take the prefix's services down with it.
        setsid -w "$WINELOADER_BIN" wineboot 9>&- </dev/null >>"$state/wineboot.log" 2>&1
        if [ ! -f "$state/ready" ]; then
            # Without a window manager, unmanaged top-level windows are destroyed in
            # milliseconds instead of about two seconds each.
            "$WINELOADER_BIN" reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /t REG_SZ /d N \
                /f 9>&- </dev/null >>"$state/wineboot.log" 2>&1
            echo "$arch" >"$state/arch"
            touch "$state/ready"
        fi
    fi
    # Drive K: is the folder that holds the prefix (the build folder): servers registered from
    # there write what they write beside their drive's root inside the build tree.
    if [ "$(readlink "$prefix/dosdevices/k:" 2>/dev/null)" != "$(dirname "$prefix")" ]; then
        ln -sfn "$(dirname "$prefix")" "$prefix/dosdevices/k:"
    fi
) 9>"$state/lock"

export DISPLAY="$(cat "$state/server-display")"
[ $# -gt 0 ] || exit 0
exec "$WINELOADER_BIN" "$@"
