#!/bin/bash
# The real program started under a file-size limit: from the start of
# main() it must ignore SIGXFSZ, so that a write past the limit fails with
# its error code and is cleaned up instead of the signal ending the program.
# It then stays up, offscreen, until it is told to quit, and leaves no
# half-written file in its folders.
#   file_size_limit_test.sh PROGRAM
set -u
program=$1
work=$(mktemp -d) || exit 1
trap 'rm -rf "$work"' EXIT

ulimit -f 8
QT_QPA_PLATFORM=offscreen XDG_CONFIG_HOME="$work/config" XDG_CACHE_HOME="$work/cache" \
    "$program" &
pid=$!

# Ignored signals show in the kernel's mask of the process (SIGXFSZ is
# signal 25, bit 24); wait until main() has run.
xfsz=$((1 << 24))
ignored=0
for _ in $(seq 100); do
    kill -0 "$pid" 2>/dev/null || break
    mask=$(sed -n 's/^SigIgn:[[:space:]]*//p' "/proc/$pid/status" 2>/dev/null)
    if [ -n "$mask" ] && [ $((16#$mask & xfsz)) -ne 0 ]; then
        ignored=1
        break
    fi
    sleep 0.1
done

# The limit's signal no longer ends it; only the request to quit does.
[ "$ignored" -eq 1 ] && kill -XFSZ "$pid" 2>/dev/null
kill -TERM "$pid" 2>/dev/null
wait "$pid"
status=$?

if [ "$ignored" -ne 1 ]; then
    echo "SIGXFSZ is not ignored (exit status $status)"
    exit 1
fi
if [ "$status" -ne $((128 + 15)) ]; then
    echo "the program ended with status $status instead of running until told to quit"
    exit 1
fi
leftovers=$(find "$work" -name '.~tdx*' | head -n 5)
if [ -n "$leftovers" ]; then
    echo "half-written files left behind: $leftovers"
    exit 1
fi
exit 0
