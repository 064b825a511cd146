#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# A run that reports failure after failure never traps the user: on a real X server, `ostrand DIR` lists six
# files whose documents cannot be written (a folder holds each name), "Start Converting" is clicked, and while the
# first "Application Error" box is open the main window is closed the way a window manager closes it. The program
# must end at once, writing nothing. Usage: close_during_report.sh <bin dir> <out dir>.
set -u

bin_dir=$1
out_dir=$2/close_during_report
rm -rf "$out_dir"
mkdir -p "$out_dir/config" "$out_dir/home" "$out_dir/in" "$out_dir/out"
. "$(dirname "$0")/support/xserver.sh"

for i in 1 2 3 4 5 6; do
    printf '1,2\n' >"$out_dir/in/f$i.csv"
    mkdir "$out_dir/out/f$i.htm"
done
printf '[Ostrand]\nOutput%%20Folder=%s/\n' "$out_dir/out" >"$out_dir/config/Kelvadine.conf"

start_xvfb "$out_dir"

# The program ends by itself here: in a build with the sanitizers, leaks of the system's libraries are not its own.
support=$(cd "$(dirname "$0")/support" && pwd)
env -u QT_QPA_PLATFORM -u WAYLAND_DISPLAY DISPLAY="$display" XDG_CONFIG_HOME="$out_dir/config" \
    HOME="$out_dir/home" LSAN_OPTIONS="suppressions=$support/lsan.supp${LSAN_OPTIONS:+:$LSAN_OPTIONS}" \
    "$bin_dir/ostrand" "$out_dir/in" >"$out_dir/ostrand.log" 2>&1 &
app_pid=$!
window=$(find_window '^Ostrand$' "$app_pid") || fail "no window titled Ostrand: $(cat "$out_dir/ostrand.log")"
sleep 0.5

# "Start Converting" spans the window's width at 485 to 512 pixels from its top.
DISPLAY="$display" xdotool mousemove --window "$window" 268 498 click 1
box=$(find_window '^Application Error$' "$app_pid") || fail "no error report appeared: $(cat "$out_dir/ostrand.log")"

DISPLAY="$display" python3 "$(dirname "$0")/support/close_window.py" "$window" || fail "could not send the close"
for _ in $(seq 50); do
    kill -0 "$app_pid" 2>/dev/null || break
    sleep 0.1
done
kill -0 "$app_pid" 2>/dev/null && fail "ostrand still runs 5 s after its window was closed under the error report"
wait "$app_pid"
status=$?
app_pid=
[ "$status" -eq 0 ] || fail "ostrand ended with status $status: $(cat "$out_dir/ostrand.log")"
written=$(find "$out_dir/out" -type f | wc -l)
[ "$written" -eq 0 ] || fail "$written file(s) written in the output folder"

echo "the window closed under error report $box; ostrand ended with status 0"
exit 0
