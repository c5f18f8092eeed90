#!/usr/bin/env bash
# Tidelin's benchmark: builds what it needs, makes its inputs in a memory file system (or in
# FOLDER) with TMPDIR on the same file system, and prints one line per case with the median
# of several alternating runs and the ratios measured in the same run.
#   bench/run.sh [FOLDER]        BENCH_RUNS=N sets the number of runs (default 5)
set -euo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/../scripts/common.sh"

install_missing "${BUILD_PACKAGES[@]}" dos2unix time
TIDELIN_BUILD="$TIDELIN_ROOT/build-bench" configure_and_build \
    -DCMAKE_BUILD_TYPE=Release -DTIDELIN_BUILD_BENCH=ON -DTIDELIN_BUILD_TESTS=OFF >/dev/null
bin="$TIDELIN_ROOT/build-bench"
convert="$bin/tools/tidelin-convert"
runs="${BENCH_RUNS:-5}"

work="${1:-}"
if [ -z "$work" ]; then
    work="$(mktemp -d /dev/shm/tidelin-bench.XXXXXX 2>/dev/null || mktemp -d)"
    trap 'rm -rf "$work"' EXIT
fi
mkdir -p "$work/tmp"
export TMPDIR="$work/tmp"
cd "$work"

size=$((256 * 1024 * 1024))
echo "== Making inputs in $work ($(df -hT . | awk 'NR==2 {print $2}'))"
"$bin/bench/tidelin-bench-data" crlf $size crlf.txt
"$bin/bench/tidelin-bench-data" lf $size lf.txt
"$bin/bench/tidelin-bench-data" binary $size binary.bin
"$bin/bench/tidelin-bench-data" tree tree.master
"$bin/bench/tidelin-bench-data" crlf $((1024 * 1024)) small.txt
"$bin/bench/tidelin-bench-data" crlf $((1024 * 1024 * 1024)) large.txt

now() { date +%s.%N; }
# seconds COMMAND...: runs it and prints how long it took.
seconds() { local t0; t0=$(now); "$@" >/dev/null; awk -v a="$(now)" -v b="$t0" 'BEGIN { printf "%.6f", a - b }'; }
median() { sort -g | awk '{ v[NR] = $1 } END { printf "%.3f", v[int((NR + 1) / 2)] }'; }
ratio() { awk -v a="$1" -v b="$2" 'BEGIN { printf "%.2f", a / b }'; }

# compare NAME SOURCE TIDELIN-ARGS REFERENCE-TOOL: Tidelin, the reference tool and cp on the
# same file, alternating.
compare() {
    local name="$1" source="$2" args="$3" tool="$4"
    local t=() r=() c=()
    for _ in $(seq "$runs"); do
        cp "$source" t.txt; t+=("$(seconds "$convert" $args --file t.txt)")
        cp "$source" r.txt; r+=("$(seconds "$tool" -q r.txt)")
        rm -f c.txt; c+=("$(seconds cp "$source" c.txt)")
    done
    cmp -s t.txt r.txt || { echo "FAILED: $name: Tidelin and $tool disagree"; exit 1; }
    local tm rm cm
    tm=$(printf '%s\n' "${t[@]}" | median); rm=$(printf '%s\n' "${r[@]}" | median)
    cm=$(printf '%s\n' "${c[@]}" | median)
    printf '%-34s tidelin %6.3f s | %-8s %6.3f s | cp %6.3f s | %5.1fx faster than %s, %4.2fx cp\n' \
        "$name" "$tm" "$tool" "$rm" "$cm" "$(ratio "$rm" "$tm")" "$tool" "$(ratio "$tm" "$cm")"
}

echo "== $runs runs per case, medians"
compare "Windows to Unix, 256 MiB" crlf.txt "--win-to-unix" dos2unix
compare "Unix to Windows, 256 MiB" lf.txt "--unix-to-win" unix2dos

for input in lf.txt binary.bin; do
    b=()
    for _ in $(seq "$runs"); do b+=("$("$bin/bench/tidelin-bench-binary" "$input" | awk '{print $2}')"); done
    printf '%-34s %s: %s s\n' "Binary test alone, $input" \
        "$("$bin/bench/tidelin-bench-binary" "$input" | awk '{print $1}')" "$(printf '%s\n' "${b[@]}" | median)"
done

t=(); r=()
for _ in $(seq "$runs"); do
    rm -rf t r; cp -a tree.master t; cp -a tree.master r
    t+=("$(seconds "$convert" --win-to-unix --folder "$work/t")")
    r+=("$(seconds find r -type f -exec dos2unix -q {} +)")
done
diff -r t r >/dev/null || { echo "FAILED: folder: Tidelin and dos2unix disagree"; exit 1; }
tm=$(printf '%s\n' "${t[@]}" | median); rm=$(printf '%s\n' "${r[@]}" | median)
printf '%-34s tidelin %6.3f s | find+dos2unix %6.3f s | %4.2fx of the reference time\n' \
    "Tree of 10,000 files, 100 folders" "$tm" "$rm" "$(ratio "$tm" "$rm")"

for input in small.txt large.txt; do
    kb=$(/usr/bin/time -f %M "$convert" --win-to-unix --file "$input" 2>&1 >/dev/null | tail -1)
    mib=$(( $(stat -c %s "$input") / 1048576 ))
    printf '%-34s %6d KB\n' "Peak memory, $mib MiB file" "$kb"
done

cp crlf.txt y.txt
read -r window plain percent < <(QT_QPA_PLATFORM=offscreen "$bin/bench/tidelin-bench-yield" y.txt "$runs" 2>/dev/null)
printf '%-34s %6.3f s with the window, %6.3f s without: %s %%\n' "Yield hook, 256 MiB" "$window" "$plain" "$percent"
rm -rf y; cp -a tree.master y
read -r window plain percent < <(QT_QPA_PLATFORM=offscreen "$bin/bench/tidelin-bench-yield" "$work/y" "$runs" 2>/dev/null)
printf '%-34s %6.3f s with the window, %6.3f s without: %s %%\n' "Window hooks, 10,000-file tree" "$window" "$plain" "$percent"
