#!/usr/bin/env bash
# Takes the pictures of the user's guide: builds tolvek.exe, runs it under
# Wine in a private Xvfb with a demonstration configuration, opens each
# window in turn and saves it, cropped, as docs/screenshot-<name>.png.
#
#   bash scripts/screenshots.sh [--dpi N]
#
# Pictures: button, menu, run, findfile, help, clock. With --dpi the screen
# has N dpi (144 is 150 %): the pictures come from a prefix of that DPI,
# build/wine-<N>dpi, on a screen as much larger, and go to
# build/screenshots-<N>dpi/ instead. The script ends what it started, undoes
# its changes to the Wine prefix, and exits non-zero when a picture could not
# be taken.
set -euo pipefail

root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
cd "$root"
# shellcheck source=scripts/lib.sh
. "$root/scripts/lib.sh"

dpi=96
if [ "${1:-}" = "--dpi" ]; then
    dpi="${2:-}"
    [[ "$dpi" =~ ^[0-9]+$ ]] && [ "$dpi" -ge 96 ] || {
        echo "usage: bash scripts/screenshots.sh [--dpi N], N at least 96" >&2
        exit 2
    }
fi
docs="$root/docs"
[ "$dpi" = 96 ] || docs="$root/build/screenshots-${dpi}dpi"
work="$root/build/screenshots-work"
exe="$root/build/mingw/tolvek.exe"
desktop='#3a6ea5'

say() { echo "screenshots: $*"; }
fail() {
    echo "screenshots: $*" >&2
    exit 1
}

bash "$root/scripts/setup.sh"
mkdir -p "$root/build"
say "building tolvek.exe (log: build/mingw-build.log)"
if ! build_windows "$root/build/mingw-build.log" tolvek; then
    tail -n 40 "$root/build/mingw-build.log"
    fail "the build failed"
fi

if [ "$dpi" = 96 ]; then
    say "preparing the Wine prefix build/wine"
    wine_prefix || fail "wineboot failed (log: build/wineboot.log)"
else
    say "preparing the Wine prefix build/wine-${dpi}dpi"
    dpi_prefix "$dpi" || fail "wineboot or the LogPixels setting failed (log: build/wineboot.log)"
fi

# Without a window manager the X server draws no frames. For the pictures
# Wine draws them itself (title bar and all), which takes a setting for
# tolvek.exe and the Marlett font for the caption buttons; both are taken
# away again at the end, so that the tests see the prefix as before.
appkey='HKCU\Software\Wine\AppDefaults\tolvek.exe'
marlett="$WINEPREFIX/drive_c/windows/Fonts/marlett.ttf"
added_font=""
demo="$WINEPREFIX/drive_c/Demo"
cleanup() {
    local status=$?
    wineserver -k >/dev/null 2>&1 || true
    wine reg delete "$appkey" /f >/dev/null 2>&1 || true
    # The registry is written when the server ends by itself.
    timeout 60 wineserver -w >/dev/null 2>&1 || wineserver -k >/dev/null 2>&1 || true
    [ -n "$added_font" ] && rm -f "$marlett"
    rm -rf "$demo"
    stop_all
    exit "$status"
}
trap cleanup EXIT
rm -rf "$work"
mkdir -p "$work" "$docs"
start_xvfb "$((1024 * dpi / 96))x$((768 * dpi / 96))" || fail "cannot start Xvfb"
# On this display: the first Wine program starts the prefix's desktop
# process, which keeps the display it was given.
wine reg add "$appkey\\X11 Driver" /v Decorated /t REG_SZ /d N /f >/dev/null 2>&1 ||
    fail "cannot change the Wine prefix's window settings"
if [ ! -e "$marlett" ] && [ -f /usr/share/wine/fonts/marlett.ttf ]; then
    cp /usr/share/wine/fonts/marlett.ttf "$marlett"
    added_font=1
fi

# ---- What the pictures show ----

# A small tree for Find File, with fixed dates so that the picture is the
# same on every run.
rm -rf "$demo"
mkdir -p "$demo/Letters/2024" "$demo/Notes" "$demo/Tools"
for f in Letters/bank.txt Letters/2024/landlord.txt Letters/2024/school.txt Notes/groceries.txt \
    Notes/ideas.txt Notes/todo.txt Tools/readme.txt readme.txt; do
    printf 'Tolvek demo file %s\r\n' "$f" >"$demo/$f"
done
printf 'x%.0s' $(seq 1 2000) >>"$demo/Notes/ideas.txt"
printf 'x%.0s' $(seq 1 700) >>"$demo/Letters/2024/school.txt"
: >"$demo/Tools/setup.exe"
: >"$demo/Notes/photo.bmp"
find "$demo" -exec touch -d '2024-03-14 10:30' {} +

# The sample configuration, placed where its menu has room, and without the
# close question.
config="$work/TOLVEK.INI"
sed -e 's/^Left=.*/Left=24/' -e 's/^Top=.*/Top=24/' "$root/scripts/sample.ini" >"$config"
printf 'QuickClose=1\r\n' >>"$config"

# ---- Helpers ----

# Prints the id of the first visible window whose name matches $1, waiting
# up to $2 seconds (default 20) for it.
wait_window() {
    local pattern="$1" limit="${2:-20}" id=""
    for _ in $(seq 1 $((limit * 4))); do
        id="$(xdotool search --onlyvisible --name "$pattern" 2>/dev/null | head -n 1 || true)"
        [ -n "$id" ] && break
        sleep 0.25
    done
    [ -n "$id" ] && echo "$id"
}

# Waits up to 10 s until no visible window's name matches $1.
wait_gone() {
    for _ in $(seq 1 40); do
        xdotool search --onlyvisible --name "$1" >/dev/null 2>&1 || return 0
        sleep 0.25
    done
    return 1
}

# Visible windows of the program (Wine names the class after the .exe).
program_windows() { xdotool search --onlyvisible --classname 'tolvek.exe' 2>/dev/null || true; }
count_windows() { program_windows | wc -l; }

# Waits up to 10 s until more than $1 windows of the program are visible.
wait_more_windows() {
    for _ in $(seq 1 40); do
        [ "$(count_windows)" -gt "$1" ] && return 0
        sleep 0.25
    done
    return 1
}

same_image() { [ "$(compare -metric AE "$1" "$2" null: 2>&1 || true)" = "0" ]; }

# Grabs window $1 (or "root") into $2 once two grabs a moment apart agree,
# so that nothing is caught half painted.
grab_settled() {
    local id="$1" out="$2" prev="$work/prev.png"
    import -window "$id" "$prev"
    for _ in $(seq 1 20); do
        sleep 0.3
        import -window "$id" "$out"
        same_image "$prev" "$out" && return 0
        cp "$out" "$prev"
    done
}

geometry_of() {
    # shellcheck disable=SC2034  # set by the eval, only X to HEIGHT used
    local X Y WIDTH HEIGHT SCREEN WINDOW
    eval "$(xdotool getwindowgeometry --shell "$1")"
    echo "$X $Y $WIDTH $HEIGHT"
}

# Small PNG: no metadata, and a palette (exact when there are few colours).
save_png() {
    local in="$1" name="$2" out="$docs/screenshot-$2.png"
    if [ "$(identify -format '%k' "$in")" -le 256 ]; then
        convert "$in" -strip PNG8:"$out"
    else
        convert "$in" -strip +dither -colors 256 PNG8:"$out"
    fi
    say "saved ${out#"$root"/} ($(identify -format '%wx%h' "$out"), $(stat -c %s "$out") bytes)"
}

# Cuts the given windows out of a settled grab of the screen and puts them on
# the desktop colour, each where it is, with a margin of 10 pixels; the
# result goes to $1. For windows that belong together, such as a menu and
# its submenu.
compose_windows() {
    local out="$1" minx=100000 miny=100000 maxx=0 maxy=0 margin=10 id x y w h
    shift
    grab_settled root "$work/root.png"
    for id in "$@"; do
        read -r x y w h < <(geometry_of "$id")
        ((x < minx)) && minx=$x
        ((y < miny)) && miny=$y
        ((x + w > maxx)) && maxx=$((x + w))
        ((y + h > maxy)) && maxy=$((y + h))
    done
    local layers=(-size "$((maxx - minx + 2 * margin))x$((maxy - miny + 2 * margin))" "xc:$desktop")
    for id in "$@"; do
        read -r x y w h < <(geometry_of "$id")
        layers+=("(" "$work/root.png" -crop "${w}x${h}+${x}+${y}" +repage ")"
            -geometry "+$((x - minx + margin))+$((y - miny + margin))" -composite)
    done
    convert "${layers[@]}" "$out"
}

press() { xdotool key --clearmodifiers "$@"; }

click_button() { xdotool mousemove --sync $((bx + bw / 2)) $((by + bh / 2)) click 1; }

# ---- The run ----

say "starting tolvek.exe on display $DISPLAY"
wine "$exe" "$(winpath "$config")" >"$work/wine.log" 2>&1 </dev/null &

button="$(wait_window '^TOLVEK$' 60)" || fail "the button window did not appear within 60 s"
read -r bx by bw bh < <(geometry_of "$button")
grab_settled "$button" "$work/button.png"
convert "$work/button.png" -bordercolor "$desktop" -border 10 "$work/button-framed.png"
save_png "$work/button-framed.png" button

# The menu, with its Functions submenu open: Down eight times passes the six
# configured entries and Run (separators are skipped).
before="$(count_windows)"
click_button
wait_more_windows "$before" || fail "the menu did not open after the click"
before="$(count_windows)"
press Down Down Down Down Down Down Down Down Right
wait_more_windows "$before" || fail "the Functions submenu did not open"
mapfile -t menus < <(program_windows | grep -vx "$button")
compose_windows "$work/menu.png" "${menus[@]}"
save_png "$work/menu.png" menu
press Escape Escape
sleep 0.5

# The Run dialog through its shortcut, with a command typed in.
press ctrl+r
run="$(wait_window '^Run \.\.\.$')" || fail "the Run dialog did not open on Ctrl+R"
xdotool type --delay 30 'NOTEPAD.EXE C:\Demo\Notes\todo.txt'
grab_settled "$run" "$work/run.png"
save_png "$work/run.png" run
press Escape
wait_gone '^Run \.\.\.$' || fail "the Run dialog did not close"

# Find File through its shortcut, moved clear of the button, then a search of
# the demonstration tree. Enter in each box moves on: filter, start folder,
# the Find Now button, which Space presses.
press ctrl+f
find="$(wait_window '^Search Results$')" || fail "the Find File window did not open on Ctrl+F"
xdotool windowmove "$find" 160 40
for _ in $(seq 1 20); do
    read -r x y w h < <(geometry_of "$find")
    [ "$x" = 160 ] && [ "$y" = 40 ] && break
    sleep 0.25
done
xdotool type --delay 30 '*.txt'
press Return
xdotool type --delay 30 'C:\Demo'
press Return
grab_settled "$find" "$work/find-before.png"
before="$(count_windows)"
press space
changed=""
for _ in $(seq 1 40); do
    sleep 0.25
    import -window "$find" "$work/find-now.png"
    if ! same_image "$work/find-before.png" "$work/find-now.png"; then
        changed=1
        break
    fi
done
[ -n "$changed" ] || fail "the Find File window did not change after Find Now"
# "Nothing found!" or an error would be a message box: one window more.
sleep 0.5
[ "$(count_windows)" -le "$before" ] || fail "Find File showed a message instead of results"
grab_settled "$find" "$work/findfile.png"
save_png "$work/findfile.png" findfile
press alt+F4
wait_gone '^Search Results$' || fail "the Find File window did not close"

# The Help window through the menu: "&Tolvek", its first item "Help", then
# "Quick Help".
before="$(count_windows)"
click_button
wait_more_windows "$before" || fail "the menu did not open for the help"
press t Right Return
help="$(wait_window '^Help, About, Etc$')" || fail "the Help window did not open"
grab_settled "$help" "$work/help.png"
save_png "$work/help.png" help
press alt+F4
wait_gone '^Help, About, Etc$' || fail "the Help window did not close"

# The clock through the menu: Functions, its fourth item. Its caption is the
# date, so it is found as the one new window of the program.
before="$(count_windows)"
click_button
wait_more_windows "$before" || fail "the menu did not open for the clock"
mapfile -t known < <(program_windows)
press Down Down Down Down Down Down Down Down Right Down Down Down Return
clock=""
for _ in $(seq 1 40); do
    sleep 0.25
    for id in $(program_windows); do
        printf '%s\n' "${known[@]}" | grep -qx "$id" && continue
        [ -n "$(xdotool getwindowname "$id" 2>/dev/null)" ] && clock="$id"
    done
    [ -n "$clock" ] && break
done
[ -n "$clock" ] || fail "the clock window did not open"
# The second hand moves: wait for a paint, then take it as it is.
sleep 1
import -window "$clock" "$work/clock.png"
save_png "$work/clock.png" clock

for name in button menu run findfile help clock; do
    [ -s "$docs/screenshot-$name.png" ] || fail "${docs#"$root"/}/screenshot-$name.png is missing"
done
say "all six pictures are in ${docs#"$root"/}/"
