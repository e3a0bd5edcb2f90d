#!/usr/bin/env bash
# Builds the libFuzzer targets (clang, AddressSanitizer and UBSan, headless
# backend) into build/fuzz and runs each for TOLVEK_FUZZ_SECONDS seconds
# (45 by default) on a working copy of its seed corpus. Installs nothing.
# Prints one line per target and "N passed, N failed" (targets) as its last
# line; exits non-zero on any crash, leak, timeout, OOM or sanitizer report.
# Usage: scripts/fuzz.sh [target...]   (default: all of them)
set -uo pipefail

root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
cd "$root" || exit 1

all_targets=(profile menu shortcut command datetime savedlist)
targets=("$@")
[ ${#targets[@]} -eq 0 ] && targets=("${all_targets[@]}")
seconds="${TOLVEK_FUZZ_SECONDS:-45}"
build="$root/build/fuzz"
logs="$build/logs"
mkdir -p "$logs"

for tool in clang clang++ cmake ninja; do
    if ! command -v "$tool" >/dev/null 2>&1; then
        echo "fuzz: $tool is missing"
        echo "0 passed, ${#targets[@]} failed"
        exit 1
    fi
done

build_log="$logs/build.txt"
if ! {
    CC=clang CXX=clang++ cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTOLVEK_FUZZ=ON &&
        cmake --build "$build" -j2 --target "${targets[@]/#/fuzz_}"
} >"$build_log" 2>&1; then
    tail -n 40 "$build_log"
    echo "fuzz: build FAILED (log: ${build_log#"$root"/})"
    echo "0 passed, ${#targets[@]} failed"
    exit 1
fi

passed=0
failed=0
for target in "${targets[@]}"; do
    log="$logs/$target.txt"
    seeds="$root/tests/fuzz/corpus/$target"
    corpus="$build/corpus/$target"
    artifacts="$build/artifacts/$target"
    # A fresh working copy: the fuzzer adds to it, the seeds stay as they are.
    rm -rf "$corpus"
    mkdir -p "$corpus" "$artifacts"
    [ -d "$seeds" ] && cp -R "$seeds/." "$corpus/"
    start=$(date +%s)
    ASAN_OPTIONS="detect_leaks=1:abort_on_error=0:allocator_may_return_null=0" \
        UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1" \
        "$build/tests/fuzz/fuzz_$target" -max_total_time="$seconds" -max_len=4096 -timeout=10 -rss_limit_mb=2048 \
        -detect_leaks=1 -print_final_stats=1 -artifact_prefix="$artifacts/" "$corpus" >"$log" 2>&1 </dev/null
    rc=$?
    elapsed=$(($(date +%s) - start))
    runs="$(sed -n 's/^Done \([0-9][0-9]*\) runs in .*/\1/p' "$log" | tail -n 1)"
    # A report that did not end the run (it should, with these options) fails it too.
    if [ "$rc" -eq 0 ] && [ -n "$runs" ] &&
        ! grep -Eq 'runtime error:|ERROR: (Address|Leak|UndefinedBehavior)Sanitizer|ERROR: libFuzzer|==ERROR' "$log"; then
        echo "fuzz $target: ok, $runs runs in $elapsed s"
        passed=$((passed + 1))
    else
        echo "fuzz $target: FAILED (log: ${log#"$root"/})"
        grep -E 'SUMMARY|ERROR|runtime error|property broken|ALARM|out-of-memory|Test unit written' "$log" | head -n 8 |
            sed 's/^/    /' | grep . || tail -n 5 "$log" | sed 's/^/    /'
        failed=$((failed + 1))
    fi
done
echo "$passed passed, $failed failed"
[ "$failed" -eq 0 ]
