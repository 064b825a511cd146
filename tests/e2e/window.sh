#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# The desktop program on a real X server: starts the built `ostrand` with a prepared settings file, finds its
# window by the title "Ostrand", checks its size, takes a screenshot and checks that the start-up kept the
# stored choices. Usage: window.sh <bin dir> <out dir>. Exits 0 when all is well, 1 otherwise.
set -u

bin_dir=$1
out_dir=$2/window
rm -rf "$out_dir"
mkdir -p "$out_dir/config" "$out_dir/home"

. "$(dirname "$0")/support/xserver.sh"

cat >"$out_dir/config/Kelvadine.conf" <<CONF
[Ostrand]
Option1=False
Option3=True
Border%20Width=3
Text%20Color=255
Output%20Folder=$out_dir/
CONF

start_xvfb "$out_dir"

env -u QT_QPA_PLATFORM -u WAYLAND_DISPLAY DISPLAY="$display" XDG_CONFIG_HOME="$out_dir/config" \
    HOME="$out_dir/home" "$bin_dir/ostrand" >"$out_dir/ostrand.log" 2>&1 &
app_pid=$!

window=$(find_window '^Ostrand$' "$app_pid") || fail "no window titled Ostrand: $(cat "$out_dir/ostrand.log")"

# The window may be found before it has taken its size: give it a moment.
geometry=
for _ in $(seq 50); do
    geometry=$(DISPLAY="$display" xdotool getwindowgeometry "$window" | sed -n 's/.*Geometry: //p')
    [ "$geometry" = "536x554" ] && break
    sleep 0.1
done
[ "$geometry" = "536x554" ] || fail "window is $geometry, not 536x554"

sleep 0.5
DISPLAY="$display" import -window root "$out_dir/screen.png" || fail "screenshot failed"
[ -s "$out_dir/screen.png" ] || fail "empty screenshot"
size=$(identify -format '%wx%h' "$out_dir/screen.png")
[ "$size" = "1024x768" ] || fail "screenshot is $size"
# The window is drawn: the shot holds more than one colour.
colours=$(convert "$out_dir/screen.png" -format '%k' info:)
[ "$colours" -gt 2 ] || fail "screenshot has $colours colours"

# The start-up restored Semicolon and wrote the group back; the other values are as stored.
conf=$out_dir/config/Kelvadine.conf
grep -qx 'Option3=True' "$conf" || fail "Option3 not kept: $(cat "$conf")"
grep -qx 'Option1=False' "$conf" || fail "Option1 not kept: $(cat "$conf")"
grep -qx 'Border%20Width=3' "$conf" || fail "Border Width not kept: $(cat "$conf")"
kill -0 "$app_pid" 2>/dev/null || fail "ostrand is no longer running"

echo "window $window at $geometry, screenshot $out_dir/screen.png"
exit 0
