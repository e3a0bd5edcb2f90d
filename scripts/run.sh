#!/usr/bin/env bash
# Builds the Windows executables and starts tolvek.exe under Wine.
#
#   bash scripts/run.sh [--compact] [more arguments, e.g. /popup]
#
# The configuration is build/run/TOLVEK.INI (a copy of scripts/sample.ini the
# first time; set TOLVEK_INI to use another file). With a DISPLAY the button
# simply runs. Without one, the script starts a private Xvfb, clicks the
# button, saves screenshots under build/screenshots/ and ends everything.
set -euo pipefail

root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
cd "$root"
# shellcheck source=scripts/lib.sh
. "$root/scripts/lib.sh"

exe_name=tolvek
if [ "${1:-}" = "--compact" ]; then
    exe_name=tolvek-compact
    shift
fi

bash "$root/scripts/setup.sh"
mkdir -p "$root/build"
echo "run: building the Windows executables (log: build/mingw-build.log)"
if ! build_windows "$root/build/mingw-build.log" tolvek tolvek-compact; then
    tail -n 40 "$root/build/mingw-build.log"
    echo "run: the build failed" >&2
    exit 1
fi
exe="$root/build/mingw/$exe_name.exe"

config="${TOLVEK_INI:-$root/build/run/TOLVEK.INI}"
if [ ! -f "$config" ]; then
    mkdir -p "$(dirname "$config")"
    cp "$root/scripts/sample.ini" "$config"
    echo "run: created $config from scripts/sample.ini"
fi

echo "run: preparing the Wine prefix build/wine"
wine_prefix || {
    echo "run: wineboot failed (log: build/wineboot.log)" >&2
    exit 1
}

if [ -n "${DISPLAY:-}" ]; then
    # Ends when the button is closed (Close Tolvek in its menu).
    exec wine "$exe" "$(winpath "$config")" "$@" 2>/dev/null
fi

# No screen: show it to Xvfb and take pictures instead.
trap stop_all EXIT
start_xvfb || {
    echo "run: cannot start Xvfb" >&2
    exit 1
}
shots="$root/build/screenshots"
mkdir -p "$shots"
wine "$exe" "$(winpath "$config")" "$@" >/dev/null 2>&1 </dev/null &

# Wine names the X window after the form's caption.
window=""
for _ in $(seq 1 120); do
    window="$(xdotool search --onlyvisible --name '^TOLVEK$' 2>/dev/null | head -n 1 || true)"
    [ -n "$window" ] && break
    sleep 0.5
done
if [ -z "$window" ]; then
    echo "run: the button window did not appear within 60 s" >&2
    exit 1
fi
eval "$(xdotool getwindowgeometry --shell "$window")"  # X, Y, WIDTH, HEIGHT
sleep 1
import -window root "$shots/button.png"

# Windows of the program: the button, then the menu once it is open.
count_windows() { xdotool search --onlyvisible --classname "$exe_name" 2>/dev/null | wc -l; }
before="$(count_windows)"
xdotool mousemove --sync $((X + WIDTH / 2)) $((Y + HEIGHT / 2)) click 1
for _ in $(seq 1 40); do
    [ "$(count_windows)" -gt "$before" ] && break
    sleep 0.25
done
if [ "$(count_windows)" -le "$before" ]; then
    echo "run: the menu did not open after the click" >&2
    exit 1
fi
sleep 1
import -window root "$shots/menu.png"

# The menu covers the button, so the picture for people shows both side by
# side: the button before the click, the menu after it.
menu_geometry=""
for w in $(xdotool search --onlyvisible --classname "$exe_name" 2>/dev/null); do
    [ "$w" = "$window" ] && continue
    eval "$(xdotool getwindowgeometry --shell "$w" | sed 's/^/M_/')"
    menu_geometry="${M_WIDTH}x${M_HEIGHT}+${M_X}+${M_Y}"
    break
done
button_geometry="${WIDTH}x${HEIGHT}+${X}+${Y}"
if [ -n "$menu_geometry" ] &&
    montage "$shots/button.png[$button_geometry]" "$shots/menu.png[$menu_geometry]" \
        -tile 2x1 -geometry +16+16 -gravity north -background '#3a6ea5' "$shots/overview.png" 2>/dev/null; then
    echo "run: button and menu side by side: $shots/overview.png"
fi

xdotool key Escape
echo "run: screenshot with the menu open: $shots/menu.png"
