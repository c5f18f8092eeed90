#!/usr/bin/env bash
# Concurrent-edit trials: another program edits a large file at a random moment while it
# converts. Counts conversions that report success but lost the edit.
# usage: bench/trials/edit_trials.sh TOOL FOLDER [TRIALS] [SIZE_MB]
# TOOL is a built tidelin-convert; FOLDER a new folder on the disk to test (it is filled).
set -u
tool="$1"; dir="$2"; trials="${3:-30}"; size_mb="${4:-250}"
mkdir -p "$dir"; export TMPDIR="$dir/tmp"; mkdir -p "$TMPDIR"
base="$dir/base.txt"
python3 - "$base" "$size_mb" <<'PY'
import sys
line = b"0123456789abcdefghijklmnopqrstuvwxyz0123456789abcdefghijklmnopqrstuvwxyz\r\n"
with open(sys.argv[1], "wb") as f:
    n = int(sys.argv[2]) * 1048576 // len(line)
    f.write(line * n)
PY
size=$(stat -c %s "$base")
# The time one conversion takes, to spread the edits over it.
cp "$base" "$dir/f.txt"; sync
start=$(date +%s.%N); "$tool" --win-to-unix --file "$dir/f.txt" >/dev/null; end=$(date +%s.%N)
duration=$(echo "$end - $start" | bc)
echo "conversion of $size bytes takes ${duration}s"
lost=0; refused=0; before=0; races=0; kinds=(append overwrite truncate rename)
declare -A lostBy
for i in $(seq 1 "$trials"); do
    kind=${kinds[$((i % 4))]}
    cp "$base" "$dir/f.txt"; sync
    delay=$(python3 -c "import random; print(random.uniform(0, $duration * 1.1))")
    "$tool" --win-to-unix --file "$dir/f.txt" >/dev/null 2>"$dir/err" &
    pid=$!
    sleep "$delay"
    case $kind in
        append) printf 'EDIT-MARKER\r\n' >>"$dir/f.txt" ;;
        overwrite) printf 'EDIT-MARKER' | dd of="$dir/f.txt" conv=notrunc status=none ;;
        truncate) truncate -s 1000 "$dir/f.txt" ;;
        rename) printf 'EDIT-MARKER saved\r\n' >"$dir/new.txt"; mv "$dir/new.txt" "$dir/f.txt" ;;
    esac
    running=0; kill -0 $pid 2>/dev/null && running=1
    wait $pid; status=$?
    if [ $kind = truncate ]; then
        kept=$([ "$(stat -c %s "$dir/f.txt")" -le 1000 ] && echo 1 || echo 0)
    else
        kept=$(grep -c EDIT-MARKER "$dir/f.txt" 2>/dev/null | head -1)
        [ "$kept" -gt 0 ] && kept=1
    fi
    [ $running = 1 ] && races=$((races + 1))
    if [ $status = 0 ] && [ "$kept" = 0 ]; then
        lost=$((lost + 1)); lostBy[$kind]=$(( ${lostBy[$kind]:-0} + 1 ))
        echo "trial $i ($kind at ${delay}s): LOST"
    elif [ $status != 0 ]; then
        refused=$((refused + 1))
        grep -q "Error 57" "$dir/err" || echo "trial $i: unexpected failure: $(cat "$dir/err")"
    else
        before=$((before + 1))
    fi
done
echo "trials $trials, $races with the edit made while the program ran: edit lost (exit 0) $lost; refused with 57, edit kept $refused; converted with the edit in it $before"
ls -A "$dir" | grep -v -e '^base.txt$' -e '^f.txt$' -e '^tmp$' -e '^err$' && echo "LEFT OVER above" || true
ls -A "$TMPDIR"
