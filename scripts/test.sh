#!/usr/bin/env bash
# The whole test run: unit tests on the native build, the same tests under
# AddressSanitizer and UBSan, the fuzz targets for a bounded time, then the
# Windows executables under Wine inside Xvfb. Prints "N passed, N failed"
# (all stages together) as its last line and exits non-zero when anything
# failed or did not build.
set -uo pipefail

root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
cd "$root" || exit 1
# shellcheck source=scripts/lib.sh
. "$root/scripts/lib.sh"

logs="$root/build/test-logs"
mkdir -p "$logs"
passed=0
failed=0

# A stage that could not run counts as one failure, so it cannot pass unseen.
stage_broken() {
    local log="${3:-}"
    if [ -n "$log" ] && [ -f "$log" ]; then
        echo "== $1: $2 (log: ${log#"$root"/})"
        tail -n 40 "$log"
    else
        echo "== $1: $2"
    fi
    failed=$((failed + 1))
}

# Runs a GoogleTest binary and adds its counts.
run_gtest() {
    local name="$1" out="$logs/$1.txt"
    shift
    timeout 900 "$@" --gtest_brief=1 >"$out" 2>&1 </dev/null
    local rc=$?
    local p f
    p="$(sed -n 's/^\[  PASSED  \] \([0-9][0-9]*\) tests\{0,1\}\..*/\1/p' "$out" | tail -n 1)"
    f="$(sed -n 's/^\[  FAILED  \] \([0-9][0-9]*\) tests\{0,1\}, listed below.*/\1/p' "$out" | tail -n 1)"
    grep -v '^\[==========\]\|^\[----------\]' "$out" | tail -n 60
    if [ -z "$p" ] && [ -z "$f" ]; then
        stage_broken "$name" "no test summary, exit code $rc" "$out"
        return
    fi
    p="${p:-0}"
    f="${f:-0}"
    passed=$((passed + p))
    failed=$((failed + f))
    echo "== $name: $p tests passed, $f failed"
    # A sanitizer report after the last test, or a crash, still fails the run.
    if [ "$rc" -ne 0 ] && [ "$f" -eq 0 ]; then
        stage_broken "$name" "exit code $rc after the tests" "$out"
    fi
}

# Adds the counts of an end-to-end run whose output is in $2 (exit code $3).
add_e2e_counts() {
    local name="$1" out="$2" rc="$3" last
    tr -d '\r' <"$out" >"$out.tmp" && mv "$out.tmp" "$out"
    last="$(tail -n 1 "$out")"
    sed '$d' "$out"
    if [[ "$last" =~ ^([0-9]+)\ passed,\ ([0-9]+)\ failed$ ]]; then
        passed=$((passed + BASH_REMATCH[1]))
        failed=$((failed + BASH_REMATCH[2]))
        echo "== $name: ${BASH_REMATCH[1]} checks passed, ${BASH_REMATCH[2]} failed"
        if [ "$rc" -ne 0 ] && [ "${BASH_REMATCH[2]}" -eq 0 ]; then stage_broken "$name" "exit code $rc" ""; fi
    else
        stage_broken "$name" "no summary line, exit code $rc" "$out"
    fi
}

# Runs the end-to-end driver under Wine (extra arguments: a group) and adds
# its counts. E2E_LOCALE, when set, is the locale of the driver and of the
# programs it starts.
run_e2e() {
    local name="$1" out="$logs/$2"
    shift 2
    local -a locale=()
    [ -n "${E2E_LOCALE:-}" ] && locale=(LANG="$E2E_LOCALE" LC_ALL="$E2E_LOCALE")
    timeout 600 env "${locale[@]}" wine "$root/build/mingw/tests/e2e/tolvek-e2e.exe" \
        "$(winpath "$root/build/mingw/tolvek.exe")" "$(winpath "$root/build/mingw/tolvek-compact.exe")" \
        "$(winpath "$scratch")" "$@" >"$out" 2>>"$logs/e2e-wine.log" </dev/null
    add_e2e_counts "$name" "$out" "$?"
}

# 5. A standard user's Windows, with the Windows directory read-only: an
#    administrator's TOLVEK.INI in the test prefix, then the release package
#    unpacked into an empty prefix. Runs inside stage 4's display.
modern_windows_checks() {
    local e2e="$root/build/mingw/tests/e2e/tolvek-e2e.exe" scratch="$root/build/e2e-scratch" out rc
    local args=("$(winpath "$root/build/mingw/tolvek.exe")" "$(winpath "$root/build/mingw/tolvek-compact.exe")"
        "$(winpath "$scratch")")
    out="$logs/e2e-readonly.txt"
    { timeout 120 wine "$e2e" "${args[@]}" readonly-prepare && with_readonly_windows timeout 300 wine "$e2e" \
        "${args[@]}" readonly; } >"$out" 2>"$logs/e2e-readonly-wine.log" </dev/null
    rc=$?
    rm -f "$WINEPREFIX/drive_c/windows/TOLVEK.INI"
    # Only the last summary counts; the preparation's single check is in the log.
    add_e2e_counts "read-only Windows directory" "$out" "$rc"

    echo "== release package"
    local zip fresh="$root/build/wine-fresh"
    if ! zip="$(bash "$root/scripts/release.sh" 2>"$logs/release.log" | tail -n 1)" || [ ! -f "$zip" ]; then
        stage_broken "release package" "scripts/release.sh failed" "$logs/release.log"
        return
    fi
    wineserver -k >/dev/null 2>&1 || true
    rm -rf "$fresh"
    if ! wine_prefix "$fresh"; then
        stage_broken "empty prefix" "wineboot failed" "$root/build/wineboot.log"
        return
    fi
    local unpacked="$fresh/drive_c/Tolvek $(basename "$zip" .zip)"
    python3 -c 'import sys, zipfile; zipfile.ZipFile(sys.argv[1]).extractall(sys.argv[2])' "$zip" "$unpacked"
    out="$logs/e2e-fresh.txt"
    with_readonly_windows timeout 300 wine "$e2e" "$(winpath "$unpacked/tolvek.exe")" \
        "$(winpath "$unpacked/tolvek-compact.exe")" "$(winpath "$scratch")" fresh >"$out" \
        2>"$logs/e2e-fresh-wine.log" </dev/null
    add_e2e_counts "release package in an empty prefix" "$out" "$?"
    wine_env
}

# 6. A screen of 144 dpi (150 %), in a prefix of its own whose LogPixels says
#    so; the other stages keep their 96 dpi. Runs inside stage 4's display.
dpi_checks() {
    local e2e="$root/build/mingw/tests/e2e/tolvek-e2e.exe" scratch="$root/build/e2e-scratch"
    local out="$logs/e2e-144dpi.txt"
    wineserver -k >/dev/null 2>&1 || true
    wineserver -w >/dev/null 2>&1 || true
    if ! dpi_prefix 144; then
        stage_broken "144-dpi prefix" "wineboot or the LogPixels setting failed" "$root/build/wineboot.log"
        wine_env
        return
    fi
    timeout 300 wine "$e2e" "$(winpath "$root/build/mingw/tolvek.exe")" \
        "$(winpath "$root/build/mingw/tolvek-compact.exe")" "$(winpath "$scratch")" dpi-144 >"$out" \
        2>"$logs/e2e-144dpi-wine.log" </dev/null
    add_e2e_counts "wine end-to-end at 144 dpi" "$out" "$?"
    wineserver -k >/dev/null 2>&1 || true
    wineserver -w >/dev/null 2>&1 || true
    wine_env
}

if ! bash "$root/scripts/setup.sh"; then
    echo "== setup failed"
    echo "0 passed, 1 failed"
    exit 1
fi

# 1. Native build (Debug): unit tests; the benchmarks are built, not run.
echo "== native build"
if cmake -S "$root" -B "$root/build/native" -G Ninja -DCMAKE_BUILD_TYPE=Debug >"$logs/native-build.log" 2>&1 &&
    cmake --build "$root/build/native" -j2 >>"$logs/native-build.log" 2>&1; then
    # Inside a small full tmpfs, so the full-disk cases meet a real one.
    run_gtest "native unit tests" bash "$root/scripts/with-full-fs.sh" "$root/build/native/tolvek_unit_tests"
else
    stage_broken "native build" "failed" "$logs/native-build.log"
fi

# 2. The same tests under AddressSanitizer and UBSan.
echo "== sanitizer build"
if cmake -S "$root" -B "$root/build/asan" -G Ninja -DCMAKE_BUILD_TYPE=Debug -DTOLVEK_SANITIZE=ON \
    >"$logs/asan-build.log" 2>&1 &&
    cmake --build "$root/build/asan" -j2 --target tolvek_unit_tests >>"$logs/asan-build.log" 2>&1; then
    ASAN_OPTIONS="detect_leaks=1:abort_on_error=0" UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1" \
        run_gtest "sanitizer unit tests" bash "$root/scripts/with-full-fs.sh" "$root/build/asan/tolvek_unit_tests"
else
    stage_broken "sanitizer build" "failed" "$logs/asan-build.log"
fi

# 3. Fuzzing: each target for a bounded time; any crash, leak, timeout or
#    sanitizer report fails it. Counts one check per target.
echo "== fuzzing"
fuzz_out="$logs/fuzz.txt"
TOLVEK_FUZZ_SECONDS="${TOLVEK_FUZZ_SECONDS:-45}" bash "$root/scripts/fuzz.sh" >"$fuzz_out" 2>&1 </dev/null
fuzz_rc=$?
fuzz_last="$(tail -n 1 "$fuzz_out")"
sed '$d' "$fuzz_out"
if [[ "$fuzz_last" =~ ^([0-9]+)\ passed,\ ([0-9]+)\ failed$ ]]; then
    passed=$((passed + BASH_REMATCH[1]))
    failed=$((failed + BASH_REMATCH[2]))
    echo "== fuzzing: ${BASH_REMATCH[1]} targets passed, ${BASH_REMATCH[2]} failed"
    if [ "$fuzz_rc" -ne 0 ] && [ "${BASH_REMATCH[2]}" -eq 0 ]; then
        stage_broken "fuzzing" "exit code $fuzz_rc" "$fuzz_out"
    fi
else
    stage_broken "fuzzing" "no summary line, exit code $fuzz_rc" "$fuzz_out"
fi

# 4. The Windows executables and the end-to-end driver, run under Wine.
echo "== windows build"
if build_windows "$logs/mingw-build.log" tolvek tolvek-compact tolvek-e2e; then
    trap stop_all EXIT
    if ! wine_prefix; then
        stage_broken "wine prefix" "wineboot failed" "$root/build/wineboot.log"
    elif ! start_xvfb; then
        stage_broken "xvfb" "cannot start Xvfb" ""
    else
        scratch="$root/build/e2e-scratch"
        rm -rf "$scratch"
        mkdir -p "$scratch"
        : >"$logs/e2e-wine.log"
        run_e2e "wine end-to-end" e2e.txt
        # A configuration in code page 1251: Wine takes the ANSI code page
        # from the locale of the process.
        E2E_LOCALE=ru_RU.UTF-8 run_e2e "wine end-to-end, Cyrillic code page" e2e-1251.txt ansi-1251
        echo "== read-only Windows directory"
        modern_windows_checks
        echo "== 144 dpi"
        dpi_checks
    fi
    stop_all
else
    stage_broken "windows build" "failed" "$logs/mingw-build.log"
fi

echo "$passed passed, $failed failed"
[ "$failed" -eq 0 ]
