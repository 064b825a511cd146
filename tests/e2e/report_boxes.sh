#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# The boxes of a run, on a real X server under a window manager (openbox), as an ordinary user (the user "nobody"
# when the test runs as root, so that files without read permission cannot be read):
#  - a run over one name repeated in two folders and one unreadable file counts "1 file", never "1 file(s)";
#  - a run over 2,000 unreadable files and 200 repeats of one name shows three report boxes, then one summary
#    titled "Application Error", then "Done.";
#  - a report box is a dialog without minimise or maximise: its window type is a dialog's, its hints ask for no
#    minimise or maximise, and minimising it anyway neither hides it nor the main window;
#  - its text can be selected (a double-click selects a word), and Ctrl+C copies it.
# Usage: report_boxes.sh <bin dir> <out dir>.
set -u

bin_dir=$1
mkdir -p "$2"
out_dir=$(cd "$2" && pwd)/report_boxes
rm -rf "$out_dir"
mkdir -p "$out_dir"
. "$(dirname "$0")/support/xserver.sh"
. "$(dirname "$0")/support/boxes.sh"
command -v xclip >/dev/null || fail "xclip is not installed (scripts/setup.sh installs it)"

as_user=()
if [ "$(id -u)" -eq 0 ]; then
    id nobody >/dev/null 2>&1 || fail "the test runs as root and there is no user \"nobody\" to run as"
    as_user=(runuser -u nobody --)
fi

start_xvfb "$out_dir"
start_wm "$out_dir"

# prepare NAME: a scene of its own, whose config, home and output folders belong to the user who runs the program.
prepare() {
    local scene=$out_dir/$1
    mkdir -p "$scene/config" "$scene/home" "$scene/in" "$scene/out"
    printf '[Ostrand]\nOutput%%20Folder=%s/\n' "$scene/out" >"$scene/config/Kelvadine.conf"
    echo "$scene"
}

# run SCENE: starts the program on SCENE/in, clicks "Start Converting" and leaves the window in `window`.
run() {
    local scene=$1
    [ "${#as_user[@]}" -gt 0 ] && chown -R nobody "$scene/config" "$scene/home" "$scene/out"
    env -u QT_QPA_PLATFORM -u WAYLAND_DISPLAY DISPLAY="$display" XDG_CONFIG_HOME="$scene/config" \
        HOME="$scene/home" XDG_RUNTIME_DIR= "${as_user[@]}" "$bin_dir/ostrand" "$scene/in" >"$scene/ostrand.log" 2>&1 &
    app_pid=$!
    window=$(find_window '^Ostrand$' "$app_pid") || fail "no window titled Ostrand: $(cat "$scene/ostrand.log")"
    DISPLAY="$display" xdotool windowactivate --sync "$window" >/dev/null 2>&1
    sleep 0.5
    # "Start Converting" spans the window's width at 485 to 512 pixels from its top.
    DISPLAY="$display" xdotool mousemove --window "$window" 268 498 click 1
}



# close_box BOX: presses OK and waits until the box is gone.
close_box() {
    DISPLAY="$display" xdotool windowactivate --sync "$1" >/dev/null 2>&1
    DISPLAY="$display" xdotool key Return
    gone "$1"
}

# boxes_until_done: closes box after box until "Done."; each box's title and copied text go to SCENE/boxes.
boxes_until_done() {
    local scene=$1 box title
    : >"$scene/boxes"
    for _ in $(seq 20); do
        box=$(next_box) || fail "no further box, and no \"Done.\": $(cat "$scene/ostrand.log")"
        title=$(DISPLAY="$display" xdotool getwindowname "$box")
        { echo "== $title"; copy_text "$box"; echo; } >>"$scene/boxes"
        close_box "$box"
        grep -q '^Done\.$' "$scene/boxes" && return 0
    done
    fail "more than 20 boxes: $(cat "$scene/boxes")"
}


# One repeated name and one unreadable file: the counts are in proper English.
scene=$(prepare counts)
for d in d1 d2; do mkdir -p "$scene/in/$d" && printf '1,2\n' >"$scene/in/$d/a.csv"; done
printf '1,2\n' >"$scene/in/locked.csv"
chmod 000 "$scene/in/locked.csv"
run "$scene"
box=$(next_box) || fail "no report for the unreadable file: $(cat "$scene/ostrand.log")"

# The report box is a dialog: no minimise or maximise asked for, and a minimise hides nothing.
type=$(DISPLAY="$display" xprop -id "$box" _NET_WM_WINDOW_TYPE)
echo "$type" | grep -q '_NET_WM_WINDOW_TYPE_DIALOG' || fail "the report box is no dialog: $type"
# _MOTIF_WM_HINTS: flags, functions, decorations; minimise and maximise are 8 and 16 among the functions, 32 and 64
# among the decorations.
read -r functions decorations < <(DISPLAY="$display" xprop -id "$box" _MOTIF_WM_HINTS |
    sed -n 's/.*= *[^,]*, *\([^,]*\), *\([^,]*\),.*/\1 \2/p')
[ -n "$functions" ] || fail "the report box has no window manager hints"
[ $((functions & 24)) -eq 0 ] || fail "the report box asks for minimise or maximise (functions $functions)"
[ $((decorations & 96)) -eq 0 ] || fail "the report box shows minimise or maximise (decorations $decorations)"
DISPLAY="$display" xdotool windowminimize "$box"
sleep 1
DISPLAY="$display" xwininfo -id "$window" | grep -q IsViewable || fail "minimising the report box hid the main window"
DISPLAY="$display" xwininfo -id "$box" | grep -q IsViewable || fail "the minimised report box stayed out of sight"

# Ctrl+C copies the whole box when nothing is selected.
copied=$(copy_text "$box")
echo "$copied" | grep -q '^Cannot read .*locked.csv: Permission denied$' || fail "Ctrl+C copied \"$copied\""
echo "$copied" | grep -q '^Please email screenshot of this message to ' || fail "Ctrl+C copied \"$copied\""

# Its text can be selected: a double-click on its first word selects that word, and Ctrl+C copies the selection.
DISPLAY="$display" xdotool windowactivate --sync "$box" >/dev/null 2>&1
read -r box_x box_y < <(DISPLAY="$display" xwininfo -id "$box" |
    sed -n 's/.*Absolute upper-left X: *//p; s/.*Absolute upper-left Y: *//p' | tr '\n' ' ')
selected=
for x in 70 80 90 100; do
    DISPLAY="$display" xdotool mousemove $((box_x + x)) $((box_y + 20)) click --repeat 2 --delay 80 1
    sleep 0.3
    selected=$(copy_text "$box")
    [ "$selected" = "Cannot" ] && break
done
[ "$selected" = "Cannot" ] || fail "a double-click on the report's first word selected \"$selected\", not \"Cannot\""
boxes_until_done "$scene"
finish
grep -q '(s)' "$scene/boxes" && fail "a count with \"(s)\": $(cat "$scene/boxes")"
grep -q '^1 file was not converted because an earlier file of the list wrote the same document' "$scene/boxes" ||
    fail "no \"1 file was not converted\": $(cat "$scene/boxes")"
grep -q "^$scene/in/d2/a.csv (the document of $scene/in/d1/a.csv is kept)" "$scene/boxes" ||
    fail "the refusal does not name the entry whose document was kept: $(cat "$scene/boxes")"

# 2,000 unreadable files and 200 repeats of one name: three boxes, one summary, "Done.".
scene=$(prepare many)
for i in $(seq -w 0 1999); do printf '1\n' >"$scene/in/u$i.csv"; done
chmod 000 "$scene"/in/u*.csv
for i in $(seq -w 0 199); do mkdir "$scene/in/r$i" && printf '1\n' >"$scene/in/r$i/a.csv"; done
run "$scene"
boxes_until_done "$scene"
finish
titles=$(grep '^== ' "$scene/boxes" | sed 's/^== //' | tr '\n' '|')
[ "$titles" = "Application Error|Application Error|Application Error|Application Error|Ostrand Table Converter|" ] ||
    fail "the boxes were $titles: $(cat "$scene/boxes")"
grep -q '^These failures were not shown one by one:$' "$scene/boxes" || fail "no summary: $(cat "$scene/boxes")"
grep -q '^The same failure happened for 1996 more files:$' "$scene/boxes" ||
    fail "the summary does not count the unreadable files: $(cat "$scene/boxes")"
grep -q '^199 files were not converted because' "$scene/boxes" ||
    fail "the summary does not count the repeats: $(cat "$scene/boxes")"
[ -f "$scene/out/a.htm" ] || fail "the first a.csv was not converted"

echo "report boxes: counts, three boxes and one summary, a dialog that hides nothing, selectable text"
exit 0
