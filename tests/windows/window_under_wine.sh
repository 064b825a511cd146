#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# The Windows window under Wine on an X server of its own: it starts with an output folder chosen in the
# registry, loads the samples ("Load Sample/Example Files"), converts them ("Start Converting"), says "Done.", and
# writes the same documents as the Linux converter does for the samples. A screenshot of the window with its
# "Done." box is left in <build dir>/window-wine/screen.png.
# Usage: window_under_wine.sh <Windows build dir>. Exits 0 when all is well, 1 otherwise. WINEPREFIX as set by
# scripts/windows.sh.
set -u

build=$(cd "$1" && pwd)
source_dir=$(cd "$(dirname "$0")/../.." && pwd)
out=$build/window-wine
rm -rf "$out"
mkdir -p "$out/documents" "$out/linux"

. "$source_dir/tests/e2e/support/xserver.sh"

# Wine's desktop belongs to the X server of the first program of a Wine session: a session of its own, on this
# test's server.
wineserver -k 2>/dev/null
start_xvfb "$out"
start_wm "$out"
export DISPLAY="$display"
trap 'cleanup; wineserver -k 2>/dev/null' EXIT

# The window's choices live in the registry of Wine's Windows: only the output folder is set, the rest are the
# defaults the window starts with (comma, border 1, black on white). Wine has no Arial, the window's font: the
# metric-compatible Liberation Sans stands in for it.
key='HKCU\Software\Kelvadine\OrganizationDefaults'
wine reg delete "$key" /f >/dev/null 2>&1
wine reg add "$key\\Ostrand" /v 'Output Folder' /t REG_SZ /d "$(winepath -w "$out/documents")\\" /f >/dev/null 2>&1 ||
    fail "the output folder could not be set in the registry"
wine reg add 'HKCU\Software\Wine\Fonts\Replacements' /v Arial /t REG_SZ /d 'Liberation Sans' /f >/dev/null 2>&1

wine "$build/bin/ostrand.exe" >"$out/ostrand.log" 2>&1 &
app_pid=$!
# Wine takes a while to start a program the first time: the window may take longer than a Linux one.
window=
for _ in $(seq 6); do
    window=$(find_window '^Ostrand$' "$app_pid") && break
done
[ -n "$window" ] || fail "no window titled Ostrand under Wine: $(cat "$out/ostrand.log")"
sleep 1

click() {
    xdotool windowactivate --sync "$window" >/dev/null 2>&1
    xdotool mousemove --window "$window" "$1" "$2" click 1
}
# next_box: the message box on screen (the window's title for its messages), waited for 10 s at most.
next_box() {
    local box
    for _ in $(seq 100); do
        box=$(xdotool search --onlyvisible --name '^Ostrand Table Converter$' 2>/dev/null | head -n 1)
        [ -n "$box" ] && echo "$box" && return 0
        sleep 0.1
    done
    return 1
}
# answer BOX KEY: presses KEY on the box and waits until it has gone.
answer() {
    xdotool windowactivate --sync "$1" key "$2" >/dev/null 2>&1
    for _ in $(seq 100); do
        xdotool search --onlyvisible --name '^Ostrand Table Converter$' 2>/dev/null | grep -qx "$1" || return 0
        sleep 0.1
    done
    fail "the box $1 did not close"
}

# "Load Sample/Example Files" (its place on the window, in pixels) adds the six samples and offers to open their
# folder: No. Then "Start Converting".
click 400 230
box=$(next_box) || fail "loading the samples asked nothing"
answer "$box" Escape
click 268 498

# Six documents, then the "Done." box.
for _ in $(seq 300); do
    [ "$(find "$out/documents" -name '*.htm' | wc -l)" -ge 6 ] && break
    kill -0 "$app_pid" 2>/dev/null || fail "the window ended: $(cat "$out/ostrand.log")"
    sleep 0.1
done
count=$(find "$out/documents" -name '*.htm' | wc -l)
[ "$count" -eq 6 ] || fail "the window wrote $count documents, not 6: $(ls "$out/documents")"
box=$(next_box) || fail "no \"Done.\" box after the run"
sleep 1
import -window root "$out/screen.png" || fail "the screenshot failed"

# The same documents as the Linux converter's for the same samples and choices.
converter=$source_dir/build/bin/ostrand-convert
[ -x "$converter" ] || fail "no Linux converter at $converter to compare with"
"$converter" --quiet --output-dir="$out/linux" "$source_dir/resources/beside/Samples" >/dev/null ||
    fail "the Linux converter failed"
diff -r "$out/linux" "$out/documents" >/dev/null || fail "the window's documents differ from the Linux converter's"

answer "$box" Return
for _ in $(seq 50); do
    kill -0 "$app_pid" 2>/dev/null || break
    python3 "$source_dir/tests/e2e/support/close_window.py" "$window" 2>/dev/null
    sleep 0.2
done
kill -0 "$app_pid" 2>/dev/null && fail "the window did not close"
wait "$app_pid" 2>/dev/null
app_pid=
echo "windows: the window under Wine converted the six samples to the Linux converter's documents;" \
     "screenshot $out/screen.png"
exit 0
