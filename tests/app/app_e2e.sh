#!/usr/bin/env bash
# End-to-end checks of the real program under Xvfb: one running copy, the second start's wake-up, Exit's exit code,
# the settings written on SIGTERM and a failed save that keeps the program running.
# Usage: app_e2e.sh <path of the tocsinet executable>
set -u
exe=$(realpath "$1")
work=$(mktemp -d /tmp/tocsinet-e2e.XXXXXX)
chmod 755 "$work"
pids=()
failures=0
passed=0

cleanup() {
    for p in "${pids[@]}"; do kill -9 "$p" 2>/dev/null; wait "$p" 2>/dev/null; done
    rm -rf "$work"
}
trap cleanup EXIT

fail() { echo "FAIL: $*"; failures=$((failures + 1)); }
pass() { echo "ok: $*"; passed=$((passed + 1)); }

# A process that has exited may linger as a zombie until it is reaped; it no longer runs.
running() { [ -r "/proc/$1/stat" ] && [ "$(cut -d' ' -f3 "/proc/$1/stat")" != Z ]; }

wait_gone() { # pid seconds
    local end=$((SECONDS + $2))
    while running "$1"; do [ $SECONDS -ge $end ] && return 1; sleep 0.1; done
}

start_display() {
    local n
    for n in $(seq 90 120); do
        [ -e "/tmp/.X11-unix/X$n" ] || [ -e "/tmp/.X$n-lock" ] && continue
        Xvfb ":$n" -screen 0 1024x768x24 -ac -nolisten tcp >/dev/null 2>&1 &
        pids+=($!)
        for _ in $(seq 50); do [ -e "/tmp/.X11-unix/X$n" ] && { export DISPLAY=":$n"; return 0; }; sleep 0.1; done
    done
    echo "no X display could be started" >&2
    exit 1
}

# A private copy of the program, so that its settings file lands in a folder of this test.
install_copy() { # folder
    mkdir -p "$1/bin"
    cp "$exe" "$1/bin/tocsinet"
    echo "$1/bin/tocsinet"
}

new_runtime() {
    XDG_RUNTIME_DIR=$(mktemp -d "$work/run.XXXXXX")
    chmod 700 "$XDG_RUNTIME_DIR"
    export XDG_RUNTIME_DIR
}

main_window() { # pid → id of its main window, once mapped
    local end=$((SECONDS + 15)) id
    while [ $SECONDS -lt $end ]; do
        id=$(xdotool search --all --pid "$1" --onlyvisible --name '^Tocsinet$' 2>/dev/null | head -n1)
        [ -n "$id" ] && { echo "$id"; return 0; }
        sleep 0.1
    done
    return 1
}

map_state() { xwininfo -id "$1" 2>/dev/null | sed -n 's/.*Map State: //p'; }

# Opens the File menu and picks its nth item with the keyboard.
file_menu() { # window item
    xdotool mousemove --window "$1" 12 8 click 1
    sleep 0.5
    for _ in $(seq "$2"); do xdotool key Down; sleep 0.1; done
    xdotool key Return
}

start_display
export QT_QPA_PLATFORM=xcb

# One running copy: a second start wakes the hidden first copy and ends at once with 0.
new_runtime
prog=$(install_copy "$work/single")
"$prog" & first=$!; pids+=($first)
if win=$(main_window $first); then
    file_menu "$win" 2 # Tray icon
    sleep 1
    [ "$(map_state "$win")" = IsUnMapped ] || fail "Tray icon did not hide the window ($(map_state "$win"))"
    began=$(date +%s%N)
    timeout 10 "$prog"; code=$?
    took=$((($(date +%s%N) - began) / 1000000))
    [ $code -eq 0 ] || fail "second start exited with $code"
    [ $took -le 1000 ] || fail "second start took ${took} ms"
    end=$((SECONDS + 5))
    while [ "$(map_state "$win")" != IsViewable ] && [ $SECONDS -lt $end ]; do sleep 0.1; done
    [ "$(map_state "$win")" = IsViewable ] && pass "second start (${took} ms) woke the first copy" ||
        fail "first copy's window not shown after the wake-up"
    running $first || fail "first copy ended"
    # Exit ends the program with 0 and writes the settings.
    file_menu "$win" 3
    if wait_gone $first 10; then
        wait $first; code=$?
        [ $code -eq 0 ] && pass "Exit ends with 0" || fail "Exit ended with $code"
        grep -q '^HostTimeServer=' "$work/single/bin/tocsinet.ini" && pass "Exit wrote the settings" ||
            fail "no settings after Exit"
    else
        fail "Exit did not end the program"
    fi
else
    fail "the main window never appeared"
fi

# SIGTERM runs the close sequence: the settings are on disk afterwards.
new_runtime
prog=$(install_copy "$work/term")
printf '[Alarm]\nUserMode=1\nTime2=07:30:00\n' >"$work/term/bin/tocsinet.ini"
"$prog" & term=$!; pids+=($term)
if main_window $term >/dev/null; then
    kill -TERM $term
    if wait_gone $term 10; then
        wait $term; code=$?
        if [ $code -eq 0 ] && grep -q '^UserMode=1' "$work/term/bin/tocsinet.ini" &&
            grep -q '^Time2=07:30:00' "$work/term/bin/tocsinet.ini" &&
            grep -q '^PreAlarmTimeSec=10' "$work/term/bin/tocsinet.ini"; then
            pass "SIGTERM wrote every setting and ended with 0"
        else
            fail "SIGTERM: exit $code, settings: $(tr '\n' ' ' <"$work/term/bin/tocsinet.ini")"
        fi
    else
        fail "SIGTERM did not end the program"
    fi
else
    fail "the main window never appeared (SIGTERM)"
fi

# A save that cannot be written: the error box, the old file intact, the program still running. Root may write
# anywhere, so this copy runs as an ordinary user in a folder that user cannot write.
new_runtime
prog=$(install_copy "$work/ro")
printf '; kept as it was\n[Alarm]\nUserMode=0\n' >"$work/ro/bin/tocsinet.ini"
before=$(sha256sum <"$work/ro/bin/tocsinet.ini")
chmod 755 "$work/ro" "$work/ro/bin"; chmod 644 "$work/ro/bin/tocsinet.ini"
as_user=()
if [ "$(id -u)" -eq 0 ]; then
    chown nobody "$XDG_RUNTIME_DIR"
    as_user=(setpriv --reuid=nobody --regid=nogroup --clear-groups --)
else
    chmod 555 "$work/ro/bin"
fi
"${as_user[@]}" "$prog" & ro=$!; pids+=($ro)
if win=$(main_window $ro); then
    file_menu "$win" 3
    end=$((SECONDS + 10)); box=
    while [ -z "$box" ] && [ $SECONDS -lt $end ]; do
        box=$(xdotool search --all --pid $ro --onlyvisible --name . 2>/dev/null | grep -v "^$win$" | head -n1)
        sleep 0.2
    done
    sleep 0.5
    if [ -n "$box" ] && running $ro && [ "$(sha256sum <"$work/ro/bin/tocsinet.ini")" = "$before" ]; then
        pass "failed save: error shown, old file intact, still running"
    else
        fail "failed save: box '$box', running $(running $ro && echo yes || echo no)"
    fi
    ls "$work/ro/bin" | grep -v '^tocsinet' && fail "a temporary file was left behind"
else
    fail "the main window never appeared (read-only)"
fi
chmod -R u+w "$work" 2>/dev/null

echo "$passed passed, $failures failed"
[ $failures -eq 0 ]
