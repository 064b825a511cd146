#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Builds Ostrand for Windows x64 on Debian, with MinGW-w64 and a Qt built from Debian's own qtbase source
# (scripts/windows-qt.sh builds it once per machine into /var/cache/ostrand and reuses it):
#   bash scripts/windows.sh             both programs and the tests, into build-windows/
#   bash scripts/windows.sh --test      the same, then the core, converter and window tests under Wine; the benchmark's
#                                       workloads (scale OSTRAND_WINDOWS_SCALE, default 0.05), the samples and
#                                       standard input converted by both converters and compared byte for byte;
#                                       and the window under Wine converting the six samples
#   bash scripts/windows.sh --package   the same as the first, then the installer and a zip of the same files:
#                                       build-windows/Ostrand-<version>-win64.exe and .zip, the installer
#                                       checked under Wine (silent install, the programs run, silent uninstall)
# Installs the Debian packages it needs (as root). Wine's launcher starts the 64-bit programs with wine64; no Wine
# server is started by hand (one started with -p made the first program that ended wait a minute).
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

bash scripts/setup.sh windows
qt_prefix="$(bash scripts/windows-qt.sh)"
dir=build-windows
# Wine keeps its Windows (registry, user folders) inside the build folder: nothing of the user's own is touched.
export WINEPREFIX="$PWD/$dir/wine"
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml="
mkdir -p "$dir"
# The installer is a 64-bit program like the others: Wine's 64-bit half runs everything.
if [ ! -f "$WINEPREFIX/system.reg" ]; then
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

# The same sources and options give the same documents on Windows as on Linux.
compare_documents() {
    # The Linux converter and the benchmark's workload maker, from the Linux build.
    if [ ! -x build/bin/ostrand-convert ] || [ ! -x build/bin/make_workloads ]; then
        bash scripts/build.sh --target ostrand-convert --target make_workloads >/dev/null
    fi
    # The benchmark's own workloads, made once and kept in its folder for each scale.
    local scale="${OSTRAND_WINDOWS_SCALE:-0.05}" out="$dir/compare"
    local work="bench/work/scale-$scale"
    rm -rf "$out"
    mkdir -p "$work"
    build/bin/make_workloads --scale "$scale" --out "$work" --only csv100,utf16,longlines,nonascii,small \
        >/dev/null 2>"$dir/make_workloads.log" || { cat "$dir/make_workloads.log" >&2; exit 1; }
    local -a rows=(
        "samples|resources/beside/Samples|"
        "csv100|$work/csv100.csv|"
        "csv100, escaped and quoted|$work/csv100.csv|--escape-html --rfc4180"
        "utf16|$work/utf16.csv|"
        "longlines|$work/longlines.csv|--semicolon --border=0"
        "nonascii|$work/nonascii.csv|--escape-html --rfc4180 --text-color=#1F2E3D"
        "small|$work/small|"
    )
    local row name source options count=0 bytes
    for row in "${rows[@]}"; do
        IFS='|' read -r name source options <<<"$row"
        mkdir -p "$out/$name/linux" "$out/$name/windows"
        # shellcheck disable=SC2086 # the options are words
        build/bin/ostrand-convert --quiet $options --output-dir="$out/$name/linux" "$source" >/dev/null
        # shellcheck disable=SC2086
        wine "$dir/bin/ostrand-convert.exe" --quiet $options --output-dir="$(winepath -w "$out/$name/windows")" \
            "$(winepath -w "$source")" >/dev/null
        diff -r "$out/$name/linux" "$out/$name/windows" >/dev/null || {
            echo "windows: $name: the Windows converter's documents differ from the Linux converter's" >&2
            exit 1
        }
        count=$((count + $(find "$out/$name/linux" -type f | wc -l)))
    done
    # Standard input to standard output: the document's CR LF line ends pass through untouched.
    build/bin/ostrand-convert - <"$work/nonascii.csv" >"$out/stdin.linux.htm"
    wine "$dir/bin/ostrand-convert.exe" - <"$work/nonascii.csv" >"$out/stdin.windows.htm"
    cmp -s "$out/stdin.linux.htm" "$out/stdin.windows.htm" || {
        echo "windows: standard input: the Windows converter's document differs from the Linux converter's" >&2
        exit 1
    }
    bytes=$(find "$out" -type f \( -path '*/linux/*' -o -name stdin.linux.htm \) -printf '%s\n' | awk '{ s += $1 } END { print s }')
    echo "windows: the Windows converter's documents are byte for byte the Linux converter's" \
         "($((count + 1)) documents, $bytes bytes; workloads at scale $scale)"
    rm -rf "$out"
}

case "$mode" in
    --test)
        # The core, converter and window tests (the window's on Qt's offscreen platform); those that need Linux
        # alone (the fault library preloaded into the programs, the end-to-end scripts) are not built for Windows.
        (cd "$dir" && ctest -L 'core|cli|gui' --output-on-failure -j1)
        compare_documents
        # The window under Wine on an X server of its own: it converts the samples.
        bash tests/windows/window_under_wine.sh "$dir"
        ;;
    --package)
        (cd "$dir" && cpack -G "NSIS;ZIP" >/dev/null)
        version="$(sed -n 's/^project(Ostrand VERSION \([0-9.]*\).*/\1/p' CMakeLists.txt)"
        installer="$dir/Ostrand-$version-win64.exe"
        zip="$dir/Ostrand-$version-win64.zip"
        for made in "$installer" "$zip"; do
            [ -f "$made" ] || { echo "windows: CPack made no $made" >&2; exit 1; }
        done
        # What is owed with the DLLs: the licences and notices, and the source of the changes made to Qt.
        owed=(licenses/README.txt licenses/Ostrand.txt licenses/LGPL-3.0.txt licenses/GPL-3.0.txt
              licenses/Qt-third-party-notices.txt licenses/runtime-gcc-mingw-w64-x86-64-posix-runtime.txt
              licenses/runtime-mingw-w64-x86-64-dev.txt source/README.txt source/qtbase-windows.patch
              source/mingw-w64-x86_64.cmake)
        python3 - "$zip" "${owed[@]}" <<'PY'
import sys, zipfile
names = {name.split("/", 1)[1] for name in zipfile.ZipFile(sys.argv[1]).namelist() if "/" in name}
missing = [name for name in sys.argv[2:] if name not in names]
if not any(name.startswith("source/") and name.endswith(".dsc") for name in names):
    missing.append("source/*.dsc")
if missing:
    sys.exit("windows: the zip lacks " + ", ".join(missing))
PY
        grep -q 'MUI_PAGE_LICENSE.*LICENSE' "$dir/_CPack_Packages/win64/NSIS/project.nsi" ||
            { echo "windows: the installer shows no licence page" >&2; exit 1; }
        # Silent install into a folder of Wine's drive C, the programs run from it, silent uninstall removes them.
        target='C:\Ostrand-check'
        wine "$installer" /S "/D=$target"
        installed="$(winepath -u "$target")"
        for program in ostrand.exe ostrand-convert.exe Uninstall.exe Samples/"Comma - prices.csv" "${owed[@]}"; do
            [ -e "$installed/$program" ] || { echo "windows: the installer did not install $program" >&2; exit 1; }
        done
        shortcut() { find "$WINEPREFIX/drive_c" -path '*Start Menu*' -name 'Ostrand.lnk' | grep -q .; }
        shortcut || { echo "windows: the installer made no Start menu entry" >&2; exit 1; }
        # The installed converter converts where it was installed, beside its DLLs.
        wine "$installed/ostrand-convert.exe" --version >/dev/null
        printf 'a,b\r\n' | wine "$installed/ostrand-convert.exe" - | cmp -s - <(printf 'a,b\r\n' | build/bin/ostrand-convert -) || {
            echo "windows: the installed converter's document differs from the Linux converter's" >&2
            exit 1
        }
        wine reg query 'HKLM\Software\Classes\Applications\ostrand.exe\shell\open\command' >/dev/null 2>&1 ||
            wine reg query 'HKCU\Software\Classes\Applications\ostrand.exe\shell\open\command' >/dev/null 2>&1 || {
            echo "windows: the installer registered no \"Open with\" entry for .csv files" >&2
            exit 1
        }
        # The uninstaller copies itself away and runs from there: wait for it to finish.
        wine "$installed/Uninstall.exe" /S
        for _ in $(seq 60); do
            [ -e "$installed/ostrand.exe" ] || break
            sleep 1
        done
        if [ -e "$installed/ostrand.exe" ] || [ -e "$installed/ostrand-convert.exe" ] || shortcut; then
            echo "windows: the uninstaller left the programs in $installed" >&2
            exit 1
        fi
        echo "windows: $installer installs (the programs, their DLLs, the samples, the licences and the Qt changes' source," \
             "a Start menu entry, \"Open with\") and uninstalls silently under Wine"
        ;;
esac
