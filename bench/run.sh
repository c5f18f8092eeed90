#!/usr/bin/env bash
# Tidelin's benchmark: builds what it needs, makes its inputs in each place (a new folder in
# the memory file system /dev/shm and one on the disk under /var/tmp, or the FOLDERs given),
# with TMPDIR in the same place, and prints one line per case: the median of several
# alternating runs and the ratios measured in the same run. Every copy that a run works on is
# made and flushed to disk (sync) before the clock starts, so no case pays for another's writes.
#   bench/run.sh [FOLDER...]
#   BENCH_RUNS=N        runs per case (default 5)
#   BENCH_CASES="..."   a subset of: files tree folder50 folder report filter options memory yield (default all;
#                       without yield the build leaves the window out)
# The walks run on all cores and on one (TIDELIN_THREADS), beside the reference tool spread
# over every core with xargs -P and run file by file.
set -euo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/../scripts/common.sh"

runs="${BENCH_RUNS:-5}"
cases=" ${BENCH_CASES:-files tree folder50 folder report filter options memory yield} "
wants() { [[ "$cases" == *" $1 "* ]]; }
engine_only=ON
if wants yield; then engine_only=OFF; fi

install_missing "${BUILD_PACKAGES[@]}" dos2unix time
TIDELIN_BUILD="$TIDELIN_ROOT/build-bench" configure_and_build -DCMAKE_BUILD_TYPE=Release \
    -DTIDELIN_BUILD_BENCH=ON -DTIDELIN_BUILD_TESTS=OFF -DTIDELIN_ENGINE_ONLY=$engine_only >/dev/null
bin="$TIDELIN_ROOT/build-bench"
convert="$bin/bin/tidelin-convert"
data="$bin/bench/tidelin-bench-data"

places=("$@")
made=()
if [ ${#places[@]} -eq 0 ]; then
    places=("$(mktemp -d /dev/shm/tidelin-bench.XXXXXX)" "$(mktemp -d /var/tmp/tidelin-bench.XXXXXX)")
    made=("${places[@]}")
fi
trap 'cd /; [ ${#made[@]} -eq 0 ] || rm -rf "${made[@]}"' EXIT

now() { date +%s.%N; }
# seconds COMMAND...: runs it and prints how long it took.
seconds() { local t0; t0=$(now); "$@" >/dev/null; awk -v a="$(now)" -v b="$t0" 'BEGIN { printf "%.6f", a - b }'; }
median() { printf '%s\n' "$@" | sort -g | awk '{ v[NR] = $1 } END { printf "%.3f", v[int((NR + 1) / 2)] }'; }
ratio() { awk -v a="$1" -v b="$2" 'BEGIN { printf "%.2f", a / b }'; }
copy() { rm -rf "$2"; cp -a "$1" "$2"; sync; }

# compare NAME SOURCE TIDELIN-ARGS REFERENCE-TOOL: Tidelin, the reference tool, cp and cat on
# copies of the same file, alternating.
compare() {
    local name="$1" source="$2" args="$3" tool="$4"
    local t=() r=() c=() k=()
    for _ in $(seq "$runs"); do
        copy "$source" t.txt; t+=("$(seconds "$convert" $args --file t.txt)")
        copy "$source" r.txt; r+=("$(seconds "$tool" -q r.txt)")
        rm -f c.txt; sync; c+=("$(seconds cp "$source" c.txt)")
        rm -f k.txt; sync; k+=("$(seconds sh -c 'cat "$1" >k.txt' sh "$source")")
    done
    cmp -s t.txt r.txt || { echo "FAILED: $name: Tidelin and $tool disagree"; exit 1; }
    local tm rm cm km
    tm=$(median "${t[@]}"); rm=$(median "${r[@]}"); cm=$(median "${c[@]}"); km=$(median "${k[@]}")
    printf '%-26s tidelin %6.3f s | %-8s %6.3f s | cp %6.3f s | cat %6.3f s | %5.1fx faster than %s, %4.2fx cp, %4.2fx cat\n' \
        "$name" "$tm" "$tool" "$rm" "$cm" "$km" "$(ratio "$rm" "$tm")" "$tool" "$(ratio "$tm" "$cm")" "$(ratio "$tm" "$km")"
}

# walk NAME MASTER: Tidelin's folder walk on all cores and on one against the reference tool
# spread over every core (find | xargs -P) and run by find alone, on copies of MASTER.
walk() {
    local name="$1" master="$2" t=() one=() p=() r=()
    for _ in $(seq "$runs"); do
        copy "$master" t; t+=("$(seconds env TIDELIN_THREADS="$threads" "$convert" --win-to-unix --folder "$PWD/t")")
        copy "$master" one; one+=("$(seconds env TIDELIN_THREADS=1 "$convert" --win-to-unix --folder "$PWD/one")")
        copy "$master" p; p+=("$(seconds sh -c 'find "$1" -type f -print0 | xargs -0 -P"$(nproc)" -n 100 dos2unix -q' sh p)")
        copy "$master" r; r+=("$(seconds find r -type f -exec dos2unix -q {} +)")
    done
    for out in t one p; do
        diff -r "$out" r >/dev/null || { echo "FAILED: $name: $out and dos2unix disagree"; exit 1; }
    done
    rm -rf t one p r
    # The walk's own thread's share of the processor time, from one more walk in a process of
    # the benchmark's, on the threads above and on 4.
    local shares=() n
    for n in $(printf '%s\n' "$threads" 4 | sort -un); do
        copy "$master" s
        shares+=("$n threads: $(env TIDELIN_THREADS="$n" "$bin/bench/tidelin-bench-walk" "$PWD/s")")
    done
    rm -rf s
    local tm om pm rm
    tm=$(median "${t[@]}"); om=$(median "${one[@]}"); pm=$(median "${p[@]}"); rm=$(median "${r[@]}")
    printf '%-26s tidelin %6.3f s, 1 thread %6.3f s (%4.2fx) | xargs -P%s dos2unix %6.3f s | find+dos2unix %6.3f s | %4.2fx the parallel peer, %4.2fx the serial one\n' \
        "$name" "$tm" "$om" "$(ratio "$tm" "$om")" "$threads" "$pm" "$rm" "$(ratio "$tm" "$pm")" "$(ratio "$tm" "$rm")"
    local IFS=';'
    printf '%-26s %s\n' "  where the time goes" "${shares[*]}"
}

# report MASTER: tidelin-convert --info against dos2unix -i over the same tree, alternating;
# both must count the same CR LF pairs. Nothing is changed, so the tree is not copied.
info() { "$convert" --info "$@" 2>/dev/null || [ $? -eq 1 ]; }
report() {
    local master="$1" t=() r=()
    for _ in $(seq "$runs"); do
        t+=("$(seconds info --win-to-unix --folder "$PWD/$master")")
        r+=("$(seconds find "$master" -type f -exec dos2unix -i {} +)")
    done
    local ours theirs
    ours=$(info --folder "$PWD/$master" | awk '{ n += $1 } END { print n }')
    theirs=$(find "$master" -type f -exec dos2unix -i {} + | awk '{ n += $1 } END { print n }')
    [ "$ours" = "$theirs" ] || { echo "FAILED: report: $ours CR LF counted, dos2unix -i $theirs"; exit 1; }
    local tm rm
    tm=$(median "${t[@]}"); rm=$(median "${r[@]}")
    printf '%-26s tidelin --info %6.3f s | find+dos2unix -i %6.3f s | %4.2fx the reference time\n' \
        "Report, 10,000 files" "$tm" "$rm" "$(ratio "$tm" "$rm")"
}

# filter SOURCE: the filter from a file to a new file in the same place, with the binary test
# (the input waits in a temporary file in TMPDIR) and without it, against cat; alternating.
filter() {
    local source="$1" t=() s=() k=()
    for _ in $(seq "$runs"); do
        rm -f t.txt; sync; t+=("$(seconds sh -c '"$1" --win-to-unix <"$2" >t.txt 2>/dev/null' sh "$convert" "$source")")
        rm -f s.txt; sync; s+=("$(seconds sh -c '"$1" --win-to-unix --convert-binary <"$2" >s.txt 2>/dev/null' sh "$convert" "$source")")
        rm -f k.txt; sync; k+=("$(seconds sh -c 'cat <"$1" >k.txt' sh "$source")")
    done
    cp "$source" r.txt; dos2unix -q r.txt
    cmp -s t.txt r.txt && cmp -s s.txt r.txt || { echo "FAILED: filter: Tidelin and dos2unix disagree"; exit 1; }
    rm -f t.txt s.txt k.txt r.txt
    local tm sm km
    tm=$(median "${t[@]}"); sm=$(median "${s[@]}"); km=$(median "${k[@]}")
    printf '%-26s tidelin %6.3f s (%4.2fx cat) | without the binary test %6.3f s (%4.2fx cat) | cat %6.3f s\n' \
        "Filter, 256 MiB" "$tm" "$(ratio "$tm" "$km")" "$sm" "$(ratio "$sm" "$km")" "$km"
}

# options MASTER: on a copy of the tree already right, a walk with --skip-unchanged against
# one without; and the tree's files named one by one through --files-from against one
# --folder of the same tree. Alternating.
options() {
    local master="$1" plain=() skip=() folder=() list=()
    copy "$master" right
    "$convert" --win-to-unix --folder "$PWD/right" >/dev/null
    for _ in $(seq "$runs"); do
        copy right a; plain+=("$(seconds "$convert" --win-to-unix --folder "$PWD/a")")
        copy right b; skip+=("$(seconds "$convert" --win-to-unix --skip-unchanged --folder "$PWD/b")")
        copy "$master" c; folder+=("$(seconds "$convert" --win-to-unix --folder "$PWD/c")")
        copy "$master" d; find "$PWD/d" -type f >d.list; sync
        list+=("$(seconds "$convert" --win-to-unix --files-from d.list)")
    done
    diff -r a b >/dev/null && diff -r c d >/dev/null || { echo "FAILED: options: the outputs differ"; exit 1; }
    rm -rf right a b c d d.list
    local pm sm fm lm
    pm=$(median "${plain[@]}"); sm=$(median "${skip[@]}"); fm=$(median "${folder[@]}"); lm=$(median "${list[@]}")
    printf '%-26s --skip-unchanged %6.3f s | without %6.3f s | %5.1fx faster\n' \
        "Tree already right" "$sm" "$pm" "$(ratio "$pm" "$sm")"
    printf '%-26s --files-from %6.3f s | --folder %6.3f s | %4.2fx the folder walk\n' \
        "10,000 listed paths" "$lm" "$fm" "$(ratio "$lm" "$fm")"
}

# peak NAME TIDELIN-ARGS...: the largest resident set of one conversion, in KB.
peak() {
    local name="$1"; shift
    printf '%-34s %6d KB\n' "$name" "$(/usr/bin/time -f %M "$convert" "$@" 2>&1 >/dev/null | tail -1)"
}

size=$((256 * 1024 * 1024))
threads=$(nproc)
# Every figure is quoted with the processor it was measured on: a system call's cost, for one,
# differs manyfold between processors.
echo "processor: $(awk -F': *' '/^model name/ { print $2; exit }' /proc/cpuinfo), $(nproc) cores; Linux $(uname -r)"
echo "$("$bin/bench/tidelin-bench-walk" --about) by default"
echo "threads: $threads (Tidelin's walks run with TIDELIN_THREADS=$threads and =1; the parallel peer with xargs -P$threads)"
for place in "${places[@]}"; do
    mkdir -p "$place/tmp"
    export TMPDIR="$place/tmp"
    cd "$place"
    echo "== $place ($(df -T . | awk 'NR==2 {print $2}')), $runs runs per case, medians"
    if wants files; then
        "$data" crlf $size crlf.txt
        "$data" lf $size lf.txt
        "$data" binary $size binary.bin
        sync
        compare "Windows to Unix, 256 MiB" crlf.txt "--win-to-unix" dos2unix
        compare "Unix to Windows, 256 MiB" lf.txt "--unix-to-win" unix2dos
        for input in lf.txt binary.bin; do
            b=()
            for _ in $(seq "$runs"); do b+=("$("$bin/bench/tidelin-bench-binary" "$input" | awk '{print $2}')"); done
            printf '%-26s %s: %s s\n' "Binary test alone, $input" \
                "$("$bin/bench/tidelin-bench-binary" "$input" | awk '{print $1}')" "$(median "${b[@]}")"
        done
        rm -f crlf.txt lf.txt binary.bin [trck].txt
    fi
    if wants tree; then
        "$data" tree tree.master
        walk "Tree of 10,000 files" tree.master
    fi
    if wants folder50; then
        "$data" folder folder50.master 50000
        walk "Folder of 50,000 files" folder50.master
        rm -rf folder50.master
    fi
    if wants folder; then
        "$data" folder folder.master
        walk "Folder of 100,000 files" folder.master
    fi
    if wants report; then
        [ -d tree.master ] || "$data" tree tree.master
        sync
        report tree.master
    fi
    if wants options; then
        [ -d tree.master ] || "$data" tree tree.master
        options tree.master
    fi
    if wants filter; then
        "$data" crlf $size crlf.txt
        sync
        filter crlf.txt
        rm -f crlf.txt
    fi
done

cd "${places[0]}"
if wants memory; then
    echo "== Peak memory (maximum resident set) in ${places[0]}"
    "$data" crlf $((256 * 1024 * 1024)) f.txt
    printf '%-34s %6d KB\n' "Filter, 256 MiB, binary test on" \
        "$(/usr/bin/time -f %M "$convert" --win-to-unix <f.txt 2>&1 >/dev/null | tail -1)"
    rm -f f.txt
    "$data" crlf $((1024 * 1024)) small.txt
    "$data" crlf $((1024 * 1024 * 1024)) large.txt
    peak "1 MiB file" --win-to-unix --file small.txt
    peak "1 GiB file" --win-to-unix --file large.txt
    rm -f small.txt large.txt
    [ -d tree.master ] || "$data" tree tree.master
    [ -d folder.master ] || "$data" folder folder.master
    copy tree.master t; peak "Tree of 10,000 files" --win-to-unix --folder "$PWD/t"
    copy folder.master t; peak "Folder of 100,000 files" --win-to-unix --folder "$PWD/t"
    rm -rf t
fi
if wants yield; then
    "$data" crlf $size y.txt
    read -r window plain percent < <(QT_QPA_PLATFORM=offscreen "$bin/bench/tidelin-bench-yield" y.txt "$runs" 2>/dev/null)
    printf '%-34s %6.3f s with the window, %6.3f s without: %s %%\n' "Yield hook, 256 MiB" "$window" "$plain" "$percent"
    rm -f y.txt
    [ -d tree.master ] || "$data" tree tree.master
    copy tree.master y
    read -r window plain percent < <(QT_QPA_PLATFORM=offscreen "$bin/bench/tidelin-bench-yield" "$PWD/y" "$runs" 2>/dev/null)
    printf '%-34s %6.3f s with the window, %6.3f s without: %s %%\n' "Window hooks, 10,000-file tree" "$window" "$plain" "$percent"
    rm -rf y
fi
