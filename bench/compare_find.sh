#!/usr/bin/env bash
# Times the directory scanner against fd (`fdfind -u -g -i MASK DIR`, all
# cores) and `find DIR -iname MASK` on generated trees of 100,000 and
# 1,000,000 files, all in one run. This machine's speed drifts from minute
# to minute, so the three take turns: after one unmeasured run of each (the
# cache is warm from then on), every round runs each once, the order
# rotating from round to round, and the median round is reported: the
# median time of each, and the median of the per-round ratios. Then the
# result store's growth against std::vector's (Google Benchmark).
#
# Usage: bench/compare_find.sh [path/to/scan_bench] [rounds] [files...]
#   defaults: build/release/scan_bench, 11 rounds, 100000 1000000
# TOLVEK_SCAN_TREES=DIR keeps the trees in DIR for the next run.
set -euo pipefail
bench=${1:-build/release/scan_bench}
rounds=${2:-11}
shift $(($# > 2 ? 2 : $#))
sizes=("$@")
[ ${#sizes[@]} -gt 0 ] || sizes=(100000 1000000)
mask='*.TXT'
command -v fdfind >/dev/null || { echo "compare_find: fdfind is missing (Debian package fd-find)" >&2; exit 1; }

if [ -n "${TOLVEK_SCAN_TREES:-}" ]; then
    trees=$TOLVEK_SCAN_TREES
    mkdir -p "$trees"
else
    trees=$(mktemp -d "${TMPDIR:-/tmp}/tolvek-scan-XXXXXX")
    trap 'rm -rf "$trees"' EXIT INT TERM
fi

# Microseconds since the epoch, without starting a process.
now() { local t=$EPOCHREALTIME; echo $((10#${t/./})); }

median() { sort -n | awk '{ v[NR] = $1 } END { print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2 }'; }

contestant() {
    case $1 in
    scanner) "$bench" --scan "$2" "$mask" ;;
    fd) fdfind -u -g -i "$mask" "$2" ;;
    find) find "$2" -iname "$mask" ;;
    esac
}

echo "machine: $(nproc) cores, $(lscpu | sed -n 's/^Model name: *//p'), $(date -u '+%Y-%m-%d %H:%M UTC')," \
    "load average $(cut -d' ' -f1-3 /proc/loadavg), $(fdfind --version), $(find --version | head -n 1)"
for files in "${sizes[@]}"; do
    dir=$trees/t$files
    if [ ! -d "$dir" ]; then
        echo "making $files files in $dir"
        "$bench" --make "$dir" "$files"
    fi
    names=(scanner fd find)
    counts=""
    for c in "${names[@]}"; do counts+=" $c $(contestant $c "$dir" | wc -l)"; done
    echo "== $files files, mask $mask, matches:$counts"
    declare -A times=()
    for ((r = 0; r < rounds; r++)); do
        for ((i = 0; i < 3; i++)); do
            c=${names[(r + i) % 3]}
            t0=$(now)
            contestant "$c" "$dir" >/dev/null
            t1=$(now)
            times[$c]+="$(((t1 - t0) / 1000)).$(((t1 - t0) % 1000 / 100)) "
        done
    done
    read -r -a s <<<"${times[scanner]}"
    read -r -a f <<<"${times[fd]}"
    read -r -a n <<<"${times[find]}"
    for c in "${names[@]}"; do
        printf '%-8s median %8.1f ms   rounds: %s\n' "$c" "$(tr ' ' '\n' <<<"${times[$c]}" | grep . | median)" "${times[$c]}"
    done
    for ((r = 0; r < rounds; r++)); do echo "${s[r]} ${f[r]}"; done | awk '{ print $1 / $2 }' | median |
        awk '{ printf "scanner / fd:   %.2f (median of the rounds; target at most 1.0)\n", $1 }'
    for ((r = 0; r < rounds; r++)); do echo "${s[r]} ${n[r]}"; done | awk '{ print $1 / $2 }' | median |
        awk '{ printf "scanner / find: %.2f (median of the rounds; target at most 0.6)\n", $1 }'
    unset times
done

echo "== result store growth to 1,000,000 records (increment 10) against std::vector"
"$bench" --benchmark_filter=Growth --benchmark_repetitions=5 --benchmark_report_aggregates_only=true \
    --benchmark_color=false 2>/dev/null | awk '/_median/ { printf "%-28s %8s ms\n", $1, $2 }'
