#!/usr/bin/env bash
# Registers (or with /u unregisters) COM servers in a private Wine prefix with Wine's regsvr32.
#   wine-regsvr.sh --prefix DIR [/u] FILE...
# Unix paths are handed to Wine as Z: paths.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
[ "${1:-}" = --prefix ] || { echo "usage: wine-regsvr.sh --prefix DIR [/u] FILE..." >&2; exit 2; }
prefix=$2
shift 2
flags=(/s)
if [ "${1:-}" = /u ]; then flags+=(/u); shift; fi
for f in "$@"; do
    abs=$(cd "$(dirname "$f")" && pwd)/$(basename "$f")
    win="Z:${abs//\//\\}"
    "$here/wine-run.sh" --prefix "$prefix" regsvr32 "${flags[@]}" "$win" || {
        rc=$?
        echo "wine-regsvr.sh: regsvr32 ${flags[*]} $win failed with $rc" >&2
        exit $rc
    }
done
