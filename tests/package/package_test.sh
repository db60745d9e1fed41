#!/usr/bin/env bash
# The release zip as a Windows developer meets it, in a fresh Wine prefix of its own:
#   1. unpacked, with nothing registered, the demo runs registration-free (its application
#      manifest names the two side-by-side assemblies beside it), hosts tqMenu and gets its
#      MenuClicks from real keyboard picks;
#   2. registered from the unpacked folder with regsvr32, the VBScript sample runs in cscript.
#
#   package_test.sh --build DIR --arch 32|64
#
# Prints "package test OK" when both hold.  Everything lives in DIR/package-test, removed after.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
tools=$(cd "$here/../../tools" && pwd)
build="" arch=""
while [ $# -gt 0 ]; do
    case "$1" in
    --build) build=$(cd "$2" && pwd); shift 2 ;;
    --arch) arch=$2; shift 2 ;;
    *) echo "usage: package_test.sh --build DIR --arch 32|64" >&2; exit 2 ;;
    esac
done
[ -n "$build" ] && [ -n "$arch" ] || { echo "usage: package_test.sh --build DIR --arch 32|64" >&2; exit 2; }

work=$build/package-test
prefix=$work/prefix
run=("$tools/wine-run.sh" --prefix "$prefix" --arch "$arch")
cleanup() {
    "$tools/wine-run.sh" --prefix "$prefix" --stop >/dev/null 2>&1 || true
    rm -rf "$work"
}
trap cleanup EXIT
cleanup
mkdir -p "$work"

(cd "$build" && cpack -G ZIP --config CPackConfig.cmake >"$work/cpack.log" 2>&1) || {
    cat "$work/cpack.log"; echo "package_test: cpack failed"; exit 1; }
zip=$(ls "$build"/package/tqMenuCtl-*-win"$arch".zip)
(cd "$work" && cmake -E tar xf "$zip")
dir=$(ls -d "$work"/tqMenuCtl-*-win"$arch")
for f in tqBiblioteca.dll tqBiblioteca.manifest tqMenuCtl.ocx tqMenuCtl.manifest tqMenuDemo.exe \
    tqMenuDemo.exe.manifest exemplo.vbs LEIAME.txt LICENSE CHANGELOG.md; do
    [ -f "$dir/$f" ] || { echo "package_test: $f is missing from $(basename "$zip")"; exit 1; }
done
echo "package_test: $(basename "$zip") unpacked"

"${run[@]}" </dev/null >/dev/null 2>&1
if "${run[@]}" reg query 'HKCR\tqMenuCtl.tqMenu' </dev/null >/dev/null 2>&1 ||
    "${run[@]}" reg query 'HKCR\tqBiblioteca.MenuTree' </dev/null >/dev/null 2>&1; then
    echo "package_test: the fresh prefix already knows the servers"; exit 1
fi

echo "package_test: the demo, registration-free"
out=$("${run[@]}" "$dir/tqMenuDemo.exe" --headless </dev/null 2>&1) || true
echo "$out"
grep -q "3 MenuClick recebidos; OK" <<<"$out" || { echo "package_test: registration-free demo failed"; exit 1; }

echo "package_test: regsvr32 from the unpacked folder, then the VBScript sample"
"$tools/wine-regsvr.sh" --prefix "$prefix" --arch "$arch" "$dir/tqBiblioteca.dll" "$dir/tqMenuCtl.ocx"
out=$(cd "$dir" && "${run[@]}" cscript.exe //nologo exemplo.vbs </dev/null 2>&1) || true
echo "$out"
grep -q "DEMO OK" <<<"$out" || { echo "package_test: exemplo.vbs failed"; exit 1; }
echo "package test OK"
