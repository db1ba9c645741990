#!/usr/bin/python3
"""Writes a second version of a text file with scattered, repeatable edits.

    seeded_edit.py IN OUT [SEED]

About one line in a hundred is touched: single lines changed inside (a
word replaced, text appended), deleted or inserted, and now and then a block
of up to 20 lines deleted, inserted or moved elsewhere. The same seed always
gives the same OUT, so timings of the text comparison can be repeated on the
same pair.
"""
import random
import sys


def edit(lines, rng):
    out = []
    moved = []
    i = 0
    while i < len(lines):
        line = lines[i]
        r = rng.random()
        if r < 0.004:  # change a word
            words = line.split(b" ")
            k = rng.randrange(len(words))
            words[k] = b"edited%d" % rng.randrange(1000)
            out.append(b" ".join(words))
        elif r < 0.006:  # append text
            out.append(line.rstrip(b"\n") + b" // changed\n")
        elif r < 0.008:  # delete the line
            pass
        elif r < 0.010:  # insert a line taken from elsewhere
            out.append(lines[rng.randrange(len(lines))])
            out.append(line)
        elif r < 0.0103:  # delete a block
            i += rng.randint(2, 20)
            continue
        elif r < 0.0106:  # insert a block taken from elsewhere
            start = rng.randrange(len(lines))
            out.extend(lines[start:start + rng.randint(2, 20)])
            out.append(line)
        elif r < 0.0108:  # move a block further down
            n = rng.randint(2, 20)
            moved.append(lines[i:i + n])
            i += n
            continue
        else:
            out.append(line)
        if moved and rng.random() < 0.01:
            out.extend(moved.pop())
        i += 1
    for block in moved:
        out.extend(block)
    return out


def main():
    if len(sys.argv) not in (3, 4):
        sys.exit("usage: seeded_edit.py IN OUT [SEED]")
    rng = random.Random(int(sys.argv[3]) if len(sys.argv) == 4 else 1)
    with open(sys.argv[1], "rb") as f:
        lines = f.read().splitlines(keepends=True)
    if lines and not lines[-1].endswith(b"\n"):
        lines[-1] += b"\n"
    with open(sys.argv[2], "wb") as f:
        f.writelines(edit(lines, rng))


if __name__ == "__main__":
    main()
