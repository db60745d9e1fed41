#!/usr/bin/env bash
# Registers (or with /u unregisters) COM servers in a private Wine prefix with Wine's regsvr32.
#   wine-regsvr.sh --prefix DIR [--arch 32|64] [/u] FILE...
# Unix paths are handed to Wine as Z: paths, or as K: paths for files under the folder that holds
# the prefix (wine-run.sh maps drive K: there), so a server's drive is inside the build tree.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
[ "${1:-}" = --prefix ] || { echo "usage: wine-regsvr.sh --prefix DIR [/u] FILE..." >&2; exit 2; }
prefix=$2
shift 2
run=("$here/wine-run.sh" --prefix "$prefix")
if [ "${1:-}" = --arch ]; then run+=(--arch "$2"); shift 2; fi
flags=(/s)
if [ "${1:-}" = /u ]; then flags+=(/u); shift; fi
for f in "$@"; do
    abs=$(cd "$(dirname "$f")" && pwd)/$(basename "$f")
    base=$(cd "$(dirname "$prefix")" && pwd)
    if [ "${abs#"$base"/}" != "$abs" ]; then
        rel=${abs#"$base"/}
        win="K:\\${rel//\//\\}"
    else
        win="Z:${abs//\//\\}"
    fi
    "${run[@]}" regsvr32 "${flags[@]}" "$win" || {
        rc=$?
        echo "wine-regsvr.sh: regsvr32 ${flags[*]} $win failed with $rc" >&2
        exit $rc
    }
done
