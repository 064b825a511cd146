#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Installs the Debian packages a task needs, in layers, so that each command installs only what it uses:
#   bash scripts/setup.sh [LAYER...]     (no LAYER: run)
#   run            building and running the two programs (scripts/run.sh)
#   test           run, plus what the test suite uses: an X server and its tools, the validators, a browser
#   package        run, plus what scripts/package.sh uses to build the Debian package
#   check-package  package, plus lintian, hardening-check and mmdebstrap (scripts/check-package.sh)
#   sanitize       run, plus clang and its sanitizer and libFuzzer runtimes (scripts/fuzz.sh; with test,
#                  scripts/test.sh --sanitize and --clang)
#   bench          test without the browser, plus what the benchmark uses (bench/run.sh)
#   windows        test without the browser, plus the MinGW-w64 cross compilers, Wine and NSIS
#                  (scripts/windows.sh, scripts/windows-qt.sh)
#   bash scripts/setup.sh --list LAYER...   (the packages a layer adds, see below)
#   bash scripts/setup.sh --update          (only apt-get update, tried again on a failed index, see below)
# Idempotent: when every package is present it only checks and returns. An entry "a|b" is the first of those
# packages this system offers (one that is installed already satisfies it), so one list serves Debian 12 and 13.
set -euo pipefail

# One list per layer; a layer's packages come on top of the layers it builds on (see `expand` below).
run=(
    g++ cmake ninja-build
    qt6-base-dev                    # Qt 6: Core, Gui, Widgets (and Test, which its CMake files look for)
    help2man                        # the man pages, made from each program's --help
    fonts-liberation                # Arial's metrics, which the window's fixed layout is made for
)
test=(
    xvfb xauth xdotool x11-utils    # the real window on an X server, driven like a user would
    imagemagick python3             # screenshots and their sizes; the e2e helpers
    qt6-qpa-plugins qt6-translations-l10n
    desktop-file-utils appstream    # the validators of the menu entry and the metainfo
    acl attr                        # setfacl, getfattr: documents that keep their access rules
    openbox xclip                   # a window manager and the clipboard, for the report boxes' end-to-end test
    python3-pyatspi at-spi2-core dbus-daemon   # the window as a screen reader sees it, over AT-SPI
)
browser=(
    chromium                        # the documents read back in a real browser
)
package=(
    build-essential                 # what dpkg-buildpackage requires of every build
    dpkg-dev debhelper file         # dpkg-buildpackage with debhelper's CMake build
)
check_package=(
    lintian devscripts              # lintian; hardening-check
    mmdebstrap                      # the clean Debian 12 and 13 roots
)
sanitize=(
    # Debian 12 and 13 both have the unversioned names (clang 14 on 12, 19 on 13); a versioned clang that is
    # installed already (clang-14 on a Debian 12 machine set up before) satisfies them.
    'clang|clang-19|clang-14'
    'libclang-rt-dev|libclang-rt-19-dev|libclang-rt-14-dev'   # the sanitizer runtimes and libFuzzer
)
bench=(
    time                            # /usr/bin/time, the peak memory of each run
)
windows=(
    g++-mingw-w64-x86-64-posix binutils-mingw-w64-x86-64 mingw-w64-tools   # the POSIX-threads cross compilers
    wine wine64                     # the Windows programs, their tests and the 64-bit installer run under Wine
    nsis                            # makensis, which CPack's installer generator drives
    dpkg-dev                        # apt-get source for Debian's qtbase
)

# The lists a layer adds, and the layer it builds on.
adds() {
    case "$1" in
    run) echo run ;;
    test) echo test browser ;;
    package) echo package ;;
    check-package) echo check_package ;;
    sanitize) echo sanitize ;;
    bench) echo test bench ;;
    windows) echo test windows ;;
    *)
        echo "setup.sh: unknown layer '$1' (run, test, package, check-package, sanitize, bench, windows)" >&2
        exit 2
        ;;
    esac
}
builds_on() {
    case "$1" in
    test | package | sanitize | bench | windows) echo run ;;
    check-package) echo package ;;
    esac
}
# Every list a layer stands for.
expand() {
    local base
    base=$(builds_on "$1")
    [ -z "$base" ] || expand "$base"
    adds "$1"
}

for layer in "$@"; do
    [ "$layer" = --list ] || [ "$layer" = --update ] || adds "$layer" >/dev/null
done

# `setup.sh --list LAYER...` prints the packages the layers add themselves (every alternative), one a line, and
# installs nothing: what a check can look for to tell that a layer was left out.
if [ "${1:-}" = --list ]; then
    shift
    for layer in "$@"; do
        for list in $(adds "$layer"); do
            declare -n entries=$list
            printf '%s\n' "${entries[@]}" | tr '|' '\n'
            unset -n entries
        done
    done
    exit 0
fi

# Brings apt's package lists up to date. One index that fails to download (a mirror in the middle of a sync) makes
# apt-get update fail though every package wanted may still be installable: the update is tried a few times, then
# the setup goes on with the lists there are and a one-line warning; only a failed install stops it, in apt's own
# words.
update_lists() {
    local attempt
    for attempt in 1 2 3; do
        if "${sudo[@]}" apt-get update -q; then
            return 0
        fi
        [ "$attempt" = 3 ] || sleep $((attempt * 5))
    done
    echo "setup.sh: warning: apt-get update failed 3 times; going on with the package lists this machine has" >&2
}

sudo=()
if [ "$(id -u)" -ne 0 ]; then
    sudo=(sudo)
fi
export DEBIAN_FRONTEND=noninteractive

# `setup.sh --update` only brings the package lists up to date, as the install below does (for scripts that add an
# apt source of their own).
if [ "${1:-}" = --update ]; then
    update_lists
    exit 0
fi

[ $# -gt 0 ] || set -- run
wanted=()
for layer in "$@"; do
    for list in $(expand "$layer"); do
        declare -n entries=$list
        wanted+=("${entries[@]}")
        unset -n entries
    done
done

installed() {
    dpkg-query -W -f='${Status}' "$1" 2>/dev/null | grep -q 'install ok installed'
}
# Whether apt can install a package here: it has a candidate version.
offered() {
    local candidate
    candidate=$(apt-cache policy "$1" 2>/dev/null | sed -n 's/^ *Candidate: *//p')
    [ -n "$candidate" ] && [ "$candidate" != "(none)" ]
}

missing=()
declare -A seen=()
for entry in "${wanted[@]}"; do
    [ -z "${seen[$entry]:-}" ] || continue
    seen[$entry]=1
    IFS='|' read -r -a choices <<<"$entry"
    satisfied=
    for p in "${choices[@]}"; do
        if installed "$p"; then
            satisfied=1
            break
        fi
    done
    [ -n "$satisfied" ] || missing+=("$entry")
done

if [ ${#missing[@]} -eq 0 ]; then
    exit 0
fi

# A package of another architecture (name:arch) needs that architecture known to dpkg before apt's update.
for entry in "${missing[@]}"; do
    if [[ "$entry" == *:* ]] && ! { dpkg --print-architecture; dpkg --print-foreign-architectures; } | grep -qx "${entry#*:}"; then
        "${sudo[@]}" dpkg --add-architecture "${entry#*:}"
    fi
done
update_lists
# Each alternative becomes the first name this system's archive offers (known only after the update).
install=()
for entry in "${missing[@]}"; do
    IFS='|' read -r -a choices <<<"$entry"
    chosen=
    for p in "${choices[@]}"; do
        if offered "$p"; then
            chosen=$p
            break
        fi
    done
    if [ -z "$chosen" ]; then
        echo "setup.sh: this system's apt sources offer none of: ${choices[*]}" >&2
        exit 1
    fi
    install+=("$chosen")
done
echo "Installing: ${install[*]}"
"${sudo[@]}" apt-get install -y -q --no-install-recommends "${install[@]}"
