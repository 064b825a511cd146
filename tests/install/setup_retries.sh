#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# scripts/setup.sh against an apt that fails, with stand-ins for apt's commands first on PATH: an update that fails
# once, or every time (a mirror in the middle of a sync), still installs every package the layer wants, with one
# warning when it never succeeds; an install that fails stops the setup with apt's own words. Usage:
# setup_retries.sh <source dir>.
set -u
src=$1
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failures=0
fail() {
    echo "FAIL: $*" >&2
    failures=$((failures + 1))
}

mkdir "$work/bin"
# apt-get: its update fails the first $FAILED_UPDATES times; its install records what it was asked for, or fails.
cat >"$work/bin/apt-get" <<'STANDIN'
#!/usr/bin/env bash
for argument in "$@"; do
    case "$argument" in
    update)
        count=$(($(cat "$STANDINS/updates" 2>/dev/null || echo 0) + 1))
        echo "$count" >"$STANDINS/updates"
        if [ "$count" -le "$FAILED_UPDATES" ]; then
            echo "E: Failed to fetch http://deb.example/Packages.xz  File has unexpected size. Mirror sync in progress?" >&2
            exit 100
        fi
        exit 0
        ;;
    install)
        if [ -n "$INSTALL_FAILS" ]; then
            echo "E: Unable to locate package help2man" >&2
            exit 100
        fi
        echo "$*" >>"$STANDINS/installed"
        exit 0
        ;;
    esac
done
STANDIN
# Nothing is installed yet, every package is offered, the waits between tries take no time, root needs no sudo.
printf '#!/bin/sh\nexit 1\n' >"$work/bin/dpkg-query"
printf '#!/bin/sh\necho "  Candidate: 1.0"\n' >"$work/bin/apt-cache"
printf '#!/bin/sh\nexit 0\n' >"$work/bin/sleep"
printf '#!/bin/sh\nexec "$@"\n' >"$work/bin/sudo"
chmod +x "$work/bin/"*

# setup.sh's run layer with the given number of failed updates; $status, $err and $installed tell how it went.
setup() {
    rm -f "$work/updates" "$work/installed"
    err=$(PATH="$work/bin:$PATH" STANDINS=$work FAILED_UPDATES=$1 INSTALL_FAILS=${2:-} \
        bash "$src/scripts/setup.sh" run 2>&1 >/dev/null)
    status=$?
    installed=$(cat "$work/installed" 2>/dev/null)
    updates=$(cat "$work/updates" 2>/dev/null)
}
wanted='g++ cmake ninja-build qt6-base-dev help2man fonts-liberation'

setup 1
[ "$status" = 0 ] || fail "an update failing once: status $status ($err)"
[ "$updates" = 2 ] || fail "an update failing once: $updates updates, not 2"
case "$installed" in *"$wanted"*) ;; *) fail "an update failing once: installed '$installed'" ;; esac
case "$err" in *warning*) fail "an update failing once: a warning ($err)" ;; esac

setup 99
[ "$status" = 0 ] || fail "an update that always fails: status $status ($err)"
[ "$updates" = 3 ] || fail "an update that always fails: $updates updates, not 3"
case "$installed" in *"$wanted"*) ;; *) fail "an update that always fails: installed '$installed'" ;; esac
[ "$(grep -c '^setup.sh: warning: apt-get update failed 3 times' <<<"$err")" = 1 ] ||
    fail "an update that always fails: not one warning ($err)"

setup 0 fails
[ "$status" != 0 ] || fail "a failed install: status 0"
case "$err" in *"E: Unable to locate package help2man"*) ;; *) fail "a failed install: apt's words missing ($err)" ;; esac

[ "$failures" = 0 ] && echo "setup.sh goes on past a failed update and stops at a failed install"
exit $((failures > 0))
