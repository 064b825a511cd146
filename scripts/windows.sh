#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Builds Ostrand for Windows x64 on Debian, with MinGW-w64 and a Qt built from Debian's own qtbase source
# (scripts/windows-qt.sh builds it once per machine into /var/cache/ostrand and reuses it):
#   bash scripts/windows.sh             both programs and the tests, into build-windows/
#   bash scripts/windows.sh --test      the same, then the core and converter tests under Wine, and the samples
#                                       converted by the Windows converter compared byte for byte with the Linux
#                                       converter's documents
#   bash scripts/windows.sh --package   the same as the first, then the installer and a zip of the same files:
#                                       build-windows/Ostrand-<version>-win64.exe and .zip, the installer
#                                       checked under Wine (silent install, the programs run, silent uninstall)
# Installs the Debian packages it needs (as root).
set -euo pipefail
cd "$(dirname "$0")/.."
mode="${1:-}"
case "$mode" in
    "" | --test | --package) ;;
    *)
        echo "usage: bash scripts/windows.sh [--test|--package]" >&2
        exit 2
        ;;
esac

qt_prefix="$(bash scripts/windows-qt.sh)"
dir=build-windows
# Wine keeps its Windows (registry, user folders) inside the build folder: nothing of the user's own is touched.
export WINEPREFIX="$PWD/$dir/wine"
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml="
mkdir -p "$dir"
if [ ! -d "$WINEPREFIX" ]; then
    wineboot -i >/dev/null 2>&1 || true
fi

werror=OFF
if [ -n "${CI:-}" ]; then werror=ON; fi
# Qt's toolchain file leads to ours (cmake/mingw-w64-x86_64.cmake, kept with the Qt it built) and finds the
# cross Qt and the host's Qt tools.
cmake -S . -B "$dir" -G Ninja -DCMAKE_BUILD_TYPE=Release \
    -DCMAKE_TOOLCHAIN_FILE="$qt_prefix/lib/cmake/Qt6/qt.toolchain.cmake" \
    -DOSTRAND_WERROR="$werror" -DOSTRAND_BUILD_BENCH=OFF >/dev/null
cmake --build "$dir" -j"$(nproc)"

wine=(wine64)
case "$mode" in
    --test)
        # The core and converter tests; the window's tests and those that need Linux alone (the fault library
        # preloaded into the programs, the end-to-end scripts) are not built for Windows.
        (cd "$dir" && ctest -L 'core|cli' --output-on-failure -j1)
        # The Windows converter writes the same documents as the Linux one.
        if [ ! -x build/bin/ostrand-convert ]; then
            bash scripts/build.sh --target ostrand-convert
        fi
        out="$dir/compare"
        rm -rf "$out"
        mkdir -p "$out/linux" "$out/windows"
        # Every option given, so that neither program's saved settings count.
        options=(--comma --border=1 --text-color=#000000 --background-color=#FFFFFF)
        build/bin/ostrand-convert "${options[@]}" --output-dir="$out/linux" resources/beside/Samples >/dev/null
        "${wine[@]}" "$dir/bin/ostrand-convert.exe" "${options[@]}" --output-dir="$(winepath -w "$out/windows")" \
            "$(winepath -w resources/beside/Samples)" >/dev/null
        diff -r "$out/linux" "$out/windows"
        echo "windows: the Windows converter's documents are byte for byte the Linux converter's ($(ls "$out/linux" | wc -l) documents)"
        ;;
    --package)
        (cd "$dir" && cpack -G "NSIS;ZIP" >/dev/null)
        version="$(sed -n 's/^project(Ostrand VERSION \([0-9.]*\).*/\1/p' CMakeLists.txt)"
        installer="$dir/Ostrand-$version-win64.exe"
        test -f "$installer" && test -f "$dir/Ostrand-$version-win64.zip"
        # Silent install into a folder of Wine's drive C, the programs run from it, silent uninstall removes them.
        target='C:\Ostrand-check'
        "${wine[@]}" "$installer" /S "/D=$target"
        installed="$(winepath -u "$target")"
        test -f "$installed/ostrand.exe" && test -f "$installed/ostrand-convert.exe"
        "${wine[@]}" "$installed/ostrand-convert.exe" --version
        "${wine[@]}" "$installed/Uninstall.exe" /S
        for _ in $(seq 30); do
            [ -e "$installed/ostrand.exe" ] || break
            sleep 1
        done
        test ! -e "$installed/ostrand.exe"
        echo "windows: $installer installs and uninstalls silently under Wine"
        ;;
esac
