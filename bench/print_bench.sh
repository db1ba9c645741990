#!/bin/bash
# A printed comparison against a side-by-side diff typeset to PDF.
#
#   bench/print_bench.sh [PRINT-BENCH]     (default: build/bench/print-bench)
#   BENCH_RUNS=N       runs per command, the best counts (3)
#
# The input is about 10,000 lines of the machine's Qt 6 headers; the right
# file is a copy changed by bench/seeded_edit.py. In one run, each command
# runs BENCH_RUNS times under time(1):
#   print-bench LEFT RIGHT out.pdf
#   diff -y -W 200 LEFT RIGHT | enscript -q -r -f Courier8 -o - | ps2pdf - out.pdf
# and one row per command gives its best wall time, the peak memory of that
# run and its ratio to the pipeline. The goal: print-bench no slower than
# the pipeline (ratio <= 1.0). print-bench's own line (pages, render and
# print times) and the size of its page store's temporary file follow.
set -euo pipefail

here=$(cd "$(dirname "$0")" && pwd)
repo=$(cd "$here/.." && pwd)
bench=$(readlink -f "${1:-$repo/build/bench/print-bench}")
runs=${BENCH_RUNS:-3}
[ -x "$bench" ] || { echo "print_bench: no program at $bench" >&2; exit 2; }
for tool in diff enscript ps2pdf pdfinfo /usr/bin/python3 /usr/bin/time; do
    command -v "$tool" >/dev/null || { echo "print_bench: $tool is missing (scripts/setup.sh)" >&2; exit 2; }
done
headers=
for dir in /usr/include/*/qt6 /usr/include/qt6; do
    [ -d "$dir/QtCore" ] && { headers=$dir; break; }
done
[ -n "$headers" ] || { echo "print_bench: no Qt 6 headers under /usr/include" >&2; exit 2; }

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
L=$work/left.txt
R=$work/right.txt
find "$headers/QtCore" "$headers/QtGui" -name 'q*.h' -type f | sort | xargs cat | awk 'NR <= 10000' > "$L"
/usr/bin/python3 "$here/seeded_edit.py" "$L" "$R" 20240611
echo "input: $(wc -l < "$L") and $(wc -l < "$R") lines"

names=("print-bench" "diff -y | enscript | ps2pdf")
declare -a best mem
best=("" "")
mem=("" "")
stats=$work/time.txt

run() {
    local i=$1
    shift
    local status=0
    /usr/bin/time -f '%e %M' -o "$stats" "$@" > "$work/out.$i" 2> "$work/err.$i" || status=$?
    if [ "$status" -ne 0 ]; then
        echo "print_bench: '${names[i]}' failed with $status" >&2
        cat "$work/err.$i" >&2
        exit 1
    fi
    read -r t m < <(tail -n 1 "$stats")
    if [ -z "${best[i]}" ] || awk -v a="$t" -v b="${best[i]}" 'BEGIN { exit !(a < b) }'; then
        best[i]=$t
        mem[i]=$m
    fi
}

for ((r = 0; r < runs; r++)); do
    run 0 "$bench" "$L" "$R" "$work/tandex.pdf"
    cp "$work/out.0" "$work/bench-line.txt"
    grep -h 'temp_file_kb=' "$work/err.0" > "$work/temp-line.txt" || true
    # diff reports differences with 1: the pipeline's status is the last
    # command's.
    run 1 sh -c "diff -y -W 200 '$L' '$R' | enscript -q -r -f Courier8 -o - | ps2pdf - '$work/pipeline.pdf'"
done

printf '%-30s %9s %12s %9s\n' "command" "best s" "peak KiB" "/pipeline"
for ((i = 0; i < ${#names[@]}; i++)); do
    ratio=$(awk -v a="${best[i]}" -v b="${best[1]}" 'BEGIN { printf "%.2f", (b > 0 ? a / b : 0) }')
    printf '%-30s %9s %12s %9s\n' "${names[i]}" "${best[i]}" "${mem[i]}" "$ratio"
done
echo "print-bench: $(cat "$work/bench-line.txt") $(cat "$work/temp-line.txt")"
echo "pages: print-bench $(pdfinfo "$work/tandex.pdf" | sed -n 's/^Pages: *//p'), pipeline $(pdfinfo "$work/pipeline.pdf" | sed -n 's/^Pages: *//p')"
