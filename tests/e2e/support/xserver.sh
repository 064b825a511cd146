# SPDX-License-Identifier: MIT
# Sourced by the end-to-end tests: start_xvfb DIR [WIDTHxHEIGHT] starts an X server of its own (Xvfb picks a
# display number no other server holds; 1024x768 unless given), waits until it answers and sets `display` and
# `xvfb_pid`; start_wm DIR starts a window manager on it (openbox); fail MESSAGE ends the test. The program a test
# starts goes in `app_pid`; all of them are ended when the test exits.

xvfb_pid=
wm_pid=
app_pid=
cleanup() {
    [ -n "$app_pid" ] && kill "$app_pid" 2>/dev/null
    [ -n "$wm_pid" ] && kill "$wm_pid" 2>/dev/null
    [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null
    wait 2>/dev/null
}
trap cleanup EXIT

fail() {
    echo "FAIL: $*" >&2
    exit 1
}

start_xvfb() {
    local dir=$1 size=${2:-1024x768}
    # -noreset keeps the server from resetting (and refusing connections for a moment) when a probe disconnects.
    Xvfb -displayfd 3 -noreset -screen 0 "${size}x24" -nolisten tcp 3>"$dir/display" >"$dir/xvfb.log" 2>&1 &
    xvfb_pid=$!
    for _ in $(seq 100); do
        [ -s "$dir/display" ] && break
        kill -0 "$xvfb_pid" 2>/dev/null || fail "Xvfb did not start: $(cat "$dir/xvfb.log")"
        sleep 0.1
    done
    [ -s "$dir/display" ] || fail "Xvfb did not start"
    display=":$(tr -d '[:space:]' <"$dir/display")"
    xdpyinfo -display "$display" >/dev/null 2>&1 || fail "Xvfb on $display does not answer"
}

start_wm() {
    command -v openbox >/dev/null || fail "no window manager: openbox is not installed (scripts/setup.sh installs it)"
    DISPLAY="$display" openbox --sm-disable >"$1/wm.log" 2>&1 &
    wm_pid=$!
    # The window manager is up once it names itself on the root window.
    for _ in $(seq 100); do
        DISPLAY="$display" xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q 'window id' && return 0
        kill -0 "$wm_pid" 2>/dev/null || fail "openbox did not start: $(cat "$1/wm.log")"
        sleep 0.1
    done
    fail "openbox did not start"
}

# find_window TITLE-REGEX PID: prints the first window on screen of that title (case aside), while the program PID runs (10 s at most).
find_window() {
    local window=""
    for _ in $(seq 100); do
        window=$(DISPLAY="$display" xdotool search --onlyvisible --name "$1" 2>/dev/null | head -n 1)
        [ -n "$window" ] && break
        kill -0 "$2" 2>/dev/null || return 1
        sleep 0.1
    done
    [ -n "$window" ] && echo "$window"
}
