#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Runs inside the fresh Debian root of check-package.sh: installs /tmp/ostrand.deb with apt (its declared
# dependencies only, no recommended packages), checks what it placed, uses the converter, then the window
# under Xvfb as an ordinary user, and finally purges the package and checks that nothing of it is left.
set -euo pipefail
export DEBIAN_FRONTEND=noninteractive LC_ALL=C.UTF-8

fail() {
    echo "FAIL: $*" >&2
    exit 1
}

step() {
    echo "== $*"
}

apt_install() {
    local log=$1
    shift
    apt-get install -y -q --no-install-recommends "$@" >"$log" 2>&1 || fail "apt could not install $*: $(tail -n 20 "$log")"
}

step "install the package with apt"
apt_install /tmp/apt-install.log /tmp/ostrand.deb
echo "   apt added $(grep -c '^Setting up ' /tmp/apt-install.log) packages"
dpkg -L ostrand >/tmp/ostrand.files
# The application id names the menu entry, the icon and the AppStream data alike.
id=$(sed -n 's|^/usr/share/applications/\(.*\)\.desktop$|\1|p' /tmp/ostrand.files)
[ "$(wc -w <<<"$id")" -eq 1 ] || fail "the package holds not one menu entry: $id"
echo "   application id $id"
for path in /usr/bin/ostrand /usr/bin/ostrand-convert /usr/share/ostrand/HAND-M.CUR /usr/share/ostrand/drag.ico \
    /usr/share/ostrand/Samples/'Comma - prices.csv' "/usr/share/applications/$id.desktop" \
    "/usr/share/metainfo/$id.metainfo.xml" "/usr/share/icons/hicolor/scalable/apps/$id.svg" \
    "/usr/share/icons/hicolor/16x16/apps/$id.png" "/usr/share/icons/hicolor/256x256/apps/$id.png" \
    /usr/share/man/man1/ostrand.1.gz /usr/share/man/man1/ostrand-convert.1.gz /usr/share/doc/ostrand/copyright \
    /usr/share/doc/ostrand/changelog.gz; do
    [ -f "$path" ] || fail "the package did not install $path"
done
grep -qF "<id>$id</id>" "/usr/share/metainfo/$id.metainfo.xml" || fail "the metainfo's id is not $id"
in_bin=$(grep '^/usr/bin/.' /tmp/ostrand.files | sort | tr '\n' ' ')
[ "$in_bin" = "/usr/bin/ostrand /usr/bin/ostrand-convert " ] || fail "the package puts into /usr/bin: $in_bin"

# Every shared library of the programs and the X11 platform plugin with its libraries come from the declared
# dependencies, and so does the Arial-metric font the window's layout is made for.
plugin=$(find /usr/lib -path '*/qt6/plugins/platforms/libqxcb.so' | head -n 1)
[ -n "$plugin" ] || fail "no X11 platform plugin for Qt was installed"
missing=$(ldd /usr/bin/ostrand /usr/bin/ostrand-convert "$plugin" | grep 'not found' || true)
[ -z "$missing" ] || fail "libraries not found: $missing"
ls /usr/share/fonts/truetype/liberation*/LiberationSans-Regular.ttf >/dev/null 2>&1 || fail "no Liberation Sans font"

# The document of the two lines "a,b" and "c,d" with the default options.
expected() {
    printf '%s\r\n' "<html><title></title><body><table width='100%' style='color:#000000' border='1' bgcolor='#FFFFFF'><tbody>" \
        '<tr>' '<td>a</td><td>b</td></tr>' '<tr>' '<td>c</td><td>d</td></tr>' '</body></html>'
}
expected >/tmp/expected.htm

step "the converter"
version=$(ostrand-convert --version)
case "$version" in "ostrand-convert "*) ;; *) fail "ostrand-convert --version said: $version" ;; esac
echo "   $version"
mkdir -p /tmp/convert/out
printf 'a,b\r\nc,d\r\n' >/tmp/convert/one.csv
ostrand-convert --output-dir /tmp/convert/out /tmp/convert/one.csv >/tmp/convert/stdout
cmp /tmp/convert/out/one.htm /tmp/expected.htm || fail "the converter's document differs"
[ "$(cat /tmp/convert/stdout)" = "/tmp/convert/out/one.htm" ] || fail "the converter said: $(cat /tmp/convert/stdout)"
zcat /usr/share/man/man1/ostrand-convert.1.gz | grep -q -- 'output\\-dir' || fail "the man page does not name --output-dir"

step "the window, as an ordinary user under Xvfb"
# Tools of the check only, installed after the package's own checks so they cannot stand in for its
# dependencies (except fontconfig, asked below which font answers for Arial).
apt_install /tmp/apt-tools.log xvfb xdotool fontconfig
font=$(fc-match -f '%{family[0]}' Arial)
[ "$font" = "Liberation Sans" ] || fail "Arial is drawn with $font, not Liberation Sans"

user_home=/home/tester
echo "tester:x:1000:1000:Tester:$user_home:/bin/sh" >>/etc/passwd
echo "tester:x:1000:" >>/etc/group
mkdir -p "$user_home/.config" "$user_home/docs"
printf 'a,b\r\nc,d\r\n' >"$user_home/docs/two.csv"
# Documents go beside their sources: the file's folder, and the user's copy of the read-only samples.
printf '[Ostrand]\nOption6=False\nOption7=True\n' >"$user_home/.config/Kelvadine.conf"
chown -R 1000:1000 "$user_home"
as_tester() {
    setpriv --reuid=1000 --regid=1000 --clear-groups env -i HOME="$user_home" PATH=/usr/bin:/bin LANG=C.UTF-8 "$@"
}

Xvfb -displayfd 3 -noreset -screen 0 1024x768x24 -nolisten tcp 3>/tmp/display >/tmp/xvfb.log 2>&1 &
xvfb=$!
app=
cleanup() {
    [ -n "$app" ] && kill "$app" 2>/dev/null
    kill "$xvfb" 2>/dev/null
    wait 2>/dev/null || true
}
trap cleanup EXIT
for _ in $(seq 100); do
    [ -s /tmp/display ] && break
    sleep 0.1
done
[ -s /tmp/display ] || fail "Xvfb did not start: $(cat /tmp/xvfb.log)"
export DISPLAY=":$(tr -d '[:space:]' </tmp/display)"

as_tester DISPLAY="$DISPLAY" ostrand "$user_home/docs/two.csv" >/tmp/ostrand.log 2>&1 &
app=$!

window=
for _ in $(seq 100); do
    # Matching is case-insensitive: only the mapped window, not Qt's hidden "ostrand" helper window.
    window=$(xdotool search --onlyvisible --name '^Ostrand$' 2>/dev/null | head -n 1) && [ -n "$window" ] && break
    kill -0 "$app" 2>/dev/null || fail "ostrand ended early: $(cat /tmp/ostrand.log)"
    sleep 0.1
done
[ -n "$window" ] || fail "no window titled Ostrand"
for _ in $(seq 50); do
    [ "$(xdotool getwindowgeometry "$window" | sed -n 's/.*Geometry: //p')" = 536x554 ] && break
    sleep 0.1
done
sleep 1

# Clicks a button of the window at a point of it, in the window's own pixels (its layout is fixed).
press() {
    xdotool mousemove --sync --window "$window" "$1" "$2" click 1
}
# Answers the next message box (titled "Ostrand Table Converter ...") with a key typed through the XTEST
# extension, as a keyboard would; with no window manager the box takes the keyboard focus itself.
answer() {
    local box=
    for _ in $(seq 200); do
        box=$(xdotool search --onlyvisible --name '^Ostrand Table Converter' 2>/dev/null | head -n 1) && [ -n "$box" ] && break
        kill -0 "$app" 2>/dev/null || fail "ostrand ended: $(cat /tmp/ostrand.log)"
        sleep 0.1
    done
    [ -n "$box" ] || fail "no message box appeared ($2)"
    sleep 0.3
    [ "$(xdotool getwindowfocus 2>/dev/null)" = "$box" ] || xdotool windowfocus --sync "$box"
    xdotool key "$1"
    for _ in $(seq 100); do
        xdotool search --onlyvisible --name '^Ostrand Table Converter' >/dev/null 2>&1 || return 0
        sleep 0.1
    done
    fail "the message box stayed ($2)"
}

press 400 230 # Load Sample/Example Files
answer Escape "open the samples folder? No"
press 268 498 # Start Converting
answer Return "Done."

cmp "$user_home/docs/two.htm" /tmp/expected.htm || fail "the window's document of two.csv differs"
samples=$user_home/.local/share/ostrand/Samples
sources=$(find "$samples" -maxdepth 1 -name '*.csv' | wc -l)
documents=$(find "$samples" -maxdepth 1 -name '*.htm' | wc -l)
[ "$sources" -eq 6 ] && [ "$documents" -eq 6 ] || fail "user's samples: $sources copied, $documents converted"
# The window's sample documents are byte for byte the converter's, with the choices the window saved.
mkdir -p /tmp/reference
chown 1000:1000 /tmp/reference
as_tester ostrand-convert --quiet --saved-settings --extension csv --output-dir /tmp/reference "$samples" >/dev/null ||
    fail "the converter could not convert the user's samples"
for document in "$samples"/*.htm; do
    cmp "$document" "/tmp/reference/$(basename "$document")" || fail "the window's $(basename "$document") differs"
done
[ -z "$(find /usr/share/ostrand -name '*.htm')" ] || fail "documents were written into the installed samples"
grep -qx 'Option7=True' "$user_home/.config/Kelvadine.conf" || fail "the settings file lost Option7"
echo "   two.csv and $documents samples converted in the window"
cleanup
app=
trap - EXIT

step "remove the package"
apt-get purge -y -q ostrand >/tmp/apt-remove.log 2>&1 || fail "apt could not remove: $(tail -n 20 /tmp/apt-remove.log)"
dpkg -s ostrand >/dev/null 2>&1 && fail "dpkg still knows the package"
left=
while read -r path; do
    if [ -f "$path" ] || [ -L "$path" ]; then
        left="$left $path"
    fi
done </tmp/ostrand.files
[ -z "$left" ] || fail "left behind:$left"
for folder in /usr/share/ostrand /usr/share/doc/ostrand; do
    [ ! -e "$folder" ] || fail "left behind: $folder"
done
echo "installed, converted from the shell and the window, removed without a trace"
