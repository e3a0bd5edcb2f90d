# shellcheck shell=bash
# Sourced by run.sh and test.sh: the Windows build, the Wine prefix under
# build/, and a private X display for running without a screen.
# Expects $root (the repository) to be set.
: "${root:?}"

# Cross-compiles the given targets into build/mingw; the log goes to $1.
build_windows() {
    local log="$1"
    shift
    {
        cmake -S "$root" -B "$root/build/mingw" -G Ninja \
            -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-w64.cmake" &&
            cmake --build "$root/build/mingw" -j2 --target "$@"
    } >"$log" 2>&1
}

# One prefix for all runs, build/wine unless another is named; creating one
# takes 10 to 30 seconds.
wine_env() {
    export WINEPREFIX="${1:-$root/build/wine}"
    export WINEARCH=win64
    export WINEDEBUG=-all
    export HOME="${HOME:-$root/build}"
}

wine_prefix() {
    wine_env "$@"
    [ -f "$WINEPREFIX/system.reg" ] && return 0
    mkdir -p "$WINEPREFIX"
    # No Mono or Gecko: nothing here needs them, and there is no network.
    WINEDLLOVERRIDES="mscoree,mshtml=" DISPLAY="" wineboot -i >"$root/build/wineboot.log" 2>&1 </dev/null || true
    wineserver -w
    [ -f "$WINEPREFIX/system.reg" ]
}

# A prefix of its own for a screen of $1 dpi, build/wine-$1dpi: Wine takes
# the DPI from LogPixels, which a prefix reads when its server starts.
dpi_prefix() {
    local dpi="$1"
    wine_prefix "$root/build/wine-${dpi}dpi" || return 1
    if ! grep -q "\"LogPixels\"=dword:$(printf '%08x' "$dpi")" "$WINEPREFIX/user.reg"; then
        wine reg add 'HKCU\Control Panel\Desktop' /v LogPixels /t REG_DWORD /d "$dpi" /f >/dev/null 2>&1 || return 1
        wineserver -w
    fi
}

# The Windows form of a Linux path.
# Wine's name for a Unix path. A client that meets the Wine server while it
# shuts down can fail with no output: asked again before giving up.
winpath() {
    local out
    for _ in 1 2 3 4 5; do
        if out="$(winepath -w "$1" 2>/dev/null)" && [ -n "$out" ]; then
            printf '%s\n' "$out"
            return 0
        fi
        sleep 1
    done
    echo "winpath: no Windows name for $1" >&2
    return 1
}

# Starts Xvfb on a display that is free (Xvfb picks it) and exports DISPLAY;
# the screen is 1024x768 unless $1 gives another size.
XVFB_PID=""
start_xvfb() {
    local numfile
    numfile="$(mktemp)"
    Xvfb -displayfd 3 -screen 0 "${1:-1024x768}x24" -nolisten tcp 3>"$numfile" >/dev/null 2>&1 </dev/null &
    XVFB_PID=$!
    for _ in $(seq 1 100); do
        [ -s "$numfile" ] && break
        sleep 0.1
    done
    if [ ! -s "$numfile" ]; then
        rm -f "$numfile"
        return 1
    fi
    DISPLAY=":$(head -n 1 "$numfile")"
    export DISPLAY
    rm -f "$numfile"
}

# Ends what the scripts started: the prefix's Wine processes and our Xvfb.
stop_all() {
    if [ -n "${WINEPREFIX:-}" ] && [ -d "${WINEPREFIX:-}" ]; then
        wineserver -k >/dev/null 2>&1 || true
    fi
    if [ -n "$XVFB_PID" ]; then
        kill "$XVFB_PID" >/dev/null 2>&1 || true
        wait "$XVFB_PID" 2>/dev/null || true
        XVFB_PID=""
    fi
}

# For benchmarks: the prefix, a display, and a Wine server that stays up
# between programs, so no measurement pays its start; stop_all on exit.
bench_session() {
    wine_prefix || {
        echo "bench: wineboot failed (log: build/wineboot.log)" >&2
        return 1
    }
    trap stop_all EXIT
    start_xvfb || {
        echo "bench: cannot start Xvfb" >&2
        return 1
    }
    wineserver -p
    wine cmd /c exit >/dev/null 2>&1 </dev/null || true
}

# Runs a command with the prefix's Windows directory read-only, as a standard
# user meets it on Windows, in a mount namespace of its own (root, or a user
# namespace otherwise). The Wine server opens the files, so it must start
# inside: the prefix's server is ended before and after.
with_readonly_windows() {
    local unshare=(unshare -m --propagation private)
    [ "$(id -u)" -eq 0 ] || unshare=(unshare -r -m --propagation private)
    wineserver -k >/dev/null 2>&1 || true
    wineserver -w >/dev/null 2>&1 || true
    "${unshare[@]}" bash -c '
        windows="$WINEPREFIX/drive_c/windows"
        mount --bind "$windows" "$windows" && mount -o remount,bind,ro "$windows" || exit 97
        "$@"
        rc=$?
        wineserver -k >/dev/null 2>&1
        wineserver -w >/dev/null 2>&1
        exit $rc' with_readonly_windows "$@"
}
