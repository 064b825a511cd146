#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Builds (once per machine) the Qt that the Windows build links: Debian's own qtbase source, the version of
# the host's qt6-base-dev, cross-compiled with MinGW-w64 and using the host's Qt tools (moc, rcc, uic).
# It lives outside the clone, in a folder keyed by Qt's version, the options and the toolchain file, and is
# reused while complete:
#   /var/cache/ostrand/qt-<version>-mingw-<key>/{src,build,prefix,build.log}
#   bash scripts/windows-qt.sh              builds what is missing in the foreground; prints the prefix
#   bash scripts/windows-qt.sh --start      the same in the background at the lowest CPU and disk priority
#                                           (resumable: ninja picks up where a stopped build left off)
#   bash scripts/windows-qt.sh --status     complete, or how many build steps remain
#   bash scripts/windows-qt.sh --prefix     prints the prefix (whether or not it is complete)
# Beside a complete Qt it keeps source/: what a recipient of the DLLs is owed to build them again (the changes
# below as a patch against Debian's source package, that package's description, the options, the toolchain file).
# OSTRAND_QT_CACHE overrides /var/cache/ostrand.
set -euo pipefail
here="$(cd "$(dirname "$0")/.." && pwd)"
mode="${1:-}"

cache_root="${OSTRAND_QT_CACHE:-/var/cache/ostrand}"
toolchain="$here/cmake/mingw-w64-x86_64.cmake"
host_qt_version="$(dpkg-query -W -f='${Version}' qt6-base-dev 2>/dev/null || true)"
if [ -z "$host_qt_version" ]; then
    echo "windows-qt: qt6-base-dev is not installed (bash scripts/setup.sh installs it)" >&2
    exit 1
fi
qt_upstream="${host_qt_version%%+*}"   # 6.4.2+dfsg-10 -> 6.4.2

# Only what the programs and the tests load: Core, Gui, Widgets, Test, the Windows platform plugin and the
# styles. Everything else is switched off, which roughly halves the build.
qt_options=(
    -DCMAKE_BUILD_TYPE=Release
    -DBUILD_SHARED_LIBS=ON
    -DQT_BUILD_EXAMPLES=OFF
    -DQT_BUILD_TESTS=OFF
    -DQT_BUILD_BENCHMARKS=OFF
    -DFEATURE_sql=OFF
    -DFEATURE_network=OFF
    -DFEATURE_opengl=OFF
    -DFEATURE_dbus=OFF
    -DFEATURE_printsupport=OFF
    -DFEATURE_concurrent=OFF
    -DFEATURE_xml=OFF
    -DFEATURE_vulkan=OFF
    -DFEATURE_direct2d=OFF
    -DFEATURE_jpeg=OFF
    -DFEATURE_pdf=OFF
)

# The cross compilers, Wine and NSIS, and what the window's check under Wine uses.
install_packages() {
    bash "$here/scripts/setup.sh" windows >&2
}

# Sets dir, prefix and complete from the key. The compiler's version is part of it: a Qt built by another
# compiler is another Qt.
locate() {
    local compiler_version key
    compiler_version="$(x86_64-w64-mingw32-g++-posix -dumpfullversion 2>/dev/null || echo none)"
    key="$( { echo "$host_qt_version"; echo "$compiler_version"; printf '%s\n' "${qt_options[@]}"; cat "$toolchain"; } \
            | sha256sum | cut -c1-12)"
    dir="$cache_root/qt-$qt_upstream-mingw-$key"
    prefix="$dir/prefix"
    complete="$prefix/.complete"
    src="$dir/src/qtbase-everywhere-src-$qt_upstream"
}
locate

case "$mode" in
    --prefix)
        echo "$prefix"
        exit 0
        ;;
    --status)
        if [ -f "$complete" ]; then
            echo "complete: $prefix"
        elif [ -f "$dir/build/build.ninja" ]; then
            left="$(ninja -C "$dir/build" -n 2>/dev/null | grep -c '^\[' || true)"
            echo "incomplete: $left build steps remain in $dir/build (log: $dir/build.log)"
        else
            echo "not configured: $dir"
        fi
        exit 0
        ;;
    --start | "") ;;
    *)
        echo "usage: bash scripts/windows-qt.sh [--start|--status|--prefix]" >&2
        exit 2
        ;;
esac

# source/ beside the Qt: the script's changes, as a patch made by comparing the tree built with the source package
# unpacked afresh, that package's .dsc (its exact version and files, with their hashes), the options and the
# toolchain file, and how to put them together. Made once, from a complete Qt.
describe_source() {
    local out="$dir/source" work dsc status=0
    [ -f "$out/README.txt" ] && return 0
    dsc="$(find "$dir/src" -maxdepth 1 -name '*.dsc' | head -n1)"
    if [ -z "$dsc" ]; then
        # A source folder unpacked without its package files: they are fetched again (the same version).
        (cd "$dir/src" && apt-get source --download-only -q "qt6-base=$host_qt_version" >&2)
        dsc="$(find "$dir/src" -maxdepth 1 -name '*.dsc' | head -n1)"
    fi
    work="$(mktemp -d)"
    trap 'rm -rf "$work"' RETURN
    (cd "$work" && dpkg-source --no-check -q -x "$dsc" debian-source >/dev/null)
    ln -s "$src" "$work/windows"
    (cd "$work" && diff -ruN debian-source windows) >"$work/patch" || status=$?
    if [ "$status" -gt 1 ]; then
        echo "windows-qt: comparing the Qt source with Debian's failed" >&2
        return 1
    fi
    rm -rf "$out.new"
    mkdir -p "$out.new"
    # Paths as patch -p1 takes them, without the dates of this machine's files.
    sed -E -e 's#^diff -ruN debian-source/([^ ]*) windows/.*#diff -ruN a/\1 b/\1#' \
        -e 's#^--- debian-source/([^\t]*).*#--- a/\1#' -e 's#^\+\+\+ windows/([^\t]*).*#+++ b/\1#' \
        "$work/patch" >"$out.new/qtbase-windows.patch"
    cp "$dsc" "$dir/mingw-w64-x86_64.cmake" "$out.new/"
    {
        echo "The Qt DLLs and plugins shipped with Ostrand are Qt $qt_upstream, built from Debian's source package"
        echo "qt6-base, version $host_qt_version ($(basename "$dsc") in this folder names its files and their"
        echo "hashes; \"apt-get source qt6-base=$host_qt_version\" fetches it from Debian's archive), with the changes in"
        echo "qtbase-windows.patch, by MinGW-w64's GCC $(x86_64-w64-mingw32-g++-posix -dumpfullversion) (Debian's"
        echo "g++-mingw-w64-x86-64-posix $(dpkg-query -W -f='${Version}' g++-mingw-w64-x86-64-posix))."
        echo
        echo "To build them again on Debian (g++-mingw-w64-x86-64-posix, cmake, ninja-build and qt6-base-dev $host_qt_version"
        echo "installed, the last for the host's Qt tools):"
        echo
        echo "    dpkg-source -x $(basename "$dsc") qtbase"
        echo "    cd qtbase && patch -p1 < ../qtbase-windows.patch && cd .."
        echo "    cmake -S qtbase -B build -G Ninja -DCMAKE_TOOLCHAIN_FILE=\$PWD/mingw-w64-x86_64.cmake \\"
        echo "        -DCMAKE_INSTALL_PREFIX=\$PWD/prefix -DQT_HOST_PATH=/usr \\"
        echo "        -DQT_HOST_PATH_CMAKE_DIR=/usr/lib/x86_64-linux-gnu/cmake \\"
        printf '        %s \\\n' "${qt_options[@]}" | sed '$ s/ \\$//'
        echo "    cmake --build build && cmake --install build"
        echo
        echo "The DLLs are then in prefix/bin, the plugins in prefix/plugins."
    } >"$out.new/README.txt"
    rm -rf "$out"
    mv "$out.new" "$out"
}

if [ -f "$complete" ]; then
    describe_source
    echo "$prefix"
    exit 0
fi

install_packages
# The key may have been computed before the compiler was installed.
locate
mkdir -p "$dir"

# The source: Debian's qt6-base of the host's version, from a deb-src entry for the archive already in use.
if [ ! -f "$src/CMakeLists.txt" ]; then
    if ! apt-get source --print-uris "qt6-base=$host_qt_version" >/dev/null 2>&1; then
        list=/etc/apt/sources.list.d/debian.sources
        if [ ! -f "$list" ]; then
            echo "windows-qt: no $list to take the archive from; add a deb-src entry for qt6-base" >&2
            exit 1
        fi
        sed -n '/^Types: deb$/,/^$/p' "$list" | sed 's/^Types: deb$/Types: deb-src/' \
            >/etc/apt/sources.list.d/ostrand-deb-src.sources
        bash "$here/scripts/setup.sh" --update >&2
    fi
    rm -rf "$dir/src"
    mkdir -p "$dir/src"
    (cd "$dir/src" && apt-get source -q "qt6-base=$host_qt_version" >&2)
    # dpkg-source names the folder after the Debian package; Qt's name is kept for the log's sake.
    unpacked="$(find "$dir/src" -mindepth 1 -maxdepth 1 -type d -name 'qt6-base-*' | head -n1)"
    mv "$unpacked" "$src"
fi

# Debian's source leaves out Wintab's header (src/3rdparty/wintab: its licence forbids changes), which the Windows
# platform plugin's Wintab tablet support includes: the plugin is built without it, so a pen acts as a mouse
# there. Idempotent, and part of the source: no complete Qt is ever built without it.
plugin="$src/src/plugins/platforms/windows"
if [ ! -f "$src/src/3rdparty/wintab/wintab.h" ] && grep -q 'CONDITION QT_FEATURE_tabletevent$' "$plugin/CMakeLists.txt"; then
    sed -i 's/CONDITION QT_FEATURE_tabletevent$/CONDITION QT_FEATURE_tabletevent AND EXISTS ${QtBase_SOURCE_DIR}\/src\/3rdparty\/wintab\/wintab.h/' \
        "$plugin/CMakeLists.txt"
    sed -i 's/^#if QT_CONFIG(tabletevent)/#if 0 \/\/ Wintab is not in this source: QT_CONFIG(tabletevent)/' "$plugin"/*.cpp "$plugin"/*.h
fi
# Qt 6.4's configuration leaves "dynamicgl" on with OpenGL off, and the plugin's window then reaches for OpenGL.
sed -i 's/^#if QT_CONFIG(dynamicgl)$/#if QT_CONFIG(opengl) \&\& QT_CONFIG(dynamicgl)/' "$plugin/qwindowswindow.cpp"
# With Direct2D off, QtGui has no DirectWrite font database, which the plugin would still offer: it keeps to the
# other font databases.
sed -i 's/^#if QT_CONFIG(directwrite3)$/#if QT_CONFIG(directwrite3) \&\& QT_CONFIG(direct2d)/' "$plugin/qwindowsintegration.cpp"

# The toolchain file goes with the cache, so the installed Qt never points back into a clone.
cp "$toolchain" "$dir/mingw-w64-x86_64.cmake"
if [ ! -f "$dir/build/build.ninja" ]; then
    cmake -S "$src" -B "$dir/build" -G Ninja \
        -DCMAKE_TOOLCHAIN_FILE="$dir/mingw-w64-x86_64.cmake" \
        -DCMAKE_INSTALL_PREFIX="$prefix" \
        -DQT_HOST_PATH=/usr \
        -DQT_HOST_PATH_CMAKE_DIR=/usr/lib/x86_64-linux-gnu/cmake \
        "${qt_options[@]}" >"$dir/configure.log" 2>&1 || {
        echo "windows-qt: configuring Qt failed; see $dir/configure.log" >&2
        exit 1
    }
fi

build=(nice -n 19 ionice -c3 sh -c
       "echo \"started \$(date -u +%FT%TZ)\"; cmake --build '$dir/build' && cmake --install '$dir/build' >/dev/null &&
        touch '$complete' && echo \"complete \$(date -u +%FT%TZ)\"")
if [ "$mode" = --start ]; then
    nohup "${build[@]}" >>"$dir/build.log" 2>&1 </dev/null &
    echo "windows-qt: building in the background (pid $!), log: $dir/build.log" >&2
    echo "$prefix"
    exit 0
fi
"${build[@]}" 2>&1 | tee -a "$dir/build.log" >&2
test -f "$complete"
describe_source
echo "$prefix"
