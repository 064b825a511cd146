#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Reordering the list during a run never makes the run skip or repeat a file: on a real X server, `ostrand` lists
# a large file and four small ones, "Start Converting" is clicked, and while the large file converts the last entry
# is dragged to the top of the list with the mouse. Every file must get its own document, and the run must end.
# Usage: reorder_during_run.sh <bin dir> <out dir>.
set -u

bin_dir=$1
out_dir=$2/reorder_during_run
rm -rf "$out_dir"
mkdir -p "$out_dir/config" "$out_dir/home" "$out_dir/in" "$out_dir/out"
. "$(dirname "$0")/support/xserver.sh"

# The large file takes the window about a second, far longer than the drag; each small one holds its own name.
awk 'BEGIN { for (i = 0; i < 800000; i++) printf "%d,alpha,beta,gamma,delta,epsilon,zeta,eta\n", i }' \
    >"$out_dir/in/big.csv"
for name in b c d e; do
    printf '%s,1\n' "$name" >"$out_dir/in/$name.csv"
done
printf '[Ostrand]\nOutput%%20Folder=%s/\n' "$out_dir/out" >"$out_dir/config/Kelvadine.conf"

start_xvfb "$out_dir"
support=$(cd "$(dirname "$0")/support" && pwd)
env -u QT_QPA_PLATFORM -u WAYLAND_DISPLAY DISPLAY="$display" XDG_CONFIG_HOME="$out_dir/config" \
    HOME="$out_dir/home" LSAN_OPTIONS="suppressions=$support/lsan.supp${LSAN_OPTIONS:+:$LSAN_OPTIONS}" \
    "$bin_dir/ostrand" "$out_dir"/in/{big,b,c,d,e}.csv >"$out_dir/ostrand.log" 2>&1 &
app_pid=$!
window=$(find_window '^Ostrand$' "$app_pid") || fail "no window titled Ostrand: $(cat "$out_dir/ostrand.log")"
sleep 0.5

# "Start Converting" spans the window's width at 485 to 512 pixels from its top; the list's rows lie 14 pixels apart,
# the first one's middle 34 pixels from the window's top. One command sends the click and the whole drag, row by
# row from the last entry up to the first, so all of it reaches the window while the large file converts.
actions=(mousemove --window "$window" 268 498 click 1 mousemove --window "$window" 100 90 mousedown 1)
for y in 76 62 48 34; do
    actions+=(sleep 0.02 mousemove --window "$window" 100 "$y")
done
DISPLAY="$display" xdotool "${actions[@]}" mouseup 1 || fail "the click and the drag could not be sent"
sent=$(date +%s%N)

# The run ends with its "Done." box beside the main window.
windows=0
for _ in $(seq 600); do
    windows=$(DISPLAY="$display" xdotool search --onlyvisible --pid "$app_pid" 2>/dev/null | wc -l)
    [ "$windows" -ge 2 ] && break
    kill -0 "$app_pid" 2>/dev/null || fail "ostrand ended during the run: $(cat "$out_dir/ostrand.log")"
    sleep 0.1
done
[ "$windows" -ge 2 ] || fail "the run did not end within a minute"
[ -s "$out_dir/out/big.htm" ] || fail "big.csv has no document"
[ "$(date -r "$out_dir/out/big.htm" +%s%N)" -gt "$sent" ] ||
    fail "the large file was done before the drag was sent: the test proves nothing on a machine this fast"
for name in b c d e; do
    grep -q "<td>$name</td>" "$out_dir/out/$name.htm" 2>/dev/null ||
        fail "$name.csv has no document of its own; the output folder holds: $(ls "$out_dir/out")"
done
documents=$(find "$out_dir/out" -type f | wc -l)
[ "$documents" -eq 5 ] || fail "$documents files in the output folder, not 5: $(ls -a "$out_dir/out")"
rm -f "$out_dir/in/big.csv" "$out_dir/out/big.htm"

echo "the last entry was dragged to the top while the large file converted; each of the 5 files has its document"
exit 0
