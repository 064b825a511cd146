#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# The window at the edges of the screen and of assistive technology, on a real X server under a window manager
# (openbox) with an AT-SPI bus, as an ordinary user (the user "nobody" when the test runs as root):
#  - a run with five kinds of failure, on a 1024x768 screen and at scale 2 on 1280x1024: every box, the summary of
#    the failures not shown one by one included, lies inside the screen with its frame, and its OK button, found over
#    AT-SPI, is clicked by the mouse;
#  - a report about a 311-character path with 120-letter folder names lies inside the screen, and Ctrl+C copies the
#    path whole (that every character of it is inside the box's text area, tst_QtDialogs checks);
#  - Ctrl+C in the question of "Load Sample/Example Files" copies its text;
#  - over AT-SPI the program has one window while no box is open: a frame named "Ostrand";
#  - a click at the right end of each option button's designed rectangle selects it (the settings file says so).
# The screenshots of the summary on the small screen and of the long path's report go to the out dir.
# Usage: box_edges.sh <bin dir> <out dir>.
set -u

bin_dir=$1
mkdir -p "$2"
out_dir=$(cd "$2" && pwd)/box_edges
rm -rf "$out_dir"
mkdir -p "$out_dir"
chmod 755 "$out_dir"
. "$(dirname "$0")/support/xserver.sh"
. "$(dirname "$0")/support/boxes.sh"
atspi=$(cd "$(dirname "$0")/support" && pwd)/atspi.py
command -v xclip >/dev/null || fail "xclip is not installed (scripts/setup.sh installs it)"
command -v dbus-daemon >/dev/null || fail "dbus-daemon is not installed (scripts/setup.sh installs it)"
/usr/bin/python3 -c 'import pyatspi' 2>/dev/null || fail "python3-pyatspi is not installed (scripts/setup.sh installs it)"

user=$(id -un)
as_user=()
if [ "$(id -u)" -eq 0 ]; then
    id nobody >/dev/null 2>&1 || fail "the test runs as root and there is no user \"nobody\" to run as"
    user=nobody
    as_user=(runuser -u nobody --)
fi

# The user's own session bus, on which the program and the checks meet the accessibility bus.
runtime=$out_dir/runtime
mkdir -p "$runtime"
chown "$user" "$runtime"
chmod 700 "$runtime"
bus=$("${as_user[@]}" env XDG_RUNTIME_DIR="$runtime" dbus-daemon --session --fork --print-address=1 --print-pid=1 \
    --address="unix:path=$runtime/bus")
scale=1
bus_address=$(sed -n 1p <<<"$bus")
bus_pid=$(sed -n 2p <<<"$bus")
[ -n "$bus_pid" ] || fail "no session bus"
trap 'cleanup; kill "$bus_pid" 2>/dev/null' EXIT

# user_run COMMAND...: runs a command as the user, on the display and the session bus.
user_run() {
    "${as_user[@]}" env DISPLAY="$display" DBUS_SESSION_BUS_ADDRESS="$bus_address" XDG_RUNTIME_DIR="$runtime" \
        HOME="$out_dir/home" "$@"
}
mkdir -p "$out_dir/home"
chown "$user" "$out_dir/home"

# screen SIZE: an X server of that size with a window manager, in place of the one before.
screen() {
    cleanup
    start_xvfb "$out_dir" "$1"
    start_wm "$out_dir"
    screen_width=${1%x*}
    screen_height=${1#*x}
}

# prepare NAME: a scene of its own, whose settings and output folders belong to the user who runs the program.
prepare() {
    local scene=$out_dir/$1
    mkdir -p "$scene/config" "$scene/in" "$scene/out"
    printf '[Ostrand]\nOutput%%20Folder=%s/\n' "$scene/out" >"$scene/config/Kelvadine.conf"
    echo "$scene"
}

# start SCENE [SCALE]: starts the program on SCENE/in (at the scale given, which `scale` keeps) and leaves its window
# in `window`.
start() {
    local scene=$1
    scale=${2:-1}
    chown -R "$user" "$scene/config"
    chown "$user" "$scene/out"
    user_run env -u QT_QPA_PLATFORM -u WAYLAND_DISPLAY QT_SCALE_FACTOR="$scale" QT_LINUX_ACCESSIBILITY_ALWAYS_ON=1 \
        XDG_CONFIG_HOME="$scene/config" "$bin_dir/ostrand" "$scene/in" >"$scene/ostrand.log" 2>&1 &
    app_pid=$!
    window=$(find_window '^Ostrand$' "$app_pid") || fail "no window titled Ostrand: $(cat "$scene/ostrand.log")"
    DISPLAY="$display" xdotool windowactivate --sync "$window" >/dev/null 2>&1
    sleep 0.5
}

# extents ROLE NAME: "X Y WIDTH HEIGHT" of the program's control of that role and name, over AT-SPI.
extents() {
    user_run /usr/bin/python3 "$atspi" extents "$1" "$2"
}

# click_control ROLE NAME [X-FROM-LEFT]: clicks the control with the mouse (at its middle, or that far from its left
# edge), on the screen's pixels at the program's scale.
click_control() {
    local x y w h
    read -r x y w h < <(extents "$1" "$2") || fail "no $1 \"$2\" over AT-SPI"
    DISPLAY="$display" xdotool mousemove $(((x + ${3:-$((w / 2))}) * scale)) $(((y + h / 2) * scale)) click 1
}

# press ROLE NAME: presses the control over AT-SPI (at scale 2 the window may show it only once scrolled to).
press() {
    user_run /usr/bin/python3 "$atspi" press "$1" "$2" || fail "no $1 \"$2\" to press over AT-SPI"
}


# inside_screen BOX: fails unless the box, with the frame the window manager gave it, lies inside the screen.
inside_screen() {
    local left top width height frame l r t b
    sleep 0.3
    read -r left top width height < <(DISPLAY="$display" xwininfo -id "$1" |
        sed -n 's/.*Absolute upper-left X: *//p; s/.*Absolute upper-left Y: *//p; s/.*Width: *//p; s/.*Height: *//p' |
        tr '\n' ' ')
    frame=$(DISPLAY="$display" xprop -id "$1" _NET_FRAME_EXTENTS | sed -n 's/.*= *//p' | tr -d ' ')
    IFS=, read -r l r t b <<<"${frame:-0,0,0,0}"
    [ $((left - l)) -ge 0 ] && [ $((top - t)) -ge 0 ] && [ $((left + width + r)) -le "$screen_width" ] &&
        [ $((top + height + b)) -le "$screen_height" ] ||
        fail "the box \"$(DISPLAY="$display" xdotool getwindowname "$1")\" ($width x $height at $left,$top, frame" \
            "$frame) is not inside the $screen_width x $screen_height screen"
}


# click_ok BOX: clicks the box's OK button with the mouse, where AT-SPI says it is, and waits until it is gone.
click_ok() {
    DISPLAY="$display" xdotool windowactivate --sync "$1" >/dev/null 2>&1
    click_control "push button" OK
    gone "$1"
}


# five_kinds SIZE SCALE: a run with nine failures of each of five kinds, so that the summary of those not shown one by
# one is taller than the screen; every box inside the screen and closed by a click on its OK button.
five_kinds() {
    local scene box title summary= count=0
    screen "$1"
    scene=$(prepare "five-$1-$2")
    for i in 1 2 3 4 5 6 7 8 9; do
        printf '1\n' >"$scene/in/locked$i.csv"                                      # cannot be read
        printf '1\n' >"$scene/in/folder$i.csv" && mkdir "$scene/out/folder$i.htm"    # its document's name is a folder's
        printf '1\n' >"$scene/in/kept$i.csv" && printf 'x\n' >"$scene/out/kept$i.htm" # its document may not be written
        printf '1\n' >"$scene/in/pipe$i.csv" && mkfifo "$scene/out/pipe$i.htm"       # its document's name is a FIFO's
        mkdir "$scene/in/same$i" && printf '1\n' >"$scene/in/same$i/same.csv"        # one document name for all
    done
    mkdir "$scene/in/same0" && printf '1\n' >"$scene/in/same0/same.csv"
    chmod 000 "$scene"/in/locked*.csv
    chmod 444 "$scene"/out/kept*.htm
    start "$scene" "$2"
    press "push button" "Start Converting"
    for _ in $(seq 30); do
        box=$(next_box) || fail "no further box, and no \"Done.\": $(cat "$scene/ostrand.log")"
        title=$(DISPLAY="$display" xdotool getwindowname "$box")
        inside_screen "$box"
        if [ "$title" = "Ostrand Table Converter" ]; then
            click_ok "$box"
            break
        fi
        count=$((count + 1))
        if copy_text "$box" | grep -q '^These failures were not shown one by one:$'; then
            summary=$box
            [ "$1" = 1024x768 ] && [ "$2" = 1 ] &&
                DISPLAY="$display" import -window root "$out_dir/long-summary-small-screen.png"
        fi
        click_ok "$box"
    done
    [ -n "$summary" ] || fail "no summary among $count boxes at $1, scale $2"
    [ "$count" = 13 ] || fail "$count report boxes at $1, scale $2, not 12 and the summary"
    finish
}

five_kinds 1024x768 1
five_kinds 1280x1024 2

# A report about a path of long folder names: inside the screen, its text inside the box, copied whole.
screen 1024x768
scene=$(prepare long-path)
long=$scene/in/$(printf 'a%.0s' $(seq 120))/$(printf 'b%.0s' $(seq 120))
mkdir -p "$long"
name=$long/$(printf 'c%.0s' $(seq $((311 - ${#long} - 5)))).csv
printf '1\n' >"$name"
chmod 000 "$name"
[ "${#name}" = 311 ] || fail "the path has ${#name} characters, not 311"
start "$scene"
click_control "push button" "Start Converting"
box=$(next_box) || fail "no report about the long path: $(cat "$scene/ostrand.log")"
inside_screen "$box"
DISPLAY="$display" import -window root "$out_dir/long-path-report.png"
copy_text "$box" | grep -qxF "Cannot read $name: Permission denied" || fail "Ctrl+C did not copy the path whole"
click_ok "$box"
box=$(next_box) && click_ok "$box"
finish

# The question, the program's windows over AT-SPI, and the option buttons, in a window with no run.
scene=$(prepare options)
start "$scene"
windows=$(user_run /usr/bin/python3 "$atspi" windows)
[ "$windows" = "$(printf 'frame\tOstrand')" ] || fail "over AT-SPI the program's windows are: $windows"
frames=$(user_run /usr/bin/python3 "$atspi" count frame)
[ "$frames" = 1 ] || fail "over AT-SPI the program has $frames frames, not one"
click_control "push button" "Load Sample/Example Files"
box=$(next_box) || fail "no question after \"Load Sample/Example Files\": $(cat "$scene/ostrand.log")"
inside_screen "$box"
copied=$(copy_text "$box")
[ "$copied" = "$(printf 'Ostrand Table Converter\n\nWould you like this software to open the folder where these sample files are stored (so that you can view them before working with them)?')" ] ||
    fail "Ctrl+C in the question copied \"$copied\""
DISPLAY="$display" xdotool windowactivate --sync "$box" >/dev/null 2>&1
click_control "push button" "No"
sleep 0.5
# Each option and the width the window's design gives it: a click 2 pixels inside its right end selects it. Each
# click changes the selection of its frame, so the settings file tells it took.
for option in "Comma-space|Option2|115" "Semicolon|Option3|97" "Tab|Option4|52" "Other|Option5|55" "Comma|Option1|76" \
    "Save results in folder of original file|Option7|241" "Save results to this folder:|Option6|241"; do
    IFS='|' read -r caption key width <<<"$option"
    click_control "radio button" "$caption" $((width - 2))
    sleep 0.3
    grep -qx "$key=True" "$scene/config/Kelvadine.conf" ||
        fail "a click at the right end of \"$caption\" did not select it: $(cat "$scene/config/Kelvadine.conf")"
done
finish

echo "box edges: boxes inside the screen at two sizes and scales, long names inside their box, Ctrl+C in the" \
    "question, one Ostrand frame over AT-SPI, option buttons over their designed rectangle"
exit 0
