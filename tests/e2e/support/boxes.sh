# SPDX-License-Identifier: MIT
# Sourced by the end-to-end tests of the program's boxes, after xserver.sh: the program runs as `app_pid` with its
# main window in `window`, on `display`.

# next_box: the box on screen now (its window id); fails when none comes within 20 s.
next_box() {
    local box
    for _ in $(seq 200); do
        box=$(DISPLAY="$display" xdotool search --onlyvisible --name '^(Application Error|Ostrand Table Converter)$' \
            2>/dev/null | head -n 1)
        [ -n "$box" ] && echo "$box" && return 0
        kill -0 "$app_pid" 2>/dev/null || return 1
        sleep 0.1
    done
    return 1
}

# copy_text BOX: what Ctrl+C in the box puts on the clipboard.
copy_text() {
    DISPLAY="$display" xdotool windowactivate --sync "$1" >/dev/null 2>&1
    DISPLAY="$display" xdotool key --clearmodifiers ctrl+c
    sleep 0.3
    DISPLAY="$display" timeout 5 xclip -o -selection clipboard 2>/dev/null
}

# gone BOX: waits until the box is off the screen; fails after 10 s.
gone() {
    for _ in $(seq 100); do
        DISPLAY="$display" xwininfo -id "$1" 2>/dev/null | grep -q IsViewable || return 0
        sleep 0.1
    done
    fail "box $1 did not close"
}

# finish: closes the main window as its close button would, and waits until the program has ended.
finish() {
    for _ in $(seq 50); do
        kill -0 "$app_pid" 2>/dev/null || break
        DISPLAY="$display" python3 "$(dirname "$0")/support/close_window.py" "$window" 2>/dev/null
        sleep 0.1
    done
    wait "$app_pid" 2>/dev/null
    app_pid=
}
