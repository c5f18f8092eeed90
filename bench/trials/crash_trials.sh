#!/usr/bin/env bash
# kill -9 trials: a folder walk is killed at a random moment. Every file must hold either its
# old content or its whole new content, and nothing named may be left behind.
# usage: [FACTOR=0.7] bench/trials/crash_trials.sh TOOL FOLDER [TRIALS]
# Kills land at a random moment within FACTOR times one whole walk (default 1).
set -u
tool="$1"; dir="$2"; trials="${3:-30}"
mkdir -p "$dir"; export TMPDIR="$dir/tmp"; mkdir -p "$TMPDIR"
python3 - "$dir/model" <<'PY'
import os, sys, random
root = sys.argv[1]
random.seed(7)
line = b"line of text with a windows break\r\n"
for d in range(4):
    for f in range(15):
        path = os.path.join(root, f"d{d}", f"sub{f % 3}", f"f{f}.txt")
        os.makedirs(os.path.dirname(path), exist_ok=True)
        with open(path, "wb") as out:
            out.write(line * random.choice([10, 1000, 30000, 150000]))
PY
( cd "$dir/model" && find . -type f | sort | while read -r f; do
    printf '%s %s %s\n' "$f" "$(md5sum <"$f" | cut -c1-32)" "$(sed 's/\r$//' "$f" | md5sum | cut -c1-32)"
  done ) >"$dir/sums"
rm -rf "$dir/tree"; cp -a "$dir/model" "$dir/tree"; sync
start=$(date +%s.%N); "$tool" --win-to-unix --folder "$dir/tree" >/dev/null; end=$(date +%s.%N)
duration=$(echo "$end - $start" | bc)
echo "a whole walk takes ${duration}s"
bad=0; mixed=0
for i in $(seq 1 "$trials"); do
    rm -rf "$dir/tree"; cp -a "$dir/model" "$dir/tree"; sync
    delay=$(python3 -c "import random; print(random.uniform(0, $duration * ${FACTOR:-1}))")
    "$tool" --win-to-unix --folder "$dir/tree" >/dev/null 2>&1 &
    pid=$!
    sleep "$delay"; kill -9 $pid; wait $pid 2>/dev/null
    old=0; new=0
    while read -r f oldsum newsum; do
        sum=$(md5sum <"$dir/tree/$f" | cut -c1-32)
        if [ "$sum" = "$oldsum" ]; then old=$((old + 1));
        elif [ "$sum" = "$newsum" ]; then new=$((new + 1));
        else echo "trial $i: $f is neither old nor new"; bad=$((bad + 1)); fi
    done <"$dir/sums"
    extra=$(cd "$dir/tree" && find . -type f | wc -l)
    named=$(ls -A "$TMPDIR" | wc -l)
    if [ "$extra" != "$(wc -l <"$dir/sums")" ] || [ "$named" != 0 ]; then
        echo "trial $i: left behind: $(cd "$dir/tree" && find . -name '.k5ywhqx*') $(ls -A "$TMPDIR")"; bad=$((bad + 1))
    fi
    [ $old -gt 0 ] && [ $new -gt 0 ] && mixed=$((mixed + 1))
    echo "trial $i at ${delay}s: old $old new $new"
done
echo "trials $trials: bad $bad, killed mid-walk (some old, some new) $mixed"
