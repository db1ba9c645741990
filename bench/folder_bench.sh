#!/bin/bash
# The folder comparison against diff on a tree of real files.
#
#   bench/folder_bench.sh [FOLDER-BENCH [TANDEX]]
#                      (defaults: build/bench/folder-bench, build/app/tandex)
#   BENCH_RUNS=N       runs per command, the best counts (3)
#   BENCH_WORK=DIR     where the two trees go (a fresh temporary folder)
#
# The left tree is what the machine has: /usr/include (with the Qt 6
# headers) and /usr/share, copied into numbered subfolders until it holds
# at least 50,000 files; links, devices and FIFOs are left out, so both
# tools see the same regular files. The right tree is a "cp -a" copy,
# changed by a seeded script (bench/seeded_tree_edit.py: edits, same-size
# edits, added, removed and case-renamed files). Both are read once, so
# every command finds them in the page cache.
#
# Then, in one run, each command runs BENCH_RUNS times under time(1):
#   folder-bench L R /cs /cc /ia /it    whole content, times and attributes off
#   folder-bench L R /cs /ia /it        sizes only
#   tandex /d L R /cs /cc /ia /it       the program as a script runs it
#   tandex /d L R /cs /ia /it
#   diff -rq L R                        the baseline
#   diff -r L R
# and one row per command gives its best wall time, the peak memory of that
# run, and its ratio to diff -rq. The goal: the content run no slower than
# diff -rq (ratio <= 1.0). It fails when the content run's difference count
# is not the number of files diff -rq reports ("Only in" folders counted by
# the files they hold).
set -euo pipefail

here=$(cd "$(dirname "$0")" && pwd)
repo=$(cd "$here/.." && pwd)
bench=$(readlink -f "${1:-$repo/build/bench/folder-bench}")
tandex=$(readlink -f "${2:-$repo/build/app/tandex}")
runs=${BENCH_RUNS:-3}
[ -x "$bench" ] || { echo "folder_bench: no program at $bench" >&2; exit 2; }
[ -x "$tandex" ] || { echo "folder_bench: no program at $tandex" >&2; exit 2; }
for tool in diff /usr/bin/python3 /usr/bin/time cp find; do
    command -v "$tool" >/dev/null || { echo "folder_bench: $tool is missing (scripts/setup.sh)" >&2; exit 2; }
done

if [ -n "${BENCH_WORK:-}" ]; then
    work=$BENCH_WORK
    rm -rf "$work/left" "$work/right"
    mkdir -p "$work"
else
    work=$(mktemp -d)
    trap 'rm -rf "$work"' EXIT
fi
L=$work/left
R=$work/right

# ---- the trees ------------------------------------------------------------

mkdir -p "$L"
n=0
count=0
while [ "$count" -lt 50000 ]; do
    n=$((n + 1))
    mkdir -p "$L/$n"
    for src in /usr/include /usr/share; do
        [ -d "$src" ] && cp -r "$src" "$L/$n/" 2>/dev/null || true
    done
    # Only folders and regular files that can be read stay.
    find "$L/$n" ! -type d ! -type f -delete
    find "$L/$n" -type f ! -readable -delete
    new=$(find "$L/$n" -type f | wc -l)
    [ "$new" -gt 0 ] || { echo "folder_bench: nothing to copy from /usr" >&2; exit 2; }
    count=$((count + new))
done
echo "files in the left tree: $count (in $n numbered subfolders)"

cp -a "$L" "$R"
/usr/bin/python3 "$here/seeded_tree_edit.py" "$R" 20240611
find "$L" "$R" -type f -exec cat {} + > /dev/null

# ---- the runs ---------------------------------------------------------------

names=("folder-bench /cs /cc /ia /it" "folder-bench /cs /ia /it" "diff -rq" "diff -r"
    "tandex /d /cs /cc /ia /it" "tandex /d /cs /ia /it")
declare -a best mem
for ((i = 0; i < ${#names[@]}; i++)); do best[i]=; mem[i]=; done
stats=$work/time.txt
content_out=$work/content.txt

run() {
    local i=$1
    shift
    local status=0
    /usr/bin/time -f '%e %M' -o "$stats" "$@" > "$work/out.$i" 2>/dev/null || status=$?
    # diff reports differences with 1; folder-bench only fails with 1 or 2;
    # tandex must report the trees' differences with exactly 1.
    if { [ "$i" -ge 4 ] && [ "$status" -ne 1 ]; } || { [ "$i" -lt 4 ] && [ "$status" -gt 1 ]; } ||
        { [ "$i" -lt 2 ] && [ "$status" -ne 0 ]; }; then
        echo "folder_bench: '${names[i]}' failed with $status" >&2
        exit 1
    fi
    read -r t m < <(tail -n 1 "$stats")
    if [ -z "${best[i]}" ] || awk -v a="$t" -v b="${best[i]}" 'BEGIN { exit !(a < b) }'; then
        best[i]=$t
        mem[i]=$m
    fi
}

for ((r = 0; r < runs; r++)); do
    run 0 "$bench" "$L" "$R" /cs /cc /ia /it
    cp "$work/out.0" "$content_out"
    run 1 "$bench" "$L" "$R" /cs /ia /it
    run 2 diff -rq "$L" "$R"
    cp "$work/out.2" "$work/diff-rq.txt"
    run 3 diff -r "$L" "$R"
    # A script's run: whole processes, start-up included, no display.
    run 4 env -u DISPLAY -u WAYLAND_DISPLAY "$tandex" /d "$L" "$R" /cs /cc /ia /it
    run 5 env -u DISPLAY -u WAYLAND_DISPLAY "$tandex" /d "$L" "$R" /cs /ia /it
done

printf '%-32s %9s %12s %9s\n' "command" "best s" "peak KiB" "/diff -rq"
for ((i = 0; i < ${#names[@]}; i++)); do
    ratio=$(awk -v a="${best[i]}" -v b="${best[2]}" 'BEGIN { printf "%.2f", (b > 0 ? a / b : 0) }')
    printf '%-32s %9s %12s %9s\n' "${names[i]}" "${best[i]}" "${mem[i]}" "$ratio"
done
echo "content run: $(cat "$content_out")"

# The files diff -rq reports: each "differ" line is one, an "Only in" entry
# is one file or every file of its folder.
expected=$(/usr/bin/python3 - "$work/diff-rq.txt" <<'EOF'
import os, sys
total = 0
for line in open(sys.argv[1], encoding="utf-8", errors="surrogateescape"):
    line = line.rstrip("\n")
    if line.startswith("Files ") and line.endswith(" differ"):
        total += 1
    elif line.startswith("Only in "):
        rest = line[len("Only in "):]
        cut = rest.find(": ")
        while cut >= 0 and not os.path.isdir(rest[:cut]):
            cut = rest.find(": ", cut + 1)
        path = os.path.join(rest[:cut], rest[cut + 2:])
        if os.path.isdir(path):
            total += sum(len(files) for _, _, files in os.walk(path))
        else:
            total += 1
print(total)
EOF
)
got=$(sed -n 's/.*differences=\([0-9]*\).*/\1/p' "$content_out")
echo "differences: folder-bench $got, diff -rq $expected"
[ "$got" = "$expected" ] || { echo "folder_bench: the content run's differences are not diff -rq's" >&2; exit 1; }
