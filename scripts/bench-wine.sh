#!/usr/bin/env bash
# Benchmarks of the Windows executables under Wine, each against a peer in the
# same run: start-up against the least window program, our profile engine
# against the platform's GetPrivateProfileStringW, the time from a click to a
# visible menu against the least window program's menu, and the idle cost of
# an open clock window against the least window program. Not part of the tests.
#
#   bash scripts/bench-wine.sh [--runs N] [--stride S] [--idle SECONDS] [--only startup|profile|popup|idle]
#
# Lines that start with "RESULT" carry the figures as key=value pairs.
# Defaults: 20 starts (and 20 rounds of clicks) of each program, every 64th
# entry for the platform's reader (all entries would take about half an
# hour), 60 s of idle sampling.
set -euo pipefail

root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
cd "$root"
# shellcheck source=scripts/lib.sh
. "$root/scripts/lib.sh"

runs=20
stride=64
idle_seconds=60
only=""
while [ $# -gt 0 ]; do
    case "$1" in
    --runs) runs="$2"; shift 2 ;;
    --stride) stride="$2"; shift 2 ;;
    --idle) idle_seconds="$2"; shift 2 ;;
    --only) only="$2"; shift 2 ;;
    *) echo "usage: bash scripts/bench-wine.sh [--runs N] [--stride S] [--idle SECONDS] [--only startup|profile|popup|idle]" >&2
       exit 2 ;;
    esac
done
wanted() { [ -z "$only" ] || [ "$only" = "$1" ]; }

bash "$root/scripts/setup.sh"
mkdir -p "$root/build"
echo "bench: building (log: build/mingw-bench.log)"
if ! build_windows "$root/build/mingw-bench.log" tolvek minimal_window startprobe profile_bench popupprobe; then
    tail -n 40 "$root/build/mingw-bench.log"
    echo "bench: the build failed" >&2
    exit 1
fi
mingw="$root/build/mingw"
tolvek="$mingw/tolvek.exe"
minimal="$mingw/bench/wine/minimal_window.exe"
probe="$mingw/bench/wine/startprobe.exe"
profile="$mingw/bench/wine/profile_bench.exe"
popupprobe="$mingw/bench/wine/popupprobe.exe"

echo "bench: preparing the Wine prefix build/wine"
bench_session || exit 1

scratch="$root/build/bench-wine"
rm -rf "$scratch"
mkdir -p "$scratch"
cp "$root/scripts/sample.ini" "$scratch/startup.ini"
cp "$root/scripts/sample.ini" "$scratch/idle.ini"

# Wine's console output ends lines with CR LF.
wine_run() { wine "$@" 2>>"$scratch/wine-stderr.log" </dev/null | tr -d '\r'; }

echo "bench: machine: $(nproc) cores, $(lscpu | sed -n 's/^Model name: *//p'), $(free -g | awk '/^Mem:/ {print $2}') GiB," \
    "$(sed -n 's/^PRETTY_NAME="\(.*\)"$/\1/p' /etc/os-release), $(wine --version 2>/dev/null), $(date -u '+%Y-%m-%d %H:%M UTC')," \
    "load average $(cut -d' ' -f1-3 /proc/loadavg)"

# 1. Start-up: process creation to a visible window, interleaved starts.
if wanted startup; then
    echo "== start-up: $runs starts of each, interleaved, after one unmeasured start of each"
    wine_run "$probe" "$runs" \
        TMinimalWindow "\"$(winpath "$minimal")\"" \
        TTolvekForm "\"$(winpath "$tolvek")\" \"$(winpath "$scratch/startup.ini")\""
fi

# 2. Profile reads: 4 x 65535 keys, the platform's reader against ours.
if wanted profile; then
    echo "== profile reads: 65535 entries, the platform's reader on every ${stride}th entry"
    wine_run "$profile" "$(winpath "$scratch")" "$stride"
fi

# 3. Popup latency: a click on each program's button to its visible menu, the
#    three running side by side and clicked in turn. The sample keeps its
#    place at (0, 0); the large menu is that of the menu benchmark.
if wanted popup; then
    echo "== popup: $runs rounds of one click on each, the first of a round moving on by one"
    cp "$root/scripts/sample.ini" "$scratch/popup-sample.ini"
    awk 'BEGIN {
        printf "[ALLINFO]\r\nTotalEntries=65535\r\n[PROGRAMS]\r\n"
        for (i = 1; i <= 65535; i++)
            printf "Name%d=Entry %d\r\nProgName%d=C:\\TOOLS\\P%d.EXE\r\nParam%d=/x $C:\\WORK\r\nShortCut%d=\r\n", i, i, i, i, i, i
        printf "[CONFIG]\r\nLeft=600\r\nTop=0\r\nQuickClose=1\r\n"
    }' >"$scratch/popup-large.ini"
    wine_run "$popupprobe" "$runs" \
        minimal TMinimalWindow "\"$(winpath "$minimal")\" 300 0" \
        sample TTolvekForm "\"$(winpath "$tolvek")\" \"$(winpath "$scratch/popup-sample.ini")\"" \
        large TTolvekForm "\"$(winpath "$tolvek")\" \"$(winpath "$scratch/popup-large.ini")\""
fi

# The Linux process of a program started here as `wine PATH`: it keeps PATH
# in its command line and the start of the file name as its name.
wine_pid_of() {
    local exe="$1" name p
    name="$(basename "$exe" | cut -c 1-15)"
    for p in /proc/[0-9]*; do
        [ "$(cat "$p/comm" 2>/dev/null)" = "$name" ] || continue
        if tr '\0' ' ' <"$p/cmdline" 2>/dev/null | grep -qF -- "$exe"; then
            basename "$p"
            return 0
        fi
    done
    echo "bench: no process for $exe" >&2
    return 1
}

visible() { wine "$probe" --visible "$1" >/dev/null 2>&1 </dev/null; }

wait_visible() {
    for _ in $(seq 1 60); do
        visible "$1" && return 0
        sleep 0.5
    done
    return 1
}

# 4. Idle: the launcher next to the least window program, both sampled over
#    the same seconds: the button alone and then with the clock open, the
#    pointer away from both; then the pointer resting on either button.
ticks="$(getconf CLK_TCK)"
cpu_ticks() { awk '{print $14 + $15}' "/proc/$1/stat"; }
rss_kib() { awk '/^VmRSS:/ {print $2}' "/proc/$1/status"; }

# CPU share of one core over the interval, the median and largest of the
# resident sizes sampled once a second.
report_idle() {
    local name="$1" c0="$2" c1="$3" t0="$4" t1="$5"
    shift 5
    printf '%s\n' "$@" | sort -n | awk -v name="$name" -v c0="$c0" -v c1="$c1" -v hz="$ticks" -v t0="$t0" -v t1="$t1" '
        { rss[NR] = $1 }
        END {
            printf "RESULT %s.cpu_percent=%.2f cpu_ms=%d wall_s=%.1f rss_kib_median=%d rss_kib_max=%d\n",
                name, 100 * (c1 - c0) / hz / (t1 - t0), 1000 * (c1 - c0) / hz, t1 - t0,
                rss[int((NR + 1) / 2)], rss[NR]
        }'
}

# sample_idle PHASE: samples both programs for $idle_seconds seconds.
sample_idle() {
    local phase="$1" t0 t1 c0_t c0_m c1_t c1_m
    local rss_t=() rss_m=()
    t0="$(date +%s.%N)"
    c0_t="$(cpu_ticks "$tolvek_pid")"
    c0_m="$(cpu_ticks "$minimal_pid")"
    for _ in $(seq 1 "$idle_seconds"); do
        sleep 1
        rss_t+=("$(rss_kib "$tolvek_pid")")
        rss_m+=("$(rss_kib "$minimal_pid")")
    done
    c1_t="$(cpu_ticks "$tolvek_pid")"
    c1_m="$(cpu_ticks "$minimal_pid")"
    t1="$(date +%s.%N)"
    report_idle "idle.$phase.tolvek" "$c0_t" "$c1_t" "$t0" "$t1" "${rss_t[@]}"
    report_idle "idle.$phase.minimal_window" "$c0_m" "$c1_m" "$t0" "$t1" "${rss_m[@]}"
}

if wanted idle; then
    echo "== idle: ${idle_seconds} s each: the button alone, the clock open, then the pointer on either button"
    wine "$tolvek" "$(winpath "$scratch/idle.ini")" >/dev/null 2>>"$scratch/wine-stderr.log" </dev/null &
    wait_visible TTolvekForm || { echo "bench: the button did not appear" >&2; exit 1; }
    # Away from the button, its menu and the clock, so none repaints the other.
    wine "$minimal" 700 600 >/dev/null 2>>"$scratch/wine-stderr.log" </dev/null &
    wait_visible TMinimalWindow || { echo "bench: the minimal window did not appear" >&2; exit 1; }
    tolvek_pid="$(wine_pid_of "$tolvek")"
    minimal_pid="$(wine_pid_of "$minimal")"
    echo "bench: tolvek.exe is process $tolvek_pid, minimal_window.exe $minimal_pid (CLK_TCK $ticks)"
    sleep 3
    sample_idle button

    button="$(xdotool search --onlyvisible --name '^TOLVEK$' | head -n 1)"
    eval "$(xdotool getwindowgeometry --shell "$button")"  # X, Y, WIDTH, HEIGHT
    xdotool mousemove --sync $((X + WIDTH / 2)) $((Y + HEIGHT / 2)) click 1
    sleep 1
    # The six entries of sample.ini, then Run, then Functions; its fourth item
    # is Analog Clock.
    xdotool key --delay 150 Down Down Down Down Down Down Down Down Right Down Down Down Return
    wait_visible TfrmTime || { echo "bench: the clock window did not appear" >&2; exit 1; }
    xdotool mousemove 1000 10  # the pointer off the windows
    sleep 3
    import -window root "$scratch/idle-clock.png"
    echo "bench: the screen with the clock open: ${scratch#"$root"/}/idle-clock.png"
    sample_idle clock
    visible TfrmTime || { echo "bench: the clock window closed during the sampling" >&2; exit 1; }

    # The pointer resting on each program's button in turn, the clock open.
    xdotool mousemove --sync $((X + WIDTH / 2)) $((Y + HEIGHT / 2))
    sleep 2
    sample_idle clock_pointer_on_tolvek
    minimal_window="$(xdotool search --onlyvisible --name '^Minimal$' | head -n 1)"
    eval "$(xdotool getwindowgeometry --shell "$minimal_window")"
    xdotool mousemove --sync $((X + WIDTH / 2)) $((Y + HEIGHT / 2))
    sleep 2
    sample_idle clock_pointer_on_minimal
    xdotool mousemove 1000 10
fi

echo "bench: done $(date -u '+%Y-%m-%d %H:%M UTC'), load average $(cut -d' ' -f1-3 /proc/loadavg)"
