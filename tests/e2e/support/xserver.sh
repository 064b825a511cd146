# SPDX-License-Identifier: MIT
# Sourced by the end-to-end tests: start_xvfb DIR starts an X server of its own (Xvfb picks a display number no
# other server holds), waits until it answers and sets `display` and `xvfb_pid`; fail MESSAGE ends the test. The
# program a test starts goes in `app_pid`; both are ended when the test exits.

xvfb_pid=
app_pid=
cleanup() {
    [ -n "$app_pid" ] && kill "$app_pid" 2>/dev/null
    [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null
    wait 2>/dev/null
}
trap cleanup EXIT

fail() {
    echo "FAIL: $*" >&2
    exit 1
}

start_xvfb() {
    local dir=$1
    # -noreset keeps the server from resetting (and refusing connections for a moment) when a probe disconnects.
    Xvfb -displayfd 3 -noreset -screen 0 1024x768x24 -nolisten tcp 3>"$dir/display" >"$dir/xvfb.log" 2>&1 &
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

# find_window TITLE-REGEX PID: prints the first window of that title, while the program PID runs (10 s at most).
find_window() {
    local window=""
    for _ in $(seq 100); do
        window=$(DISPLAY="$display" xdotool search --name "$1" 2>/dev/null | head -n 1)
        [ -n "$window" ] && break
        kill -0 "$2" 2>/dev/null || return 1
        sleep 0.1
    done
    [ -n "$window" ] && echo "$window"
}
