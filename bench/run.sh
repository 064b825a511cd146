#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# The benchmark: times ostrand-convert on each workload against the floor of this machine and against an awk
# one-liner doing the same conversion, measured in the same run and paired round by round, and prints wall time,
# throughput, the ratios, what the converter's syncs cost, and peak memory.
#
#   bash bench/run.sh [--quick] [--rounds N] [--small-rounds N] [--scale S] [--only LIST]
#                     [--build-dir DIR] [--no-build] [--work DIR] [--converter PATH] [--before PATH]
#                     [--windows-converter PATH]
#
#   --quick           scale 0.05 and 3 rounds: a check of the command in about half a minute (after the build)
#   --rounds N        rounds for each large workload (default 5)
#   --small-rounds N  rounds for the 5,000 small files (default 3; a round takes about 10 s, mostly the floor's dd)
#   --scale S         size factor for every workload (default 1)
#   --only LIST       comma-separated subset of: csv100,options,utf16,longlines,nonascii,small,text,scan,gui,
#                     window,append,large,huge,pairs,wine (window: the window's run of 3,000 and of 20,000 small files
#                     on a real X server, Xvfb, from the click to "Done.", paired with the converter; options: csv100 with --escape-html --rfc4180 against the plain
#                     conversion; text: the UTF-8 check and the cutting in memory, ASCII against non-ASCII text;
#                     large, huge and pairs are never in the default run: large checks that a 2.5 GB source and
#                     one 500 MB line convert exactly, needs about 7 GB of disk and takes a few minutes; huge
#                     converts a sparse source of 1.5 times the machine's memory (40 GB where the disk allows),
#                     whose document takes about as much disk, and takes many minutes; pairs times the
#                     converter against --before on the 100 MB workloads, the small files and csv100 through
#                     a pipe to standard input, round by round; wine, never in the default run either, times
#                     the Windows converter under Wine beside this one on csv100, utf16, longlines, nonascii
#                     and the small files, paired round by round, with Wine's own start-up timed apart)
#   --build-dir DIR   build folder (default build-bench, a Release build of the programs needed here)
#   --no-build        use the programs already in the build folder
#   --work DIR        folder for the workloads and outputs (default bench/work/scale-S)
#   --converter PATH  the converter to time (default DIR/bin/ostrand-convert)
#   --before PATH     another converter (an earlier build) for pairs
#   --windows-converter PATH  the Windows converter for wine (default build-windows/bin/ostrand-convert.exe, which
#                     bash scripts/windows.sh builds; Wine's prefix is build-windows/wine unless WINEPREFIX is set)
#
# Tools: bash, coreutils (dd, sync, stat, timeout), GNU time (/usr/bin/time), find, awk, iconv, cmake and ninja.
#
# The cost of durability: each conversion is also timed with bench_nosync preloaded (LD_PRELOAD), a library
# built here for the benchmark alone that turns fsync, fdatasync, syncfs and sync_file_range into no-ops. The
# programs have no switch of their own for that: users always get their documents synced.
set -euo pipefail
export LC_ALL=C.UTF-8

root="$(cd "$(dirname "$0")/.." && pwd)"
scale=1
rounds=5
small_rounds=3
only="csv100,options,utf16,longlines,nonascii,small,text,scan,gui,window,append"
build_dir="$root/build-bench"
do_build=1
work=""
converter=""
before=""
windows_converter="$root/build-windows/bin/ostrand-convert.exe"
rounds_given=""

usage() { sed -n '3,/^[^#]/p' "$0" | sed '$d' | sed 's/^# \{0,1\}//'; }

while [ $# -gt 0 ]; do
    case "$1" in
    --quick) scale=0.05; [ -n "$rounds_given" ] || rounds=3; small_rounds=3 ;;
    --rounds) rounds="$2"; rounds_given=1; shift ;;
    --small-rounds) small_rounds="$2"; shift ;;
    --scale) scale="$2"; shift ;;
    --only) only="$2"; shift ;;
    --build-dir) build_dir="$(realpath -m "$2")"; shift ;;
    --no-build) do_build="" ;;
    --work) work="$(realpath -m "$2")"; shift ;;
    --converter) converter="$(realpath -m "$2")"; shift ;;
    --before) before="$(realpath -m "$2")"; shift ;;
    --windows-converter) windows_converter="$(realpath -m "$2")"; shift ;;
    -h | --help) usage; exit 0 ;;
    *) echo "run.sh: unknown option $1" >&2; usage >&2; exit 2 ;;
    esac
    shift
done
[ -n "$converter" ] || converter="$build_dir/bin/ostrand-convert"
# Each scale has its own folder, so a quick run never makes the full workloads again.
[ -n "$work" ] || work="$root/bench/work/scale-$scale"
bin="$build_dir/bin"
wanted() { [[ ",$only," == *",$1,"* ]]; }

tools=(/usr/bin/time dd find awk iconv timeout)
[ -z "$do_build" ] || tools+=(cmake ninja)
for tool in "${tools[@]}"; do
    command -v "$tool" >/dev/null || { echo "run.sh: $tool is missing (bash scripts/setup.sh bench installs it)" >&2; exit 2; }
done

# ---------------------------------------------------------------------------------------------------------------
# Build

build_targets=""
declare -A build_failed
target_exists() { grep -q "^$1[:]" <<<"$build_targets"; }

if [ -n "$do_build" ]; then
    echo "== build ($build_dir)"
    if [ ! -f "$build_dir/CMakeCache.txt" ]; then
        cmake -S "$root" -B "$build_dir" -G Ninja -DCMAKE_BUILD_TYPE=Release -DOSTRAND_BUILD_TESTS=OFF >/dev/null
    else
        cmake -S "$root" -B "$build_dir" >/dev/null
    fi
    build_targets=$(cmake --build "$build_dir" --target help 2>/dev/null || true)
    for target in make_workloads ostrand-convert bench_nosync bench_text bench_scan bench_gui_responsiveness bench_gui_append; do
        if ! target_exists "$target"; then
            echo "   $target: not in the project yet"
            continue
        fi
        if ! cmake --build "$build_dir" -j"$(nproc)" --target "$target" >"$build_dir/bench-build-$target.log" 2>&1; then
            # A program left from an earlier build would time other code than the rest: it is not run.
            echo "   $target: build FAILED (see $build_dir/bench-build-$target.log); it is not run"
            build_failed[$target]=1
        fi
    done
fi
[ -x "$bin/make_workloads" ] || { echo "run.sh: $bin/make_workloads is missing" >&2; exit 1; }
# usable PROGRAM: built now (or --no-build) and present.
usable() { [ -x "$bin/$1" ] && [ -z "${build_failed[$1]:-}" ]; }
nosync_lib="$build_dir/lib/libbench_nosync.so"
[ -f "$nosync_lib" ] && [ -z "${build_failed[bench_nosync]:-}" ] || nosync_lib=""

# ---------------------------------------------------------------------------------------------------------------
# Workloads

echo "== workloads (scale $scale, in $work)"
mkdir -p "$work"
# Only the workloads the chosen measurements read are made (each is made once and then reused).
needed=()
for w in csv100 utf16 longlines nonascii small; do wanted "$w" && needed+=("$w"); done
{ wanted options || wanted gui || wanted text; } && ! wanted csv100 && needed+=(csv100)
wanted text && ! wanted nonascii && needed+=(nonascii)
if wanted pairs || wanted wine; then
    for w in csv100 utf16 longlines nonascii small; do [[ " ${needed[*]} " == *" $w "* ]] || needed+=("$w"); done
fi
{ wanted scan || wanted append; } && needed+=(tree)
wanted window && needed+=(files3k files20k)
# The large inputs are made by their own check.
: >"$work/list.tmp"
[ ${#needed[@]} -eq 0 ] ||
    "$bin/make_workloads" --scale "$scale" --out "$work" --only "$(IFS=,; echo "${needed[*]}")" >"$work/list.tmp"
declare -A wpath wbytes wfiles
while read -r name path bytes files how; do
    wpath[$name]="$path"
    wbytes[$name]="$bytes"
    wfiles[$name]="$files"
    printf '   %-10s %12s bytes in %6s file(s), %s\n' "$name" "$bytes" "$files" "$how"
done <"$work/list.tmp"
rm -f "$work/list.tmp"

out="$work/out"
tmp="$work/tmp"
mkdir -p "$out" "$tmp"
results="$work/results.md"

# ---------------------------------------------------------------------------------------------------------------
# Helpers

# timed CMD...: runs CMD after writing out every dirty page; sets T_WALL (s), T_RSS (KiB), T_STATUS, and T_DIRTY:
# the bytes of the machine that are dirty (written but not yet on disk) after CMD and were not before it.
timed() {
    sync
    local t0 t1 d0
    d0=$(dirty_kib)
    t0=$EPOCHREALTIME
    T_STATUS=0
    /usr/bin/time -f '%e %M' -o "$tmp/time.txt" "$@" >"$tmp/stdout.txt" 2>"$tmp/stderr.txt" || T_STATUS=$?
    t1=$EPOCHREALTIME
    T_WALL=$(awk -v a="$t0" -v b="$t1" 'BEGIN { printf "%.4f", b - a }')
    T_RSS=$(awk 'END { print $2 + 0 }' "$tmp/time.txt")
    T_DIRTY=$((($(dirty_kib) - d0) * 1024))
}

median() { printf '%s\n' "$@" | sort -g | awk '{ v[NR] = $1 } END { if (NR % 2) print v[(NR + 1) / 2]; else print (v[NR / 2] + v[NR / 2 + 1]) / 2 }'; }
ratio() { awk -v a="$1" -v b="$2" 'BEGIN { if (b > 0) printf "%.2f", a / b; else print "n/a" }'; }
fmt() { awk -v v="$1" -v p="${2:-2}" 'BEGIN { printf "%.*f", p, v }'; }
dirty_kib() { awk '/^Dirty:/ { print $2 }' /proc/meminfo 2>/dev/null || echo 0; }
mb() { awk -v b="$1" 'BEGIN { printf "%.1f", b / 1e6 }'; }

rows=()
# The cells "against awk" and "without syncs" of the next row; add_row puts them after the fifth cell and clears them.
row_awk=""
row_nosync=""
# met A B: "yes" when A <= B (both numbers), else a bold "NO".
met() { awk -v a="$1" -v b="$2" 'BEGIN { if (a == "" || a == "n/a") print "?"; else if (a + 0 <= b + 0) print "yes"; else print "**NO**" }'; }
add_row() {
    local row="|" cell i=0
    for cell in "$@"; do
        row+=" $cell |"
        ((++i != 5)) || row+=" $row_awk | $row_nosync |"
    done
    rows+=("$row")
    row_awk=""
    row_nosync=""
}
notes=()
note() { notes+=("$*"); }

conv_timeout=600
have_converter=""
if [ -x "$converter" ] && { [ "$converter" != "$bin/ostrand-convert" ] || usable ostrand-convert; }; then
    have_converter=1
else
    echo "== ostrand-convert is not built ($converter$([ -z "${build_failed[ostrand-convert]:-}" ] || echo ': its build failed')): every conversion workload is skipped"
fi

# Checks the converter's exit status after a run; prints why and returns 1 when it failed.
conv_ok() {
    if [ "$T_STATUS" -ne 0 ]; then
        echo "   ostrand-convert FAILED (exit $T_STATUS):"
        head -c 600 "$tmp/stderr.txt" | sed 's/^/     /'
        return 1
    fi
}

floor_plain() { dd if="$1" of=/dev/null bs=1M status=none && dd if=/dev/zero of="$2" bs=1M count="$3" iflag=count_bytes status=none; }
floor_sync() { dd if="$1" of=/dev/null bs=1M status=none && dd if=/dev/zero of="$2" bs=1M count="$3" iflag=count_bytes conv=fsync status=none; }
export -f floor_plain floor_sync

declare -A conv_median tput
floor_sync_count=0
floor_plain_count=0

# ---------------------------------------------------------------------------------------------------------------
# The awk one-liner: the same document from the same CSV in one pass (mawk where it is the system's awk), written
# without a sync (awk has none). UTF-16 goes through iconv first; the document options escape with gsub (the
# workload holds no quotes, so the quoting rules change nothing); the small files are one awk process writing one
# document per file.

awk_program='BEGIN { ORS = ""; printf "<html><title></title><body><table width=\047100%%\047 style=\047color:#000000\047 border=\0471\047 bgcolor=\047#FFFFFF\047><tbody>\r\n" }
{ gsub(/\r/, ""); if ($0 == "") next; printf "<tr>\r\n"; for (i = 1; i <= NF; i++) printf "<td>%s</td>", $i; printf "</tr>\r\n" }
END { printf "</body></html>\r\n" }'
awk_escape_program='BEGIN { ORS = ""; printf "<html><title></title><body><table width=\047100%%\047 style=\047color:#000000\047 border=\0471\047 bgcolor=\047#FFFFFF\047><tbody>\r\n" }
{ gsub(/\r/, ""); if ($0 == "") next
  gsub(/&/, "\\&amp;"); gsub(/</, "\\&lt;"); gsub(/>/, "\\&gt;"); gsub(/"/, "\\&quot;"); gsub(/\047/, "\\&#39;")
  printf "<tr>\r\n"; for (i = 1; i <= NF; i++) printf "<td>%s</td>", $i; printf "</tr>\r\n" }
END { printf "</body></html>\r\n" }'
awk_small_program='FNR == 1 { if (out != "") { printf "</body></html>\r\n" > out; close(out) }
    name = FILENAME; sub(/.*\//, "", name); sub(/\.[^.]*$/, "", name); out = dir "/" name ".htm"
    printf "<html><title></title><body><table width=\047100%%\047 style=\047color:#000000\047 border=\0471\047 bgcolor=\047#FFFFFF\047><tbody>\r\n" > out }
{ gsub(/\r/, ""); if ($0 == "") next; printf "<tr>\r\n" > out; for (i = 1; i <= NF; i++) printf "<td>%s</td>", $i > out; printf "</tr>\r\n" > out }
END { if (out != "") printf "</body></html>\r\n" > out }'
export awk_program awk_escape_program awk_small_program

# awk_convert WORKLOAD INPUT DIR: the one-liner's document(s) of a workload, in DIR.
awk_convert() {
    case "$1" in
    utf16) iconv -f UTF-16LE -t UTF-8 "$2" | LC_ALL=C awk -v FS=, "$awk_program" >"$3/$1.htm" ;;
    options) LC_ALL=C awk -v FS=, "$awk_escape_program" "$2" >"$3/$1.htm" ;;
    small) LC_ALL=C awk -v FS=, -v dir="$3" "$awk_small_program" "$2"/*.csv ;;
    *) LC_ALL=C awk -v FS=, "$awk_program" "$2" >"$3/$1.htm" ;;
    esac
}
export -f awk_convert

# same_documents DIR1 DIR2: "identical" when both folders hold the same files with the same bytes.
same_documents() { if diff -rq "$1" "$2" >/dev/null 2>&1; then echo identical; else echo DIFFERENT; fi; }

# The median of the differences A[i] - B[i] of two lists given as "A1 A2 ... -- B1 B2 ...".
median_difference() {
    local a=() b=() d=() i
    while [ "$1" != "--" ]; do a+=("$1"); shift; done
    shift
    b=("$@")
    for i in "${!a[@]}"; do d+=("$(awk -v x="${a[$i]}" -v y="${b[$i]}" 'BEGIN { printf "%.4f", x - y }')"); done
    median "${d[@]}"
}

# The cell "without syncs": the converter's median time with its syncs turned off, and what they cost.
nosync_cell() {
    local with_median="$1" cost
    shift
    [ -n "$nosync_lib" ] && [ $# -gt 0 ] || { echo "n/a"; return; }
    local without=() i
    for i in "$@"; do [ "$i" = "--" ] && break; without+=("$i"); done
    cost=$(median_difference "${@:$((${#without[@]} + 2))}" -- "${without[@]}")
    echo "$(fmt "$(median "${without[@]}")") s; syncs cost $(fmt "$cost") s ($(awk -v c="$cost" -v t="$with_median" 'BEGIN { printf "%.0f", (t > 0 ? 100 * c / t : 0) }') %)"
}

# ---------------------------------------------------------------------------------------------------------------
# One large file: converter, floor without and with sync, paired round by round.

bench_file() {
    local name="$1" goal="$2" limit="$3" rss_limit="${4:-}" input="${wpath[$1]}" bytes="${wbytes[$1]}"
    echo "== $name: $(mb "$bytes") MB, $rounds round(s)"
    local cdir="$out/conv-$name" fdir="$out/floor-$name"
    rm -rf "$cdir" "$fdir"
    mkdir -p "$cdir" "$fdir"
    cat "$input" >/dev/null

    # Warm-up run: checks the converter and gives the document's size.
    timed timeout "$conv_timeout" "$converter" --quiet --output-dir "$cdir" "$input"
    conv_ok || { add_row "$name" "$(mb "$bytes") MB" "failed" "" "" "$goal" "" "" ""; return; }
    local doc
    doc=$(find "$cdir" -maxdepth 1 -type f -name '*.htm' -printf '%s\n' | head -n 1)
    [ -n "$doc" ] || { echo "   no document was written"; return; }
    # Whether the converter syncs its document: the least the machine's dirty memory grew over its runs (other
    # programs may write at the same time, never make it smaller).
    local unsynced=$T_DIRTY
    echo "   document $(mb "$doc") MB; warm-up $(fmt "$T_WALL") s"

    local adir="$out/awk-$name" ndir="$out/nosync-$name"
    rm -rf "$adir" "$ndir"
    mkdir -p "$adir" "$ndir"
    local cw=() cr=() fw=() sw=() rp=() rs=() aw=() ra=() nw=() i
    for ((i = 1; i <= rounds; i++)); do
        rm -f "$cdir"/*
        timed timeout "$conv_timeout" "$converter" --quiet --output-dir "$cdir" "$input"
        conv_ok || { add_row "$name" "$(mb "$bytes") MB" "failed" "" "" "$goal" "" "" ""; return; }
        cw+=("$T_WALL") cr+=("$T_RSS")
        [ "$T_DIRTY" -ge "$unsynced" ] || unsynced=$T_DIRTY
        rm -f "$fdir"/*
        timed bash -c 'floor_plain "$@"' _ "$input" "$fdir/floor.htm" "$doc"
        fw+=("$T_WALL")
        rm -f "$fdir"/*
        timed bash -c 'floor_sync "$@"' _ "$input" "$fdir/floor.htm" "$doc"
        sw+=("$T_WALL")
        rm -f "$fdir"/* "$adir"/*
        timed bash -c 'awk_convert "$@"' _ "$name" "$input" "$adir"
        aw+=("$T_WALL")
        rp+=("$(ratio "${cw[-1]}" "${fw[-1]}")") rs+=("$(ratio "${cw[-1]}" "${sw[-1]}")") ra+=("$(ratio "${cw[-1]}" "${aw[-1]}")")
        if [ -n "$nosync_lib" ]; then
            rm -f "$ndir"/*
            timed env LD_PRELOAD="$nosync_lib" timeout "$conv_timeout" "$converter" --quiet --output-dir "$ndir" "$input"
            conv_ok || { add_row "$name" "$(mb "$bytes") MB" "failed" "" "" "$goal" "" "" ""; return; }
            nw+=("$T_WALL")
        fi
        local last_nosync=n/a
        [ -z "$nosync_lib" ] || last_nosync=$(fmt "${nw[-1]}" 3)
        printf '   round %d: converter %s s (%s MiB), floor %s s, floor with sync %s s, awk %s s, converter without syncs %s s: ratios %s / %s, against awk %s\n' \
            "$i" "$(fmt "${cw[-1]}" 3)" "$((${cr[-1]} / 1024))" "$(fmt "${fw[-1]}" 3)" "$(fmt "${sw[-1]}" 3)" \
            "$(fmt "${aw[-1]}" 3)" "$last_nosync" "${rp[-1]}" "${rs[-1]}" "${ra[-1]}"
    done
    # awk's document sits beside the converter's, named the same way.
    mv "$adir/$name.htm" "$adir/$(basename "$(find "$cdir" -maxdepth 1 -name '*.htm' | head -n 1)")" 2>/dev/null || true
    local am ra_m same
    am=$(median "${aw[@]}")
    ra_m=$(median "${ra[@]}")
    same=$(same_documents "$cdir" "$adir")
    row_awk="**${ra_m}x** (awk $(fmt "$am") s, $same)"
    row_nosync=$(nosync_cell "$(median "${cw[@]}")" "${nw[@]}" -- "${cw[@]}")
    echo "   against awk: median ratio $ra_m (awk $(fmt "$am" 3) s, its document $same); without syncs: $row_nosync"
    local mc mr rss_kib rp_m rs_m fair syncs=yes
    [ "$unsynced" -lt $((doc / 4)) ] || syncs=no
    ((unsynced >= 0)) || unsynced=0
    echo "   left unsynced by the converter: $(mb "$unsynced") MB of the $(mb "$doc") MB document (it syncs: $syncs)"
    if [ "$syncs" = yes ]; then ((++floor_sync_count)); else ((++floor_plain_count)); fi
    mc=$(median "${cw[@]}")
    rp_m=$(median "${rp[@]}")
    rs_m=$(median "${rs[@]}")
    rss_kib=$(printf '%s\n' "${cr[@]}" | sort -n | tail -n 1)
    conv_median[$name]=$mc
    tput[$name]=$(awk -v b="$bytes" -v t="$mc" 'BEGIN { printf "%.1f", b / 1e6 / t }')
    if [ "$syncs" = yes ]; then fair=$rs_m; else fair=$rp_m; fi
    local rss_ratio
    rss_ratio=$(awk -v r="$rss_kib" -v b="$bytes" 'BEGIN { printf "%.2f", r * 1024 / b }')
    echo "   median: converter $(fmt "$mc" 3) s, ${tput[$name]} MB/s; ratio to floor $rp_m, to floor with sync $rs_m;" \
        "peak RSS $((rss_kib / 1024)) MiB (${rss_ratio}x input)"
    # The goal is a ratio to the floor, or (limit "tput:X") a throughput within X times csv100's.
    local verdict
    if [[ "$limit" == tput:* ]]; then
        verdict=$(met "$(ratio "${tput[csv100]:-0}" "${tput[$name]}")" "${limit#tput:}")
        [ -n "${tput[csv100]:-}" ] || verdict="?"
    else
        verdict=$(met "$fair" "$limit")
    fi
    # The memory goal is judged on inputs of 50 MB and more: below that the program's fixed start-up memory
    # dominates.
    if [ -n "$rss_limit" ] && [ "$bytes" -ge 50000000 ] && [ "$(met "$rss_ratio" "$rss_limit")" != yes ]; then
        verdict="**NO** (memory)"
    fi
    add_row "$name" "$(mb "$bytes") MB" "$(fmt "$mc" 2) s" "${tput[$name]} MB/s" "**${fair}x** ($rp_m / $rs_m)$([ "$syncs" = yes ] || echo ' unsynced')" "$goal" \
        "$verdict" "$((rss_kib / 1024)) MiB" "${rss_ratio}x"
}

# ---------------------------------------------------------------------------------------------------------------
# The two document options on csv100: the conversion with both on, paired round by round with the plain one.

bench_options() {
    local input="${wpath[csv100]}" bytes="${wbytes[csv100]}" goal="<= 1.5x the plain conversion"
    local name="csv100 --escape-html --rfc4180"
    echo "== options: csv100 with --escape-html --rfc4180, $rounds round(s), each paired with the plain conversion"
    local odir="$out/conv-options" pdir="$out/conv-plain"
    rm -rf "$odir" "$pdir"
    mkdir -p "$odir" "$pdir"
    cat "$input" >/dev/null
    timed timeout "$conv_timeout" "$converter" --quiet --escape-html --rfc4180 --output-dir "$odir" "$input"
    conv_ok || { add_row "$name" "$(mb "$bytes") MB" "failed" "" "" "$goal" "" "" ""; return; }
    local adir="$out/awk-options"
    rm -rf "$adir"
    mkdir -p "$adir"
    local ow=() pw=() rr=() orss=() aw=() ra=() i
    for ((i = 1; i <= rounds; i++)); do
        rm -f "$pdir"/*
        timed timeout "$conv_timeout" "$converter" --quiet --output-dir "$pdir" "$input"
        conv_ok || { add_row "$name" "$(mb "$bytes") MB" "failed" "" "" "$goal" "" "" ""; return; }
        pw+=("$T_WALL")
        rm -f "$odir"/*
        timed timeout "$conv_timeout" "$converter" --quiet --escape-html --rfc4180 --output-dir "$odir" "$input"
        conv_ok || { add_row "$name" "$(mb "$bytes") MB" "failed" "" "" "$goal" "" "" ""; return; }
        ow+=("$T_WALL") orss+=("$T_RSS")
        rr+=("$(ratio "${ow[-1]}" "${pw[-1]}")")
        rm -f "$adir"/*
        timed bash -c 'awk_convert "$@"' _ options "$input" "$adir"
        aw+=("$T_WALL") ra+=("$(ratio "${ow[-1]}" "${aw[-1]}")")
        printf '   round %d: both options %s s (%s MiB), plain %s s: ratio %s; awk with escapes %s s, against awk %s\n' \
            "$i" "$(fmt "${ow[-1]}" 3)" "$((${orss[-1]} / 1024))" "$(fmt "${pw[-1]}" 3)" "${rr[-1]}" \
            "$(fmt "${aw[-1]}" 3)" "${ra[-1]}"
    done
    mv "$adir/options.htm" "$adir/$(basename "$input" .csv).htm"
    row_awk="**$(median "${ra[@]}")x** (awk $(fmt "$(median "${aw[@]}")") s, $(same_documents "$odir" "$adir"))"
    local mo mp mr rss_kib rss_ratio
    mo=$(median "${ow[@]}")
    mp=$(median "${pw[@]}")
    mr=$(median "${rr[@]}")
    rss_kib=$(printf '%s\n' "${orss[@]}" | sort -n | tail -n 1)
    rss_ratio=$(awk -v r="$rss_kib" -v b="$bytes" 'BEGIN { printf "%.2f", r * 1024 / b }')
    echo "   median: both options $(fmt "$mo" 3) s, plain $(fmt "$mp" 3) s; ratio $mr; peak RSS $((rss_kib / 1024)) MiB"
    add_row "$name" "$(mb "$bytes") MB" "$(fmt "$mo" 2) s" \
        "$(awk -v b="$bytes" -v t="$mo" 'BEGIN { printf "%.1f", b / 1e6 / t }') MB/s" \
        "**${mr}x** plain conversion ($(fmt "$mp" 2) s)" "$goal" "$(met "$mr" 1.5)" "$((rss_kib / 1024)) MiB" \
        "${rss_ratio}x"
}

# ---------------------------------------------------------------------------------------------------------------
# The small files: one invocation for all of them; the floor writes each document's size with conv=fsync.

bench_small() {
    local dir="${wpath[small]}" n="${wfiles[small]}" bytes="${wbytes[small]}"
    echo "== small: $n files of $((bytes / n)) bytes, $small_rounds round(s)"
    # Every run writes into a folder of its own, and the documents are deleted with the other outputs at the end
    # of the benchmark: ext4 without a journal is slow to make files for a while after many were deleted (it
    # passes over recently freed inodes), which would charge a run for the deletions before it. Documents left
    # by a benchmark that was cut short are deleted here, and the file system is given time to settle.
    local base_dir="$out/small-runs" cdir fdir files
    if [ -d "$base_dir" ]; then
        rm -rf "$base_dir"
        sync
        echo "   (waiting 30 s: the documents of an earlier run were just deleted)"
        sleep 30
    fi
    mkdir -p "$base_dir"
    files=("$dir"/*.csv)
    cat "${files[@]}" >/dev/null

    # The floor starts one dd per file; starting the same dd doing nothing, for a sample of 1,000 files scaled
    # to all of them, measures what those starts cost, so the floor without them is the data's own cost. Both
    # figures are printed.
    local list="$tmp/small-floor.txt" f base sample=$((n < 1000 ? n : 1000))
    local floor_script spawn_script
    floor_script='while read -r src size dst; do dd if="$src" of="$dst" ibs="$size" obs=1M count=1 conv=sync,fsync status=none; done'
    spawn_script='while read -r src size dst; do dd if=/dev/null of=/dev/null status=none; done'
    local adir ndir
    local cw=() cr=() fw=() pw=() raw=() net=() aw=() ra=() nw=() i
    for ((i = 1; i <= small_rounds; i++)); do
        cdir="$base_dir/conv-$i" fdir="$base_dir/floor-$i" adir="$base_dir/awk-$i" ndir="$base_dir/nosync-$i"
        mkdir -p "$cdir" "$fdir" "$adir" "$ndir"
        # Each run starts with nothing dirty in the page cache: the converter's syncfs would otherwise write back
        # what awk left unsynced, and the kernel's own write-back of it would slow whatever runs next.
        sync
        timed timeout "$conv_timeout" "$converter" --quiet --output-dir "$cdir" "${files[@]}"
        conv_ok || { add_row "small" "$n files" "failed" "" "" "<= 1.5x (synced)" "" "" ""; return; }
        cw+=("$T_WALL") cr+=("$T_RSS")
        sync
        timed bash -c 'awk_convert "$@"' _ small "$dir" "$adir"
        aw+=("$T_WALL") ra+=("$(ratio "${cw[-1]}" "${aw[-1]}")")
        if [ -n "$nosync_lib" ]; then
            sync
            timed env LD_PRELOAD="$nosync_lib" timeout "$conv_timeout" "$converter" --quiet --output-dir "$ndir" "${files[@]}"
            conv_ok || { add_row "small" "$n files" "failed" "" "" "<= 1.5x (synced)" "" "" ""; return; }
            nw+=("$T_WALL")
        fi
        local last_nosync=n/a
        [ -z "$nosync_lib" ] || last_nosync=$(fmt "${nw[-1]}" 3)
        if ((i == 1)); then
            # One line per file: source, its document's size, the floor's output.
            : >"$list"
            for f in "${files[@]}"; do
                base="${f##*/}"
                base="${base%.*}.htm"
                [ -f "$cdir/$base" ] || { echo "   no document for $f"; return; }
                printf '%s %s %s\n' "$f" "$(stat -c %s "$cdir/$base")" "$base" >>"$list"
            done
        fi
        timed bash -c "cd '$fdir' && $floor_script" <"$list"
        fw+=("$T_WALL")
        timed bash -c "$spawn_script" < <(head -n "$sample" "$list")
        pw+=("$(awk -v t="$T_WALL" -v n="$n" -v s="$sample" 'BEGIN { printf "%.4f", t * n / s }')")
        raw+=("$(ratio "${cw[-1]}" "${fw[-1]}")")
        net+=("$(awk -v c="${cw[-1]}" -v f="${fw[-1]}" -v p="${pw[-1]}" 'BEGIN { if (f - p > 0) printf "%.2f", c / (f - p); else print "n/a" }')")
        printf '   round %d: converter %s s, floor %s s (of which %s s starting dd), ratio %s, without the starts %s; awk %s s, against awk %s; converter without syncs %s s\n' \
            "$i" "$(fmt "${cw[-1]}" 3)" "$(fmt "${fw[-1]}" 3)" "$(fmt "${pw[-1]}" 3)" "${raw[-1]}" "${net[-1]}" \
            "$(fmt "${aw[-1]}" 3)" "${ra[-1]}" "$last_nosync"
    done
    row_awk="**$(median "${ra[@]}")x** (awk $(fmt "$(median "${aw[@]}")") s, $(same_documents "$cdir" "$adir"))"
    row_nosync=$(nosync_cell "$(median "${cw[@]}")" "${nw[@]}" -- "${cw[@]}")
    echo "   against awk: ${row_awk//\*/}; without syncs: $row_nosync"
    small_ran=1
    local mc raw_m net_m rss_kib per_file
    mc=$(median "${cw[@]}")
    raw_m=$(median "${raw[@]}")
    net_m=$(median "${net[@]}")
    rss_kib=$(printf '%s\n' "${cr[@]}" | sort -n | tail -n 1)
    per_file=$(awk -v t="$mc" -v n="$n" 'BEGIN { printf "%.2f", t / n * 1000 }')
    echo "   median: converter $(fmt "$mc" 3) s ($per_file ms a file); ratio to the synced floor $net_m" \
        "(to the floor with its dd starts: $raw_m); peak RSS $((rss_kib / 1024)) MiB"
    add_row "small" "$n files, $(mb "$bytes") MB" "$(fmt "$mc" 2) s" "$per_file ms/file" \
        "**${net_m}x** (with dd starts $raw_m)" "<= 1.5x (synced)" "$(met "$net_m" 1.5)" "$((rss_kib / 1024)) MiB" ""
}

# ---------------------------------------------------------------------------------------------------------------
# The passes that depend on the text, in memory: the UTF-8 check and the cutting, on the ASCII and the non-ASCII
# workload, in MB of source a second. The goal: non-ASCII text within 1.2x of ASCII's throughput.

bench_text() {
    local goal="non-ASCII within 1.2x of ASCII (MB/s)"
    if ! usable bench_text; then
        echo "== text passes: skipped (bench_text is not built)"
        add_row "text passes (in memory)" "" "skipped" "" "" "$goal" "" "" ""
        return
    fi
    echo "== text passes in memory: csv100 and nonascii, $rounds round(s) each, medians"
    local w pass
    declare -A mbs
    for w in csv100 nonascii; do
        timed "$bin/bench_text" "${wpath[$w]}" "$rounds"
        if [ "$T_STATUS" -ne 0 ]; then
            echo "   bench_text FAILED on $w (exit $T_STATUS)"
            add_row "text passes (in memory)" "" "failed" "" "" "$goal" "" "" ""
            return
        fi
        for pass in check cut both; do
            mbs[$w,$pass]=$(sed -n "s/.*${pass}_mbs=\([0-9.]*\).*/\1/p" "$tmp/stdout.txt")
        done
        echo "   $w: UTF-8 check ${mbs[$w,check]} MB/s, cutting ${mbs[$w,cut]} MB/s, both ${mbs[$w,both]} MB/s"
    done
    local label r
    for pass in check cut both; do
        case $pass in
        check) label="UTF-8 check (in memory)" ;;
        cut) label="cutting (in memory)" ;;
        both) label="check and cutting (in memory)" ;;
        esac
        r=$(ratio "${mbs[csv100,$pass]}" "${mbs[nonascii,$pass]}")
        add_row "$label" "csv100, nonascii" "" "${mbs[csv100,$pass]} / ${mbs[nonascii,$pass]} MB/s" \
            "**${r}x** (ASCII / non-ASCII throughput)" "$goal" "$(met "$r" 1.2)" "" ""
    done
}

# ---------------------------------------------------------------------------------------------------------------
# "Add All" on the tree against find, warm cache.

bench_scan() {
    local tree="${wpath[tree]}" n=$rounds
    local probe=""
    ! usable bench_scan || probe=$("$bin/bench_scan" "$tree" csv 2>/dev/null || true)
    if [[ "$probe" != *files=* ]]; then
        echo "== scan: skipped (bench_scan is not built$([ -z "${build_failed[bench_scan]:-}" ] || echo ': its build failed'))"
        add_row "scan (Add All)" "${wfiles[tree]} files" "skipped" "" "" "<= 3x find" "" "" ""
        return
    fi
    echo "== scan: ${wfiles[tree]} files, $n round(s), warm cache"
    find "$tree" -type f >/dev/null
    local sw=() fw=() r=() i count
    for ((i = 1; i <= n; i++)); do
        timed "$bin/bench_scan" "$tree" csv
        sw+=("$T_WALL")
        count=$(sed -n 's/.*files=\([0-9]*\).*/\1/p' "$tmp/stdout.txt")
        timed find "$tree" -type f
        fw+=("$T_WALL")
        r+=("$(ratio "${sw[-1]}" "${fw[-1]}")")
        printf '   round %d: scan %s s (%s files), find %s s (%s files), ratio %s\n' "$i" "$(fmt "${sw[-1]}" 3)" \
            "${count:-?}" "$(fmt "${fw[-1]}" 3)" "$(wc -l <"$tmp/stdout.txt")" "${r[-1]}"
    done
    local m
    m=$(median "${r[@]}")
    echo "   median: scan $(fmt "$(median "${sw[@]}")" 3) s, find $(fmt "$(median "${fw[@]}")" 3) s, ratio $m"
    add_row "scan (Add All)" "${wfiles[tree]} files" "$(fmt "$(median "${sw[@]}")" 3) s" "" "**${m}x** find" "<= 3x find" \
        "$(met "$m" 3)" "" ""
}

# ---------------------------------------------------------------------------------------------------------------
# The window's responsiveness while it converts the 100 MB workload.

bench_gui() {
    local prog="$bin/bench_gui_responsiveness" input="${wpath[csv100]}"
    if ! usable bench_gui_responsiveness; then
        echo "== window responsiveness: skipped (bench_gui_responsiveness is not built$([ -z "${build_failed[bench_gui_responsiveness]:-}" ] || echo ': its build failed'))"
        add_row "window responsiveness" "" "skipped" "" "" "gap <= 50 ms, <= 1.2x converter" "" "" ""
        return
    fi
    local n=$((rounds < 3 ? rounds : 3))
    echo "== window responsiveness on csv100, offscreen: $n round(s), each paired with ostrand-convert"
    local gdir="$out/gui" cdir="$out/conv-gui"
    mkdir -p "$gdir" "$cdir"
    local gaps=() runs=() rel=() i gap run where
    for ((i = 1; i <= n; i++)); do
        rm -f "$cdir"/*
        timed timeout "$conv_timeout" "$converter" --quiet --output-dir "$cdir" "$input"
        conv_ok || return
        local cw=$T_WALL
        rm -f "$gdir"/*
        timed env QT_QPA_PLATFORM=offscreen timeout "$conv_timeout" "$prog" "$input" "$gdir"
        gap=$(sed -n 's/.*max_gap_ms=\([0-9.]*\).*/\1/p' "$tmp/stdout.txt" | tail -n 1)
        run=$(sed -n 's/.*run_s=\([0-9.]*\).*/\1/p' "$tmp/stdout.txt" | tail -n 1)
        where=$(sed -n 's/.*gap_progress=\([0-9.]*\)/\1/p' "$tmp/stdout.txt" | tail -n 1)
        if [ "$T_STATUS" -ne 0 ] || [ -z "$gap" ] || [ -z "$run" ]; then
            echo "   bench_gui_responsiveness FAILED (exit $T_STATUS):"
            head -c 600 "$tmp/stdout.txt" "$tmp/stderr.txt" | sed 's/^/     /'
            add_row "window responsiveness" "" "failed" "" "" "gap <= 50 ms, <= 1.2x converter" "" "" ""
            return
        fi
        gaps+=("$gap") runs+=("$run") rel+=("$(ratio "$run" "$cw")")
        printf '   round %d: longest gap %s ms (progress %s), window run %s s, converter %s s, ratio %s; peak RSS %s MiB\n' \
            "$i" "$gap" "${where:-?}" "$run" "$(fmt "$cw" 3)" "${rel[-1]}" "$((T_RSS / 1024))"
    done
    local mg mr mrel gui_met
    mg=$(median "${gaps[@]}")
    mr=$(median "${runs[@]}")
    mrel=$(median "${rel[@]}")
    gui_met=$(met "$mg" 50)
    [ "$(met "$mrel" 1.2)" = yes ] || gui_met="**NO**"
    echo "   median: longest gap $mg ms, window run $(fmt "$mr" 3) s = ${mrel}x ostrand-convert"
    add_row "window responsiveness" "$(mb "${wbytes[csv100]}") MB" "$(fmt "$mr" 2) s (window)" "" \
        "gap **$mg ms**, run **${mrel}x** converter" "gap <= 50 ms, <= 1.2x converter" "$gui_met" "" ""
}

# ---------------------------------------------------------------------------------------------------------------
# The window's run of many small files, drawn on a real X server (Xvfb): from the click on "Start Converting" to
# "Done.", paired round by round with the converter's whole run on the same files. Each run writes into a folder
# of its own; the documents are deleted once every round is timed.

bench_window() {
    local prog="$bin/bench_gui_responsiveness" goal="<= 1.5x converter, gap <= 50 ms"
    local why=""
    usable bench_gui_responsiveness || why="bench_gui_responsiveness is not built"
    command -v Xvfb >/dev/null || why="Xvfb is missing (bash scripts/setup.sh bench installs it)"
    if [ -n "$why" ]; then
        echo "== window run of small files: skipped ($why)"
        add_row "window, small files (Xvfb)" "" "skipped" "" "" "$goal" "" "" ""
        return
    fi
    local xdir="$tmp/xvfb" xvfb_pid display
    mkdir -p "$xdir"
    Xvfb -displayfd 3 -noreset -screen 0 1280x1024x24 -nolisten tcp 3>"$xdir/display" >"$xdir/log" 2>&1 &
    xvfb_pid=$!
    for _ in $(seq 100); do [ -s "$xdir/display" ] && break; sleep 0.1; done
    if [ ! -s "$xdir/display" ]; then
        kill "$xvfb_pid" 2>/dev/null
        echo "== window run of small files: skipped (Xvfb did not start: $(head -c 300 "$xdir/log"))"
        add_row "window, small files (Xvfb)" "" "skipped" "" "" "$goal" "" "" ""
        return
    fi
    display=":$(tr -d '[:space:]' <"$xdir/display")"
    local w n=$small_rounds
    for w in files3k files20k; do
        echo "== window run of ${wfiles[$w]} small files on Xvfb ($display): $n round(s), each paired with ostrand-convert"
        local gaps=() runs=() convs=() rel=() i gap run same="" failed=""
        for ((i = 1; i <= n; i++)); do
            local cdir="$out/window-$w-$i-conv" gdir="$out/window-$w-$i-gui"
            mkdir -p "$cdir" "$gdir"
            timed timeout "$conv_timeout" "$converter" --quiet --output-dir "$cdir" "${wpath[$w]}"
            conv_ok || { failed=1; break; }
            local cw=$T_WALL
            timed env -u WAYLAND_DISPLAY QT_QPA_PLATFORM=xcb DISPLAY="$display" \
                timeout "$conv_timeout" "$prog" "${wpath[$w]}" "$gdir"
            gap=$(sed -n 's/.*max_gap_ms=\([0-9.]*\).*/\1/p' "$tmp/stdout.txt" | tail -n 1)
            run=$(sed -n 's/.*run_s=\([0-9.]*\).*/\1/p' "$tmp/stdout.txt" | tail -n 1)
            if [ "$T_STATUS" -ne 0 ] || [ -z "$gap" ] || [ -z "$run" ]; then
                echo "   bench_gui_responsiveness FAILED (exit $T_STATUS):"
                head -c 600 "$tmp/stdout.txt" "$tmp/stderr.txt" | sed 's/^/     /'
                failed=1
                break
            fi
            [ -n "$same" ] || same=$(same_documents "$cdir" "$gdir")
            gaps+=("$gap") runs+=("$run") convs+=("$cw") rel+=("$(ratio "$run" "$cw")")
            printf '   round %d: window %s s (longest gap %s ms), converter %s s, ratio %s; peak RSS %s MiB\n' \
                "$i" "$run" "$gap" "$(fmt "$cw" 3)" "${rel[-1]}" "$((T_RSS / 1024))"
        done
        rm -rf "$out"/window-"$w"-*
        if [ -n "$failed" ]; then
            add_row "window, ${wfiles[$w]} small files (Xvfb)" "" "failed" "" "" "$goal" "**NO**" "" ""
            continue
        fi
        local mg mr mc mrel win_met
        mg=$(median "${gaps[@]}")
        mr=$(median "${runs[@]}")
        mc=$(median "${convs[@]}")
        mrel=$(median "${rel[@]}")
        win_met=$(met "$mg" 50)
        [ "$(met "$mrel" 1.5)" = yes ] || win_met="**NO**"
        echo "   median: window $(fmt "$mr" 3) s, converter $(fmt "$mc" 3) s, ratio ${mrel}; longest gap $mg ms;" \
            "documents $same"
        add_row "window, ${wfiles[$w]} small files (Xvfb)" "$(mb "${wbytes[$w]}") MB" "$(fmt "$mr" 2) s (window)" "" \
            "**${mrel}x** converter ($(fmt "$mc" 2) s), gap **$mg ms**, documents $same" "$goal" "$win_met" "" ""
    done
    kill "$xvfb_pid" 2>/dev/null
    wait "$xvfb_pid" 2>/dev/null || true
}

# ---------------------------------------------------------------------------------------------------------------
# The window's file list filled by "Add All" on the tree.

bench_append() {
    local prog="$bin/bench_gui_append" tree="${wpath[tree]}" goal="gap <= 100 ms"
    if ! usable bench_gui_append; then
        echo "== window Add All: skipped (bench_gui_append is not built$([ -z "${build_failed[bench_gui_append]:-}" ] || echo ': its build failed'))"
        add_row "window Add All" "${wfiles[tree]} files" "skipped" "" "" "$goal" "" "" ""
        return
    fi
    local n=$((rounds < 3 ? rounds : 3))
    echo "== window Add All on the tree, offscreen: $n round(s)"
    local gaps=() runs=() i gap run entries
    for ((i = 1; i <= n; i++)); do
        timed env QT_QPA_PLATFORM=offscreen timeout "$conv_timeout" "$prog" "$tree" csv
        gap=$(sed -n 's/.*max_gap_ms=\([0-9.]*\).*/\1/p' "$tmp/stdout.txt" | tail -n 1)
        run=$(sed -n 's/.*run_s=\([0-9.]*\).*/\1/p' "$tmp/stdout.txt" | tail -n 1)
        entries=$(sed -n 's/.*entries=\([0-9]*\).*/\1/p' "$tmp/stdout.txt" | tail -n 1)
        if [ "$T_STATUS" -ne 0 ] || [ -z "$gap" ] || [ -z "$run" ]; then
            echo "   bench_gui_append FAILED (exit $T_STATUS):"
            head -c 600 "$tmp/stdout.txt" "$tmp/stderr.txt" | sed 's/^/     /'
            add_row "window Add All" "${wfiles[tree]} files" "failed" "" "" "$goal" "" "" ""
            return
        fi
        gaps+=("$gap") runs+=("$run")
        printf '   round %d: %s entries in %s s, longest gap %s ms; peak RSS %s MiB\n' "$i" "${entries:-?}" "$run" "$gap" \
            "$((T_RSS / 1024))"
    done
    local mg mr
    mg=$(median "${gaps[@]}")
    mr=$(median "${runs[@]}")
    echo "   median: longest gap $mg ms, run $(fmt "$mr" 3) s"
    add_row "window Add All" "${entries:-?} entries" "$(fmt "$mr" 2) s (window)" "" "gap **$mg ms**" "$goal" \
        "$(met "$mg" 100)" "$((T_RSS / 1024)) MiB" ""
}

# ---------------------------------------------------------------------------------------------------------------
# Large inputs: a source over 2^31 bytes and one line of 500 MB must convert exactly. awk writes each source and,
# from the same fields, the document the converter must write, straight into sha256sum: the check needs no second
# converter and no copy of the expected document on disk.

header_line="<html><title></title><body><table width='100%' style='color:#000000' border='1' bgcolor='#FFFFFF'><tbody>"

# large_case NAME BYTES AWK-GENERATOR: makes the source (SOURCE_BYTES of it, about), converts it and compares.
large_case() {
    local name="$1" bytes="$2" generator="$3"
    local dir="$work/large" doc_estimate=$((bytes * 3 / 2))
    local need=$((bytes + doc_estimate + 512 * 1024 * 1024)) avail
    mkdir -p "$dir"
    avail=$(df -B1 --output=avail "$dir" | tail -n 1)
    if [ "$avail" -lt "$need" ]; then
        echo "== $name: SKIPPED: $(mb "$need") MB of disk needed in $dir, $(mb "$avail") MB free"
        add_row "$name" "$(mb "$bytes") MB" "skipped (disk)" "" "" "exact document" "" "" ""
        return
    fi
    echo "== $name: making the source and the expected document's checksum"
    local src="$dir/$name.csv" cdir="$dir/out"
    rm -rf "$cdir" && mkdir -p "$cdir"
    LC_ALL=C awk -v bytes="$bytes" -v src="$src" -v header="$header_line" "$generator" |
        tee >(wc -c >"$dir/expected-size") | sha256sum | cut -d' ' -f1 >"$dir/expected-sum"
    local src_bytes expected_size expected_sum
    src_bytes=$(stat -c %s "$src")
    expected_size=$(tr -d ' ' <"$dir/expected-size")
    expected_sum=$(cat "$dir/expected-sum")
    echo "   source $src_bytes bytes ($([ "$src_bytes" -gt 2147483648 ] && echo over || echo under) 2^31)"
    sync
    timed timeout 1800 "$converter" --quiet --output-dir "$cdir" "$src"
    if ! conv_ok; then
        add_row "$name" "$(mb "$src_bytes") MB" "failed" "" "" "exact document" "**NO**" "" ""
        rm -rf "$dir"
        return
    fi
    local doc="$cdir/$name.htm" got_size got_sum verdict
    got_size=$(stat -c %s "$doc" 2>/dev/null || echo 0)
    got_sum=$(sha256sum "$doc" | cut -d' ' -f1)
    verdict=yes
    [ "$got_size" = "$expected_size" ] && [ "$got_sum" = "$expected_sum" ] || verdict="**NO**"
    echo "   document $got_size bytes (expected $expected_size), sha256 $got_sum (expected $expected_sum): exact: $verdict"
    echo "   converter $(fmt "$T_WALL") s, peak RSS $((T_RSS / 1024)) MiB"
    add_row "$name" "$(mb "$src_bytes") MB" "$(fmt "$T_WALL" 2) s" \
        "$(awk -v b="$src_bytes" -v t="$T_WALL" 'BEGIN { printf "%.1f", b / 1e6 / t }') MB/s" \
        "document $(mb "$got_size") MB, size and sha256 as expected: $verdict" "exact document" "$verdict" \
        "$((T_RSS / 1024)) MiB" "$(awk -v r="$T_RSS" -v b="$src_bytes" 'BEGIN { printf "%.2fx", r * 1024 / b }')"
    rm -rf "$dir"
}

bench_large() {
    # Lines of three fields, each line numbered so that no stretch of the source repeats: a document put
    # together from the wrong offsets cannot match by chance.
    local many_lines='BEGIN {
        ORS = ""; printf "%s\r\n", header
        pad = "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789abcdefghijklmn"
        n = int(bytes / 106) + 1
        for (i = 0; i < n; i++) {
            a = sprintf("%012d", i); b = substr(pad, 1 + i % 13, 50); c = sprintf("%d-%s", i * 7, substr(pad, 1 + i % 29, 30))
            printf "%s,%s,%s\r\n", a, b, c > src
            printf "<tr>\r\n<td>%s</td><td>%s</td><td>%s</td></tr>\r\n", a, b, c
        }
        printf "</body></html>\r\n"
    }'
    # One line, no line end, of numbered fields of about 100 bytes.
    local one_line='BEGIN {
        ORS = ""; printf "%s\r\n<tr>\r\n", header
        pad = "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ"
        n = int(bytes / 100) + 1
        for (i = 0; i < n; i++) {
            f = sprintf("%010d%s", i, substr(pad, 1 + i % 17, 89))
            printf "%s%s", (i ? "," : ""), f > src
            printf "<td>%s</td>", f
        }
        printf "</tr>\r\n</body></html>\r\n"
    }'
    local big line
    big=$(awk -v s="$scale" 'BEGIN { printf "%.0f", 2500000000 * s }')
    line=$(awk -v s="$scale" 'BEGIN { printf "%.0f", 500000000 * s }')
    large_case large2500 "$big" "$many_lines"
    large_case oneline500 "$line" "$one_line"
}

# ---------------------------------------------------------------------------------------------------------------
# Huge: a source larger than the machine's memory. It is sparse: NUL bytes that take no room on the disk, with a
# short numbered line every 8 MiB, so that its fields are long and its document is about as large as the source.

bench_huge() {
    local dir="$work/huge" mem_bytes avail size every=$((8 * 1024 * 1024)) reserve=$((10 * 1000 * 1000 * 1000))
    mem_bytes=$(($(awk '/^MemTotal:/ { print $2 }' /proc/meminfo) * 1024))
    mkdir -p "$dir"
    rm -rf "${dir:?}"/*
    avail=$(df -B1 --output=avail "$dir" | tail -n 1)
    # At least 1.5 times the memory; 40 GB where the disk has room for that document and some to spare.
    size=$((mem_bytes * 3 / 2))
    [ $((40 * 1000 * 1000 * 1000 + reserve)) -gt "$avail" ] || [ "$size" -ge $((40 * 1000 * 1000 * 1000)) ] ||
        size=$((40 * 1000 * 1000 * 1000))
    size=$(((size + every - 1) / every * every))
    if [ "$avail" -lt $((size + reserve)) ]; then
        echo "== huge: SKIPPED: its document needs $(mb "$size") MB of disk and $(mb "$reserve") MB are kept free;" \
            "$(mb "$avail") MB are free in $dir"
        add_row "huge" "$(mb "$size") MB" "skipped (disk)" "" "" "converts, memory flat" "" "" ""
        return
    fi
    echo "== huge: a sparse source of $(mb "$size") MB ($(awk -v s="$size" -v m="$mem_bytes" 'BEGIN { printf "%.2f", s / m }')x the memory)"
    local src="$dir/huge.csv" cdir="$dir/out" n=$((size / every - 1)) k
    mkdir -p "$cdir"
    truncate -s "$size" "$src"
    for ((k = 1; k <= n; k++)); do
        printf '\r\n%08d,huge,line\r\n' "$k" | dd of="$src" bs=1 seek=$((k * every)) conv=notrunc status=none
    done
    # Each run of NUL bytes is a row of one cell, each numbered line a row of three.
    local expected=$(($(printf '%s\r\n' "$header_line" | wc -c) + size + 22 + 56 * n + 16))
    sync
    timed timeout 7200 "$converter" --quiet --output-dir "$cdir" "$src"
    if ! conv_ok; then
        add_row "huge" "$(mb "$size") MB" "failed" "" "" "converts, memory flat" "**NO**" "" ""
        rm -rf "$dir"
        return
    fi
    local got verdict=yes
    got=$(stat -c %s "$cdir/huge.htm" 2>/dev/null || echo 0)
    [ "$got" = "$expected" ] && [ "$(tail -c 72 "$cdir/huge.htm" | tr -d '\0')" = \
        "$(printf '</td></tr>\r\n</body></html>\r\n')" ] || verdict="**NO**"
    echo "   document $got bytes (expected $expected): $verdict; converter $(fmt "$T_WALL") s," \
        "$(awk -v b="$size" -v t="$T_WALL" 'BEGIN { printf "%.1f", b / 1e6 / t }') MB/s, peak RSS $((T_RSS / 1024)) MiB"
    add_row "huge (sparse)" "$(mb "$size") MB" "$(fmt "$T_WALL" 1) s" \
        "$(awk -v b="$size" -v t="$T_WALL" 'BEGIN { printf "%.1f", b / 1e6 / t }') MB/s" \
        "document $(mb "$got") MB, size as expected: $verdict" "converts, memory flat" "$verdict" \
        "$((T_RSS / 1024)) MiB" "$(awk -v r="$T_RSS" -v b="$size" 'BEGIN { printf "%.4fx", r * 1024 / b }')"
    rm -rf "$dir"
}

# ---------------------------------------------------------------------------------------------------------------
# Before and after: the converter against another one (--before, an earlier build) on the 100 MB workloads. The
# two run one after the other in each round, in turns first, so that both meet the same load; the median of the
# round ratios is the figure. Their documents must be the same bytes.

pair_rows=()
# Runs one converter of a pair on the input (a file or a folder) into the folder, or, with pair_stdin set, on the
# file given to its standard input through a pipe.
pair_run() {
    local prog="$1" dir="$2" input="$3"
    shift 3
    if [ -n "${pair_stdin:-}" ]; then
        timed timeout "$conv_timeout" bash -c 'cat "$1" | "$0" --quiet "${@:3}" - >"$2/stdin.htm"' \
            "$prog" "$input" "$dir" "$@"
    else
        timed timeout "$conv_timeout" "$prog" --quiet "$@" --output-dir "$dir" "$input"
    fi
}

bench_pair() {
    local name="$1" input="${wpath[$2]}" bytes="${wbytes[$2]}"
    shift 2
    echo "== before/after: $name, $(mb "$bytes") MB, $rounds round(s)"
    local bdir="$out/before" adir="$out/after"
    rm -rf "$bdir" "$adir"
    mkdir -p "$bdir" "$adir"
    if [ -d "$input" ]; then
        find "$input" -type f -exec cat {} + >/dev/null
    else
        cat "$input" >/dev/null
    fi
    local bw=() aw=() br=() ar=() r=() i which
    for ((i = 1; i <= rounds; i++)); do
        for which in $( ((i % 2)) && echo before after || echo after before); do
            # Each run writes into a new folder: a folder that has just lost thousands of documents makes the next
            # run in it slower by seconds here, whichever program it is.
            if [ "$which" = before ]; then
                rm -rf "$bdir" && mkdir -p "$bdir"
                pair_run "$before" "$bdir" "$input" "$@"
                conv_ok || return
                bw+=("$T_WALL") br+=("$T_RSS")
            else
                rm -rf "$adir" && mkdir -p "$adir"
                pair_run "$converter" "$adir" "$input" "$@"
                conv_ok || return
                aw+=("$T_WALL") ar+=("$T_RSS")
            fi
        done
        r+=("$(ratio "${aw[-1]}" "${bw[-1]}")")
        printf '   round %d: before %s s (%s MiB), after %s s (%s MiB): ratio %s\n' "$i" "$(fmt "${bw[-1]}" 3)" \
            "$((${br[-1]} / 1024))" "$(fmt "${aw[-1]}" 3)" "$((${ar[-1]} / 1024))" "${r[-1]}"
    done
    local same="yes" mr brss arss
    diff -rq "$bdir" "$adir" >/dev/null || same="**NO**"
    mr=$(median "${r[@]}")
    brss=$(printf '%s\n' "${br[@]}" | sort -n | tail -n 1)
    arss=$(printf '%s\n' "${ar[@]}" | sort -n | tail -n 1)
    echo "   median: before $(fmt "$(median "${bw[@]}")" 3) s, after $(fmt "$(median "${aw[@]}")" 3) s, ratio $mr;" \
        "peak RSS $((brss / 1024)) -> $((arss / 1024)) MiB; same document: $same"
    pair_rows+=("| $name | $(mb "$bytes") MB | $(fmt "$(median "${bw[@]}")" 2) s | $(fmt "$(median "${aw[@]}")" 2) s | **${mr}x** | <= 1.05x | $(met "$mr" 1.05) | $((brss / 1024)) MiB | $((arss / 1024)) MiB | $same |")
}

bench_pairs() {
    if [ -z "$before" ] || [ ! -x "$before" ]; then
        echo "== before/after: skipped (--before names no converter)"
        return
    fi
    bench_pair csv100 csv100
    bench_pair "csv100 --escape-html --rfc4180" csv100 --escape-html --rfc4180
    bench_pair utf16 utf16
    bench_pair longlines longlines
    bench_pair nonascii nonascii
    bench_pair "small files" small
    pair_stdin=1 bench_pair "csv100 through a pipe" csv100
}

wine_rows=()
# The Windows converter under Wine against this converter on one workload, paired round by round; the ratio is
# given as measured and with Wine's start-up (wine_start, the median of --version under Wine) taken out.
bench_wine_pair() {
    local name="$1" input="${wpath[$1]}" bytes="${wbytes[$1]}"
    echo "== Windows under Wine: $name, $(mb "$bytes") MB, $rounds round(s)"
    local ldir="$out/linux" wdir="$out/windows" winput wout
    rm -rf "$ldir" "$wdir"
    mkdir -p "$ldir" "$wdir"
    winput=$(winepath -w "$input" 2>/dev/null)
    wout=$(winepath -w "$wdir" 2>/dev/null)
    if [ -d "$input" ]; then find "$input" -type f -exec cat {} + >/dev/null; else cat "$input" >/dev/null; fi
    local lw=() ww=() r=() i which
    for ((i = 1; i <= rounds; i++)); do
        for which in $( ((i % 2)) && echo linux windows || echo windows linux); do
            if [ "$which" = linux ]; then
                rm -rf "$ldir" && mkdir -p "$ldir"
                timed timeout "$conv_timeout" "$converter" --quiet --output-dir "$ldir" "$input"
                conv_ok || return
                lw+=("$T_WALL")
            else
                rm -rf "$wdir" && mkdir -p "$wdir"
                timed timeout "$conv_timeout" wine "$windows_converter" --quiet --output-dir="$wout" "$winput"
                conv_ok || return
                ww+=("$T_WALL")
            fi
        done
        r+=("$(ratio "${ww[-1]}" "${lw[-1]}")")
        printf '   round %d: Linux %s s, Windows under Wine %s s: ratio %s\n' "$i" "$(fmt "${lw[-1]}" 3)" \
            "$(fmt "${ww[-1]}" 3)" "${r[-1]}"
    done
    local same="yes" ml mw
    diff -rq "$ldir" "$wdir" >/dev/null || same="**NO**"
    ml=$(median "${lw[@]}") mw=$(median "${ww[@]}")
    local net
    net=$(awk -v w="$mw" -v s="$wine_start" -v l="$ml" 'BEGIN { d = w - s; if (d < 0) d = 0; printf "%.2f", d / l }')
    echo "   median: Linux $(fmt "$ml" 3) s, Windows under Wine $(fmt "$mw" 3) s, ratio $(median "${r[@]}");" \
        "without Wine's start-up ${net}; same documents: $same"
    wine_rows+=("| $name | $(mb "$bytes") MB | $(fmt "$ml" 2) s | $(fmt "$mw" 2) s | **$(median "${r[@]}")x** | $(fmt "$wine_start" 2) s | ${net}x | $same |")
}

bench_wine() {
    if [ ! -f "$windows_converter" ] || ! command -v wine >/dev/null; then
        echo "== Windows under Wine: skipped (no $windows_converter, or no wine: bash scripts/windows.sh builds it)"
        return
    fi
    export WINEPREFIX="${WINEPREFIX:-$root/build-windows/wine}" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
    # Wine's start-up: the Windows converter answering --version, with the Wine server already running (as it is
    # for the conversions, which follow one another closely).
    wine "$windows_converter" --version >/dev/null 2>&1 || true
    local starts=() i
    for ((i = 1; i <= rounds; i++)); do
        timed wine "$windows_converter" --version
        starts+=("$T_WALL")
    done
    wine_start=$(median "${starts[@]}")
    echo "== Windows under Wine: start-up (--version) $(fmt "$wine_start" 3) s, median of $rounds"
    local w
    for w in csv100 utf16 longlines nonascii small; do
        bench_wine_pair "$w"
    done
}

# ---------------------------------------------------------------------------------------------------------------
# Run

start=$EPOCHREALTIME
load_start=$(cut -d' ' -f1 /proc/loadavg)
if [ -n "$have_converter" ]; then
    wanted csv100 && bench_file csv100 "<= 6x, RSS <= 3.5x input" 6 3.5
    wanted options && bench_options
    wanted utf16 && bench_file utf16 "<= 8x" 8
    wanted longlines && bench_file longlines "throughput within 1.5x of csv100's" tput:1.5
    wanted nonascii && bench_file nonascii "<= 10x" 10
    wanted small && bench_small
    wanted large && bench_large
    wanted huge && bench_huge
    wanted pairs && bench_pairs
    wanted wine && bench_wine
fi
wanted text && bench_text
wanted scan && bench_scan
if [ -n "$have_converter" ]; then
    wanted gui && bench_gui
    wanted window && bench_window
elif wanted gui || wanted window; then
    echo "== window runs: skipped (they are compared with ostrand-convert, which is not built)"
fi
wanted append && bench_append

if [ -n "${tput[csv100]:-}" ] && [ -n "${tput[longlines]:-}" ]; then
    note "Long lines: csv100 runs at ${tput[csv100]} MB/s, longlines at ${tput[longlines]} MB/s:" \
        "$(ratio "${tput[csv100]}" "${tput[longlines]}")x (csv100 / longlines, goal at most 1.5x)."
fi
if ((floor_sync_count + floor_plain_count > 0)); then
    note "Large files: the floor is \`dd bs=1M\` reading the input, then \`dd bs=1M\` writing a file of the document's" \
        "size. The ratio in bold is against the floor that syncs that file (conv=fsync): the converter's atomic save" \
        "syncs every document (checked in each run: the machine's dirty memory does not grow by the document)," \
        "and a floor that skipped the sync would charge the converter for durability that the floor skips." \
        "In brackets: against the plain floor / the synced floor."
fi
if ((floor_plain_count > 0)); then
    note "Marked unsynced: the converter left that document unsynced, so the ratio in bold is against the plain floor."
fi
note "Against awk: the converter's time over an awk one-liner's (\`awk -v FS=,\` with a loop over the fields," \
    "LC_ALL=C; mawk here) making the same document, paired round by round; below 1 the converter is faster. awk" \
    "does not sync its output. UTF-16 goes through \`iconv -f UTF-16LE\` first; with the document options awk" \
    "escapes with gsub (the workload holds no quotes); the small files are one awk process. \"identical\": awk's" \
    "documents are byte for byte the converter's."
[ -z "$nosync_lib" ] || note "Without syncs: the converter timed with bench_nosync preloaded, which makes fsync, fdatasync, syncfs" \
    "and sync_file_range do nothing (a benchmark-only library; the programs have no such switch). \"syncs cost\":" \
    "the median of the paired differences, i.e. what durability costs on this machine."
[ -z "${small_ran:-}" ] || note "Small files: the floor runs one dd per file (read the 2 KB source, write the document's size, conv=fsync);" \
    "starting those dd processes (measured in the same round on 1,000 of them) is taken out, since the converter" \
    "starts once."

{
    echo "Scale $scale, $rounds round(s) for the large workloads, $small_rounds for the small files;" \
        "$(nproc) cores, $(awk '/^MemTotal:/ { printf "%.0f", $2 / 1048576 }' /proc/meminfo) GiB, $(date -u +%Y-%m-%d);" \
        "load average $load_start at the start, $(cut -d' ' -f1 /proc/loadavg) at the end (above the core count, other" \
        "work shared the machine and the absolute times are inflated; the paired ratios suffer less)."
    echo
    echo "| workload | input | converter (median) | throughput | converter / floor (median of pairs) | against awk (median of pairs) | without syncs | goal | met | peak RSS | RSS / input |"
    echo "|---|---|---|---|---|---|---|---|---|---|---|"
    printf '%s\n' "${rows[@]}"
    echo
    if ((${#pair_rows[@]} > 0)); then
        echo "Before and after, paired round by round (before: $before):"
        echo
        echo "| workload | input | before (median) | after (median) | after / before (median of pairs) | goal | met | peak RSS before | peak RSS after | same document |"
        echo "|---|---|---|---|---|---|---|---|---|---|"
        printf '%s\n' "${pair_rows[@]}"
        echo
    fi
    if ((${#wine_rows[@]} > 0)); then
        echo "The Windows converter under Wine ($windows_converter) beside this one, paired round by round:"
        echo
        echo "| workload | input | Linux (median) | Windows under Wine (median) | Wine / Linux (median of pairs) | Wine's start-up | Wine / Linux without the start-up | same documents |"
        echo "|---|---|---|---|---|---|---|---|"
        printf '%s\n' "${wine_rows[@]}"
        echo
    fi
    for line in "${notes[@]}"; do echo "- $line"; done
} >"$results"
# The documents and floor files (about 2 GB at full scale) are not kept; the workloads are, for the next run.
rm -rf "$out" "$tmp"
echo
echo "== results (also in $results), $(awk -v a="$start" -v b="$EPOCHREALTIME" 'BEGIN { printf "%.0f", b - a }') s"
cat "$results"
