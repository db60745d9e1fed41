#!/usr/bin/env bash
# Runs every test: builds all presets, runs the native tests (plain and under ASan/UBSan), the
# Windows tests under Wine on both targets (win64 on the host's wine64, win32 on the private
# 32-bit Wine that tools/deps.sh provisions), each in its own prefix, and the fuzz targets for a
# bounded time.  Ends with one summary line "N passed, N failed" that counts everything.
#
#   tools/run-tests.sh            everything
#   TQ_FUZZ_SECONDS=10 tools/run-tests.sh
set -uo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)

tools/deps.sh || exit 1
. tools/build-env.sh

fuzz_seconds=${TQ_FUZZ_SECONDS:-60}
passed=0
failed=0
failures=()

step() { echo; echo "=== $*"; }

build() {
    local preset=$1
    step "build $preset"
    cmake --preset "$preset" >/dev/null && cmake --build --preset "$preset"
}

# Runs ctest for a preset and adds its counts to the totals.
run_ctest() {
    local preset=$1
    shift
    step "test $preset"
    local log=build/$preset/ctest.log
    ctest --preset "$preset" "$@" 2>&1 | tee "$log"
    local line
    line=$(grep -E '[0-9]+% tests passed, [0-9]+ tests? failed out of [0-9]+' "$log" | tail -n 1)
    if [ -z "$line" ]; then
        failed=$((failed + 1))
        failures+=("$preset: ctest did not finish")
        return
    fi
    local nfail total
    nfail=$(sed -E 's/.* ([0-9]+) tests? failed out of ([0-9]+).*/\1/' <<<"$line")
    total=$(sed -E 's/.* failed out of ([0-9]+).*/\1/' <<<"$line")
    passed=$((passed + total - nfail))
    failed=$((failed + nfail))
    [ "$nfail" = 0 ] || failures+=("$preset: $nfail failed")
}

for preset in native native-asan win64 win32; do
    if ! build "$preset"; then
        failed=$((failed + 1))
        failures+=("$preset: build failed")
    fi
done

[ -f build/native/CTestTestfile.cmake ] && run_ctest native
[ -f build/native-asan/CTestTestfile.cmake ] && run_ctest native-asan
for arch in 64 32; do
    preset=win$arch
    [ -f build/$preset/CTestTestfile.cmake ] || continue
    prefix=build/$preset/wineprefix
    # Start the prefix's display, server and services before CTest reads any Wine program's
    # output (a new prefix also takes a while to create: not on test discovery's clock).
    if tools/wine-run.sh --prefix "$prefix" --arch "$arch" </dev/null >/dev/null 2>&1; then
        run_ctest "$preset"
    else
        failed=$((failed + 1))
        failures+=("$preset: the Wine prefix $prefix could not be started")
    fi
    tools/wine-run.sh --prefix "$prefix" --stop
done

# Fuzzing: every target the fuzz preset builds runs for a bounded time from its seed corpus.
if build fuzz; then
    for f in $(find build/fuzz/tests/fuzz -maxdepth 1 -type f -name 'fuzz_*' -perm -u+x | sort); do
        name=$(basename "$f")
        short=${name#fuzz_}
        step "fuzz $name (${fuzz_seconds}s)"
        corpus=build/fuzz/corpus-$short
        mkdir -p "$corpus"
        args=(-max_total_time="$fuzz_seconds" -timeout=10 -rss_limit_mb=2048
              -artifact_prefix=build/fuzz/ -print_final_stats=1)
        [ -f "tests/fuzz/$short.dict" ] && args+=(-dict="tests/fuzz/$short.dict")
        seeds=()
        [ -d "tests/fuzz/corpus/$short" ] && seeds=("tests/fuzz/corpus/$short")
        if "$f" "${args[@]}" "$corpus" "${seeds[@]}" \
            >build/fuzz/$name.log 2>&1; then
            tail -n 2 build/fuzz/$name.log
            passed=$((passed + 1))
        else
            tail -n 40 build/fuzz/$name.log
            failed=$((failed + 1))
            failures+=("fuzz $name")
        fi
    done
else
    failed=$((failed + 1))
    failures+=("fuzz: build failed")
fi

echo
for f in "${failures[@]}"; do echo "FAILED: $f"; done
echo "tests: $passed passed, $failed failed"
[ "$failed" = 0 ]
