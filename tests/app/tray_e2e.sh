#!/usr/bin/env bash
# End to end: the tray under Xvfb with a real notification area (trayer). The icon appears with its tip; a click on
# it brings the hidden window back (a press alone does not), so does a right click, and a double click does it with
# two flights; a second start brings the hidden window back and ends with 0; after Exit the icon is gone.
# The flights are counted from the X server's window creations: an expand strip starts at (screen width - 30,
# screen height), below the screen. Starts and stops everything it needs.
# Usage: tray_e2e.sh <tocsinet> <tray_probe>   (KEEP_TMP=1 keeps the work folder)
set -u
exe=$(realpath "${1:?usage: tray_e2e.sh <tocsinet> <tray_probe>}")
probe=$(realpath "${2:?usage: tray_e2e.sh <tocsinet> <tray_probe>}")

for tool in Xvfb trayer xdotool xwininfo xev; do
    command -v "$tool" >/dev/null || { echo "tray_e2e: $tool is missing (scripts/deps.sh test installs it)" >&2; exit 1; }
done

work=$(mktemp -d /tmp/tocsinet-tray-e2e.XXXXXX)
pids=()
cleanup() {
    local i
    for ((i = ${#pids[@]} - 1; i >= 0; i--)); do
        kill "${pids[i]}" 2>/dev/null && wait "${pids[i]}" 2>/dev/null
    done
    [ -n "${KEEP_TMP:-}" ] && echo "kept $work" || rm -rf "$work"
}
trap cleanup EXIT
trap 'exit 1' INT TERM

failures=0
passed=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }
pass() { echo "ok: $*"; passed=$((passed + 1)); }

# An exited process may linger as a zombie until it is reaped; it no longer runs.
running() { local state; state=$(cut -d' ' -f3 "/proc/$1/stat" 2>/dev/null) && [ -n "$state" ] && [ "$state" != Z ]; }

until_true() { # seconds command...: runs the command every 0.1 s until it succeeds (mind: $(...) is run once)
    local end=$((SECONDS + $1))
    shift
    until "$@"; do
        [ $SECONDS -ge $end ] && return 1
        sleep 0.1
    done
}

# A private environment: no session bus (the icon must go to the X notification area), a runtime folder of our own
# for the single-instance lock, and a copy of the program so that its settings file lands here.
export HOME=$work/home XDG_RUNTIME_DIR=$work/run QT_QPA_PLATFORM=xcb
unset DBUS_SESSION_BUS_ADDRESS QT_QPA_PLATFORMTHEME WAYLAND_DISPLAY
mkdir -p "$HOME" "$XDG_RUNTIME_DIR" "$work/bin"
chmod 700 "$XDG_RUNTIME_DIR"
cp "$exe" "$work/bin/tocsinet"
prog=$work/bin/tocsinet

Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3>"$work/display" 2>"$work/xvfb.log" &
pids+=($!)
until_true 10 test -s "$work/display" || { echo "tray_e2e: Xvfb did not start" >&2; cat "$work/xvfb.log" >&2; exit 1; }
export DISPLAY=:$(head -n1 "$work/display")

trayer --edge bottom --align right --widthtype request --height 24 >"$work/trayer.log" 2>&1 &
pids+=($!)
"$probe" available || { echo "tray_e2e: trayer did not take the notification area" >&2; exit 1; }

xev -root -event substructure >"$work/xev.log" 2>&1 &
pids+=($!)
expand_flights() { grep -a -c -E '\(994,768\), width [0-9]+, height 20' "$work/xev.log"; }

has() { [ -n "$("$@")" ]; } # true when the command prints something

# Our windows on the screen, one per line: id, width, height, absolute x, absolute y.
windows() { # xwininfo option and window
    xwininfo "$@" 2>/dev/null | grep -a '"Tocsinet": ("tocsinet"' |
        sed -E 's/^ *(0x[0-9a-f]+) .* ([0-9]+)x([0-9]+)[+-][0-9-]+[+-][0-9-]+ +\+(-?[0-9]+)\+(-?[0-9]+).*/\1 \2 \3 \4 \5/'
}
main_window() { windows -root -children | awk '$2 > 200 && $3 > 150 { print $1; exit }'; }
panel() { xwininfo -root -children | grep -a '"panel": ("panel" "trayer")' | awk '{ print $1; exit }'; }
icon() { windows -tree -id "$(panel)" | head -n1; }
map_state() { xwininfo -id "$1" 2>/dev/null | sed -n 's/.*Map State: //p'; }
shown() { [ "$(map_state "$win")" = IsViewable ]; }
hidden() { [ "$(map_state "$win")" = IsUnMapped ]; }

# Opens the File menu and picks its nth item with the keyboard.
file_menu() { # item
    xdotool mousemove --window "$win" 12 8 click 1
    sleep 0.5
    for _ in $(seq "$1"); do xdotool key Down; sleep 0.1; done
    xdotool key Return
}
reduce() { file_menu 2 && until_true 5 hidden && sleep 0.5; } # and the strip has landed
to_icon() { xdotool mousemove "$icon_x" "$icon_y"; }

"$prog" >"$work/tocsinet.log" 2>&1 &
app=$!
pids+=($app)
until_true 15 has main_window || { echo "tray_e2e: the main window never appeared" >&2; exit 1; }
win=$(main_window)

if until_true 10 has icon; then
    read -r _ w h x y <<<"$(icon)"
    icon_x=$((x + w / 2)) icon_y=$((y + h / 2))
    pass "the icon is in the notification area at $x,$y (${w}x$h)"
else
    echo "tray_e2e: no icon in the notification area" >&2
    xwininfo -root -tree >&2
    exit 1
fi

# The tip: hover until the tooltip window is up, then compare it with a tooltip reading "Tocsinet".
xdotool mousemove 10 10
sleep 0.3
to_icon
xdotool mousemove_relative 1 1
tip() { windows -root -children | awk -v win="$win" '$1 != win && $3 >= 10 && $3 < 60 { print $1; exit }'; }
if until_true 5 has tip; then
    "$probe" tip "$(tip)" Tocsinet && pass "the icon's tip reads Tocsinet" || fail "the icon's tip is not Tocsinet"
else
    fail "no tip over the icon"
fi
xdotool mousemove 10 10

# A press alone leaves the window hidden; the release brings it back, with one flight.
if reduce; then
    before=$(expand_flights)
    to_icon
    xdotool mousedown 1
    sleep 0.7
    hidden && pressed=kept || pressed=shown
    xdotool mouseup 1
    if until_true 5 shown && [ $pressed = kept ]; then
        sleep 0.5
        [ "$(expand_flights)" -eq $((before + 1)) ] && pass "a click brings the hidden window back, on release" ||
            fail "a click played $(($(expand_flights) - before)) flights"
    else
        fail "click on the icon: window $pressed while pressed, $(map_state "$win") after the release"
    fi
else
    fail "Tray icon did not hide the window ($(map_state "$win"))"
fi

if reduce; then
    to_icon
    xdotool click 3
    until_true 5 shown && pass "a right click brings the hidden window back" ||
        fail "right click: window $(map_state "$win")"
fi

if reduce; then
    before=$(expand_flights)
    to_icon
    xdotool click --repeat 2 --delay 80 1
    if until_true 5 shown; then
        sleep 1
        flights=$(($(expand_flights) - before))
        shown && [ $flights -eq 2 ] && pass "a double click plays two flights and ends shown" ||
            fail "double click: $flights flights, window $(map_state "$win")"
    else
        fail "double click: window $(map_state "$win")"
    fi
fi
xdotool mousemove 10 10

if reduce; then
    timeout 10 "$prog" >"$work/second.log" 2>&1
    code=$?
    until_true 5 shown && [ $code -eq 0 ] && pass "a second start brings the hidden window back and ends with 0" ||
        fail "second start: exit $code, window $(map_state "$win")"
    running $app || fail "the running copy ended"
fi

file_menu 3 # Exit
if until_true 10 eval '! running $app'; then
    wait $app
    code=$?
    [ $code -eq 0 ] || fail "Exit ended with $code"
    until_true 3 eval '! has icon' && pass "after Exit the icon is gone" || fail "the icon is still there after Exit"
else
    fail "Exit did not end the program"
fi

echo "$passed passed, $failures failed"
[ $failures -eq 0 ]
