#!/bin/bash
# Whole processes side by side: the command-line comparison "tandex /f"
# against the tools a script would otherwise call, on the same pairs, in
# one run, without a display.
#
#   bench/batch_bench.sh [TANDEX]        (default: build/app/tandex)
#   BENCH_RUNS=N                         runs per command, the best counts (3)
#
# The text pairs are real versions: this repository's own C++ sources at
# two commits of its history, cut to 10,000 and to 1,000,000 lines (the
# large one strings together the trees of 15 pairs of successive commits).
# Two made-up pairs stress the search: 1,000,000 lines "a" against
# 1,000,000 lines "b" (no line in common), and 40,000 against 40,000 lines
# drawn from one vocabulary of 1,000 lines (seeded). Against
# "diff --minimal" and "git diff --no-index --minimal". The binary pairs
# are two identical files of 64 MiB, against "cmp", and the same file
# against a copy with a few bytes changed, against "cmp -l | wc -l". The
# window row is the first paint of window-bench (next to TANDEX) on the
# 10,000-line pair with the default settings. Tandex runs
# twice per text pair: with its default settings, which pair similar lines
# (fuzzy pairing), and with that pairing off, which is closer to what the
# other tools do.
#
# Prints one row per command: best wall time, its peak memory, and the
# ratios of Tandex's best times to that command's. Exits non-zero when a
# command gives an unexpected exit status (each must find the pair equal
# or different, as it is).
set -euo pipefail

here=$(cd "$(dirname "$0")" && pwd)
repo=$(cd "$here/.." && pwd)
tandex=$(readlink -f "${1:-$repo/build/app/tandex}")
runs=${BENCH_RUNS:-3}
[ -x "$tandex" ] || { echo "batch_bench: no program at $tandex" >&2; exit 2; }
for tool in git diff cmp python3 /usr/bin/time; do
    command -v "$tool" >/dev/null || { echo "batch_bench: $tool is missing (scripts/setup.sh)" >&2; exit 2; }
done
# The pairs come from a fixed stretch of history, so every run compares
# the same texts.
base=1890f32f43e2e12a151ce1960e7979236177b046
git -C "$repo" cat-file -e "$base^{commit}" 2>/dev/null ||
    { echo "batch_bench: commit $base of this repository's history is needed" >&2; exit 2; }

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
unset DISPLAY WAYLAND_DISPLAY QT_QPA_PLATFORM
export XDG_CONFIG_HOME=$work/config
printf '[Tandex]\nTCFPEnabled=0\n' > "$work/nofuzzy.ini"

# ---- the pairs ------------------------------------------------------------

mapfile -t revs < <(git -C "$repo" rev-list --first-parent --reverse "$base")
# Every .cpp and .h below the paths at a commit, in path order.
sources() {
    local rev=$1
    shift
    git -C "$repo" archive "$rev" "$@" | tar -xO --wildcards '*.cpp' '*.h'
}
sources "${revs[80]}" access > "$work/t10k.l.all"
sources "${revs[88]}" access > "$work/t10k.r.all"
: > "$work/t1m.l.all"
: > "$work/t1m.r.all"
for ((i = 88; i >= 60; i -= 2)); do
    sources "${revs[i - 1]}" >> "$work/t1m.l.all"
    sources "${revs[i]}" >> "$work/t1m.r.all"
done
# Cut from whole files: a pipe closed early would fail the run.
for pair in t10k:10000 t1m:1000000; do
    for side in l r; do
        head -n "${pair#*:}" "$work/${pair%:*}.$side.all" > "$work/${pair%:*}.$side"
        rm "$work/${pair%:*}.$side.all"
    done
done
{ yes a || true; } | head -n 1000000 > "$work/none.l"  # yes ends by SIGPIPE
{ yes b || true; } | head -n 1000000 > "$work/none.r"
python3 -c 'import random, sys
random.seed(58)
words = ["%d %08x" % (i, random.getrandbits(32)) for i in range(1000)]
for side in sys.argv[1:]:
    with open(side, "w") as f:
        f.writelines(random.choice(words) + "\n" for _ in range(40000))' "$work/rand.l" "$work/rand.r"
python3 -c 'import random, sys
random.seed(29)
sys.stdout.buffer.write(random.randbytes(64 << 20))' > "$work/bin.l"
cp "$work/bin.l" "$work/bin.r"
# A few bytes changed in place, at the start, in the middle and at the end.
cp "$work/bin.l" "$work/patch.r"
for at in 0 1000000 33554432 67108863; do
    printf '\377' | dd of="$work/patch.r" bs=1 seek="$at" conv=notrunc status=none
done

# ---- timing ---------------------------------------------------------------

# time_best EXPECTED_STATUS COMMAND...: sets best (milliseconds of wall
# time) and rss (peak KiB) of the fastest of the runs.
time_best() {
    local expected=$1
    shift
    best=
    rss=
    for ((n = 0; n < runs; n++)); do
        local status=0 start end ms
        start=$(date +%s%N)
        /usr/bin/time -o "$work/time" -f '%M' "$@" > /dev/null 2> "$work/err" || status=$?
        end=$(date +%s%N)
        if [ "$status" -ne "$expected" ]; then
            echo "batch_bench: '$*' ended with $status, expected $expected" >&2
            cat "$work/err" >&2
            exit 1
        fi
        ms=$(((end - start) / 1000000))
        if [ -z "$best" ] || [ "$ms" -lt "$best" ]; then
            best=$ms
            # time(1) puts a line of its own before the figure when the
            # command fails.
            rss=$(tail -n 1 "$work/time")
        fi
    done
}

# row PAIR COMMAND: the last timing, and how many times longer the two
# Tandex runs of the pair took.
row() {
    local ratios="" t
    if [ "${2#tandex}" = "$2" ]; then
        for t in "$tdx" "$tdx_plain"; do
            [ -n "$t" ] && ratios+=$(awk -v t="$t" -v b="$best" 'BEGIN { printf "%9.1f", t / (b > 0 ? b : 1) }')
        done
    fi
    printf '%-7s %-32s %8d ms %9d KiB%s\n' "$1" "$2" "$best" "$rss" "$ratios"
}

printf '%-7s %-32s %11s %13s %9s %9s\n' pair command wall 'peak memory' 'tandex/x' 'plain/x'
for pair in t10k t1m rand none; do
    l=$work/$pair.l
    r=$work/$pair.r
    time_best 1 "$tandex" /f "$l" "$r"
    tdx=$best
    tdx_plain=
    row "$pair" "tandex /f"
    time_best 1 "$tandex" /f "$l" "$r" "/IniFile=$work/nofuzzy.ini"
    tdx_plain=$best
    row "$pair" "tandex /f, fuzzy pairing off"
    time_best 1 diff --minimal "$l" "$r"
    row "$pair" "diff --minimal"
    time_best 1 git -c core.pager=cat diff --no-index --minimal --no-color --no-ext-diff "$l" "$r"
    row "$pair" "git diff --no-index --minimal"
done
time_best 0 "$tandex" /f "$work/bin.l" "$work/bin.r"
tdx=$best
tdx_plain=
row bin64m "tandex /f"
time_best 0 cmp "$work/bin.l" "$work/bin.r"
row bin64m "cmp"
time_best 1 "$tandex" /f "$work/bin.l" "$work/patch.r"
tdx=$best
row patch "tandex /f"
time_best 0 sh -c 'cmp -l "$1" "$2" | wc -l' cmp "$work/bin.l" "$work/patch.r"
row patch "cmp -l | wc -l"
# window-bench reports its own first paint; the best of the runs counts.
window=$(dirname "$tandex")/../bench/window-bench
if [ -x "$window" ]; then
    best=
    for ((n = 0; n < runs; n++)); do
        /usr/bin/time -o "$work/time" -f '%M' "$window" "$work/t10k.l" "$work/t10k.r" > "$work/out" 2> "$work/err" ||
            { echo "batch_bench: window-bench failed" >&2; cat "$work/err" >&2; exit 1; }
        ms=$(sed -n 's/.*first_paint_ms=\([0-9]*\).*/\1/p' "$work/out")
        if [ -z "$best" ] || [ "$ms" -lt "$best" ]; then
            best=$ms
            rss=$(tail -n 1 "$work/time")
        fi
    done
    tdx=
    row t10k "window-bench first paint"
fi
echo "tandex/x: Tandex's best time over the command's; plain/x: the same with fuzzy pairing off"
