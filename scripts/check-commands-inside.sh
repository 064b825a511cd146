#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Runs inside a fresh Debian root of check-package.sh, in a copy of the repository's tracked files at /tmp/ostrand,
# the README's commands as a newcomer would: the run command without a display (it installs only the run layer,
# builds the two programs and their companion files, and ends with the window's one line about the missing
# display), then the package command. Prints how long each took.
set -euo pipefail
# A newcomer's shell: nothing of the caller's environment (a compiler launcher, a display) reaches the commands.
if [ -z "${OSTRAND_CLEAN_START:-}" ]; then
    exec env -i OSTRAND_CLEAN_START=1 HOME=/root PATH=/usr/local/sbin:/usr/local/bin:/usr/sbin:/usr/bin:/sbin:/bin \
        LANG=C.UTF-8 bash "$0" "$@"
fi
export DEBIAN_FRONTEND=noninteractive LC_ALL=C.UTF-8
cd /tmp/ostrand

fail() {
    echo "FAIL: $*" >&2
    exit 1
}

installed_packages() {
    dpkg-query -W -f='${db:Status-Abbrev} ${Package}\n' | awk '$1 == "ii" {print $2}' | sort
}

# The packages asked for by name (apt marks their dependencies as automatic).
asked_for() {
    apt-mark showmanual | sort
}

echo "== bash scripts/run.sh, without a display"
installed_packages >/tmp/before-run.txt
asked_for >/tmp/asked-before-run.txt
start=$(date +%s)
status=0
TIMEFORMAT='%U %S'
# The processor time of the whole command too: the wall time depends on what else the machine does.
{ time env -u DISPLAY -u WAYLAND_DISPLAY bash scripts/run.sh >/tmp/run.log 2>&1; } 2>/tmp/run-cpu.txt || status=$?
seconds=$(($(date +%s) - start))
last=$(tail -n 1 /tmp/run.log)
expected='ostrand: cannot open a window: no connection to a display (DISPLAY and WAYLAND_DISPLAY are not set); ostrand-convert converts without one'
[ "$status" -eq 1 ] && [ "$last" = "$expected" ] ||
    fail "run.sh ended with status $status and: $(tail -n 30 /tmp/run.log)"
installed_packages >/tmp/after-run.txt
added=$(comm -13 /tmp/before-run.txt /tmp/after-run.txt | wc -l)
targets=$(grep -oE '^\[[0-9]+/[0-9]+\]' /tmp/run.log | tail -n 1 | sed 's|.*/||; s|\]||')
# The build's own time, from ninja's log (milliseconds from its start to each target's end).
build_ms=$(awk -F'\t' 'NR > 1 && $2 > max {max = $2} END {print max + 0}' build-release/.ninja_log)
cpu_seconds=$(awk '{printf "%d", $1 + $2}' /tmp/run-cpu.txt)
echo "   $added packages installed, $targets targets built in $((build_ms / 1000)) s; $seconds s in all," \
    "$cpu_seconds s of processor time; load average now $(cut -d' ' -f1-3 /proc/loadavg)"
echo "   the last line: $last"
[ -x build-release/bin/ostrand-convert ] || fail "no build-release/bin/ostrand-convert"
printf 'a,b\r\n' | build-release/bin/ostrand-convert - | grep -q '<td>a</td><td>b</td>' || fail "the built converter did not convert"

# It asked apt for the run layer's packages and nothing else (their dependencies come as apt decides), and
# nothing of the test, browser, packaging or clang layers came with them.
asked=$(asked_for | comm -13 /tmp/asked-before-run.txt - | tr '\n' ' ')
wanted=$(bash scripts/setup.sh --list run | sort | tr '\n' ' ')
[ "$asked" = "$wanted" ] || fail "the run command asked for: $asked (the run layer: $wanted)"
for name in chromium lintian clang; do
    ! grep -q "^$name" /tmp/after-run.txt || fail "the run command installed $(grep "^$name" /tmp/after-run.txt | tr '\n' ' ')"
done

echo "== bash scripts/package.sh"
start=$(date +%s)
bash scripts/package.sh >/tmp/package.log 2>&1 || fail "package.sh failed: $(tail -n 30 /tmp/package.log)"
seconds=$(($(date +%s) - start))
deb=$(tail -n 1 /tmp/package.log)
[ -f "$deb" ] || fail "package.sh did not name a package last: $(tail -n 5 /tmp/package.log)"
# The compiler has nothing to say about the code.
! grep -n 'warning:' build-package/dpkg-buildpackage.log || fail "the package build warns"
dpkg-deb -f "$deb" Package Version Architecture | tr '\n' ' '
echo
echo "   $(basename "$deb") in $seconds s (its packages installed too)"
