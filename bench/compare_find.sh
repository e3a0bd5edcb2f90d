#!/bin/sh
# Times the directory scanner against `find DIR -iname MASK` on one
# generated tree (100,000 files in 5,100 directories), and the result
# store's growth to 1,000,000 records against std::vector's, in one run;
# prints the medians and the ratios.
# Usage: bench/compare_find.sh [path/to/scan_bench] [repetitions]
set -eu
bench=${1:-build/scan_bench}
reps=${2:-5}
tree=$(mktemp -d "${TMPDIR:-/tmp}/tolvek-scan-XXXXXX")
trap 'rm -rf "$tree" "$tree.csv"' EXIT INT TERM

TOLVEK_SCAN_TREE=$tree "$bench" --benchmark_repetitions="$reps" --benchmark_report_aggregates_only=true \
    --benchmark_color=false >"$tree.csv" 2>/dev/null

# "NAME_median  WALL ms  CPU ms  ITERATIONS [find_cpu_ms=N]"; find's own CPU
# time is its counter, since the CPU column counts the benchmark only.
awk '
    /_median / {
        name = $1; sub(/\/real_time/, "", name); sub(/_median$/, "", name)
        real[name] = $2; cpu[name] = $4; last[name] = $NF; sub(/.*=/, "", last[name])
    }
    END {
        printf "%-22s %10s %10s\n", "benchmark (median)", "wall ms", "cpu ms"
        printf "%-22s %10.1f %10.1f\n", "ScanDirectory", real["BM_ScanDirectory"], cpu["BM_ScanDirectory"]
        printf "%-22s %10.1f %10.1f\n", "find -iname", real["BM_FindIname"], last["BM_FindIname"]
        printf "%-22s %10.1f %10.1f\n", "TSearchArray growth", real["BM_SearchArrayGrowth"], cpu["BM_SearchArrayGrowth"]
        printf "%-22s %10.1f %10.1f\n", "std::vector growth", real["BM_VectorGrowth"], cpu["BM_VectorGrowth"]
        printf "scanner / find:  wall %.2f, cpu %.2f (target 1.2)\n",
            real["BM_ScanDirectory"] / real["BM_FindIname"], cpu["BM_ScanDirectory"] / last["BM_FindIname"]
        printf "store / vector:  wall %.2f, cpu %.2f (target 2)\n",
            real["BM_SearchArrayGrowth"] / real["BM_VectorGrowth"], cpu["BM_SearchArrayGrowth"] / cpu["BM_VectorGrowth"]
    }' "$tree.csv"
