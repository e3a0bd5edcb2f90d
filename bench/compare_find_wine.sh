#!/usr/bin/env bash
# Find File under Wine, two builds of tolvek.exe side by side in one run: the
# time from "Find Now" to the final count in a tree of 200,000 files, and the
# longest time the window left a message unanswered meanwhile. The builds
# take turns (bench/wine/findprobe.cpp), after one unmeasured search of each.
# Not part of the tests.
#
#   bash bench/compare_find_wine.sh OLD [NEW] [RUNS] [MASK]
#
# OLD and NEW are tolvek.exe files or git revisions, which are built first
# (into build/rev-REV/); NEW defaults to this tree's build (build/mingw),
# RUNS to 7, MASK to *.TXT (a quarter of the files). The tree is made once in
# build/bench-wine/find-tree and kept. Lines that start with "RESULT" carry
# the figures; A is OLD, B is NEW.
set -euo pipefail

root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
cd "$root"
# shellcheck source=scripts/lib.sh
. "$root/scripts/lib.sh"

[ $# -ge 1 ] || { echo "usage: bash bench/compare_find_wine.sh OLD [NEW] [RUNS] [MASK]" >&2; exit 2; }
old="$1"
new="${2:-}"
runs="${3:-7}"
mask="${4:-*.TXT}"

bash "$root/scripts/setup.sh"
mkdir -p "$root/build"
echo "bench: building (log: build/mingw-bench.log)"
build_windows "$root/build/mingw-bench.log" tolvek findprobe || {
    tail -n 40 "$root/build/mingw-bench.log"
    exit 1
}

# A revision is built from a clean export of it, beside everything else.
exe_of() {
    if [ -f "$1" ]; then
        echo "$1"
        return
    fi
    local rev dir
    rev="$(git -C "$root" rev-parse --short "$1")"
    dir="$root/build/rev-$rev"
    if [ ! -f "$dir/mingw/tolvek.exe" ]; then
        rm -rf "$dir/src"
        mkdir -p "$dir/src"
        git -C "$root" archive "$rev" | tar -x -C "$dir/src"
        {
            cmake -S "$dir/src" -B "$dir/mingw" -G Ninja -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-w64.cmake" &&
                cmake --build "$dir/mingw" -j2 --target tolvek
        } >"$dir/build.log" 2>&1 || {
            tail -n 40 "$dir/build.log" >&2
            return 1
        }
    fi
    echo "$dir/mingw/tolvek.exe"
}
old_exe="$(exe_of "$old")"
new_exe="$(exe_of "${new:-$root/build/mingw/tolvek.exe}")"

# 200 x 50 directories of 20 files, a quarter of each kind.
scratch="$root/build/bench-wine"
tree="$scratch/find-tree"
if [ ! -f "$tree/top199/sub49/file19.cpp" ]; then
    echo "bench: making 200,000 files in $tree"
    rm -rf "$tree"
    for t in $(seq -w 0 199); do
        for s in $(seq -w 0 49); do
            d="$tree/top$t/sub$s"
            mkdir -p "$d"
            for f in $(seq -w 0 19); do
                case $((10#$f % 4)) in 0) e=txt ;; 1) e=dat ;; 2) e=log ;; 3) e=cpp ;; esac
                : >"$d/file$f.$e"
            done
        done
    done
fi
expected="$(find "$tree" -type f -iname "$mask" | wc -l)"
printf '[CONFIG]\r\nLeft=700\r\nTop=650\r\nQuickClose=1\r\n' >"$scratch/find.ini"

bench_session || exit 1

echo "bench: machine: $(nproc) cores, $(lscpu | sed -n 's/^Model name: *//p'), $(wine --version 2>/dev/null)," \
    "$(date -u '+%Y-%m-%d %H:%M UTC'), load average $(cut -d' ' -f1-3 /proc/loadavg)"
echo "bench: $runs runs of each, mask $mask, $expected files to find"
wine "$root/build/mingw/bench/wine/findprobe.exe" "$runs" "$(winpath "$scratch/find.ini")" "$(winpath "$tree")" \
    "$mask" "$expected" "$(winpath "$old_exe")" "$(winpath "$new_exe")" 2>>"$scratch/wine-stderr.log" </dev/null |
    tr -d '\r'
echo "bench: load average afterwards $(cut -d' ' -f1-3 /proc/loadavg)"
