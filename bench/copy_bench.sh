#!/bin/bash
# The copy engine beside cp -r and rsync -a.
#
#   bench/copy_bench.sh [COPY-BENCH]     (default: build/bench/copy-bench)
#   BENCH_RUNS=N       runs per command, the best counts (3)
#   BENCH_WORK=DIR     where the sets and copies go (a fresh temporary folder;
#                      the copies land on the sets' file system)
#   BENCH_SETS="a b"   which sets to run (both)
#
# Sets, made once:
#   (a) many small files: the regular files of /usr/include and
#       /usr/share/doc (links, devices, FIFOs and empty folders left out);
#   (b) a few large files: three 512 MiB files from /dev/urandom.
# Both are read once first, so every command finds them in the page cache.
#
# For each set the commands run interleaved, BENCH_RUNS rounds, each into a
# fresh folder, each followed by diff -r against the set:
#   cp -r SET OUT           the baseline
#   rsync -a SET/ OUT/
#   copy-bench SET OUT      buffers of 128 KiB (index 2), 200 of them
#   copy-bench SET OUT 0    32 KiB buffers
#   copy-bench SET OUT 7    4 MiB buffers
# and one row per command gives its best elapsed time, the peak memory of
# that run (time -f %M), and its ratio to cp -r. Goals: (b) at most 1.0,
# (a) at most 1.5; the engine's peak memory within its ring (200 x the
# buffer size) plus a fixed allowance, alike for both sets. The script
# fails when a copy is not identical to its set.
set -euo pipefail

here=$(cd "$(dirname "$0")" && pwd)
repo=$(cd "$here/.." && pwd)
bench=$(readlink -f "${1:-$repo/build/bench/copy-bench}")
runs=${BENCH_RUNS:-3}
sets=${BENCH_SETS:-a b}
[ -x "$bench" ] || { echo "copy_bench: no program at $bench" >&2; exit 2; }
for tool in cp rsync diff /usr/bin/time find head; do
    command -v "$tool" >/dev/null || { echo "copy_bench: $tool is missing (scripts/deps/folders.txt)" >&2; exit 2; }
done

if [ -n "${BENCH_WORK:-}" ]; then
    work=$BENCH_WORK
    mkdir -p "$work"
else
    work=$(mktemp -d)
    trap 'rm -rf "$work"' EXIT
fi

make_set_a() {
    [ -d "$work/set-a" ] && return
    mkdir -p "$work/set-a.tmp"
    for src in /usr/include /usr/share/doc; do
        [ -d "$src" ] && cp -r "$src" "$work/set-a.tmp/" 2>/dev/null || true
    done
    find "$work/set-a.tmp" ! -type d ! -type f -delete
    find "$work/set-a.tmp" -type f ! -readable -delete
    # The engine copies files: folders left empty would differ in diff -r.
    find "$work/set-a.tmp" -type d -empty -delete
    mv "$work/set-a.tmp" "$work/set-a"
}

make_set_b() {
    [ -d "$work/set-b" ] && return
    mkdir -p "$work/set-b.tmp"
    for i in 1 2 3; do
        head -c $((512 << 20)) /dev/urandom > "$work/set-b.tmp/large$i.bin"
    done
    mv "$work/set-b.tmp" "$work/set-b"
}

# One timed run: prints "seconds peak-KiB"; the copy is checked and removed.
run_one() {
    local set=$1 kind=$2 out=$work/out
    rm -rf "$out"
    local stats=$work/stats
    case $kind in
        cp) /usr/bin/time -f '%e %M' -o "$stats" cp -r "$set" "$out" ;;
        rsync) /usr/bin/time -f '%e %M' -o "$stats" rsync -a "$set/" "$out/" ;;
        engine*)
            local idx=${kind#engine}
            mkdir -p "$out"
            /usr/bin/time -f '%e %M' -o "$stats" "$bench" "$set" "$out" "$idx" 200 > "$work/engine.out" ||
                { echo "copy_bench: copy-bench failed: $(cat "$work/engine.out")" >&2; exit 1; } ;;
    esac
    if ! diff -r "$set" "$out" > /dev/null; then
        echo "copy_bench: $kind made a copy that differs from $set" >&2
        exit 1
    fi
    rm -rf "$out"
    cat "$stats"
}

kinds="cp rsync engine2 engine0 engine7"
label() {
    case $1 in
        cp) echo "cp -r" ;;
        rsync) echo "rsync -a" ;;
        engine2) echo "copy-bench 128KiB x200" ;;
        engine0) echo "copy-bench 32KiB x200" ;;
        engine7) echo "copy-bench 4MiB x200" ;;
    esac
}

for s in $sets; do
    "make_set_$s"
    set=$work/set-$s
    files=$(find "$set" -type f | wc -l)
    bytes=$(du -sb "$set" | cut -f1)
    # Warm cache.
    find "$set" -type f -exec cat {} + > /dev/null
    declare -A best=() peak=()
    for ((round = 1; round <= runs; round++)); do
        for k in $kinds; do
            read -r secs kib < <(run_one "$set" "$k")
            if [ -z "${best[$k]:-}" ] || awk -v a="$secs" -v b="${best[$k]}" 'BEGIN { exit !(a < b) }'; then
                best[$k]=$secs
                peak[$k]=$kib
            fi
        done
    done
    echo "set ($s): $files files, $bytes bytes, best of $runs"
    printf '  %-24s %9s %11s %8s\n' command seconds peak-KiB ratio
    for k in $kinds; do
        ratio=$(awk -v a="${best[$k]}" -v b="${best[cp]}" 'BEGIN { printf "%.2f", (b > 0 ? a / b : 0) }')
        printf '  %-24s %9s %11s %8s\n' "$(label "$k")" "${best[$k]}" "${peak[$k]}" "$ratio"
    done
    unset best peak
done
