#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# The window on a screen too small for its fixed layout: at QT_SCALE_FACTOR=2 on a 1280x1024 screen, under a
# window manager, the window fits the screen, and once it is scrolled to its end "Start Converting" can be clicked:
# the run converts the listed file and says "Done.". Usage: scaled_window.sh <bin dir> <out dir>.
set -u

bin_dir=$1
mkdir -p "$2"
out_dir=$(cd "$2" && pwd)/scaled_window
rm -rf "$out_dir"
mkdir -p "$out_dir/config" "$out_dir/home" "$out_dir/in" "$out_dir/out"
. "$(dirname "$0")/support/xserver.sh"

printf '1,2\n' >"$out_dir/in/a.csv"
printf '[Ostrand]\nOutput%%20Folder=%s/\n' "$out_dir/out" >"$out_dir/config/Kelvadine.conf"

start_xvfb "$out_dir" 1280x1024
start_wm "$out_dir"

env -u QT_QPA_PLATFORM -u WAYLAND_DISPLAY -u QT_SCREEN_SCALE_FACTORS QT_SCALE_FACTOR=2 DISPLAY="$display" \
    XDG_CONFIG_HOME="$out_dir/config" HOME="$out_dir/home" "$bin_dir/ostrand" "$out_dir/in" >"$out_dir/ostrand.log" 2>&1 &
app_pid=$!
window=$(find_window '^Ostrand$' "$app_pid") || fail "no window titled Ostrand: $(cat "$out_dir/ostrand.log")"
DISPLAY="$display" xdotool windowactivate --sync "$window" >/dev/null 2>&1
sleep 1

# The whole window, frame and all, is on the screen.
read -r left top width height < <(DISPLAY="$display" xwininfo -id "$window" |
    sed -n 's/.*Absolute upper-left X: *//p; s/.*Absolute upper-left Y: *//p; s/.*Width: *//p; s/.*Height: *//p' |
    tr '\n' ' ')
[ $((left + width)) -le 1280 ] && [ $((top + height)) -le 1024 ] && [ "$top" -ge 0 ] ||
    fail "the window at $left,$top, ${width}x$height, is not all on the 1280x1024 screen"

# Scrolled to its end (a click on the scroll bar's track below its handle, at the window's right edge), the
# layout's last rows are at the window's bottom: "Start Converting" is 42 to 69 designed pixels above it, in the
# middle of the width; at scale 2 that is twice as far.
for _ in 1 2 3; do
    DISPLAY="$display" xdotool mousemove --window "$window" $((width - 12)) $((height - 80)) click 1
    sleep 0.2
done
sleep 0.5
DISPLAY="$display" import -window root "$out_dir/screen.png" || fail "screenshot failed"
DISPLAY="$display" xdotool mousemove --window "$window" 536 $((height - 112)) click 1
box=$(find_window '^Ostrand Table Converter$' "$app_pid") || fail "\"Start Converting\" could not be clicked"
[ -f "$out_dir/out/a.htm" ] || fail "the run wrote no document"

DISPLAY="$display" python3 "$(dirname "$0")/support/close_window.py" "$window" || fail "could not send the close"
echo "window ${width}x$height at $left,$top on 1280x1024 at scale 2; \"Start Converting\" clicked, box $box"
exit 0
