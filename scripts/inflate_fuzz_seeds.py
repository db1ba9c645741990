#!/usr/bin/python3
"""Writes the seed corpus of the inflate fuzz target into a folder.

Usage: scripts/inflate_fuzz_seeds.py DIR

Each seed is the mode byte the target reads first, then its data: raw
deflate from zlib at every strategy, with sync, full and block flushes
(also right before the end, where a stored block starts near the end of
the data), from the gzip tool, Deflate64 entries made by 7-Zip, inputs for the
compression round trip, and every input in tests/archive/data that once
broke the decoder. Seeds stay under 8 KiB so the fuzzer runs fast.
"""

import os
import random
import struct
import subprocess
import sys
import tempfile
import zipfile
import zlib

TOP = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
MAX_SEED = 8192

# Mode bits of the target.
DEFLATE64, LIMIT, ROUND_TRIP = 1, 2, 4


def inputs():
    rng = random.Random(20261210)
    text = b""
    for name in sorted(os.listdir(os.path.join(TOP, "archive"))):
        with open(os.path.join(TOP, "archive", name), "rb") as f:
            text += f.read()
    with open(sys.executable, "rb") as f:
        binary = f.read(200000)[100000:]
    return {
        "text": text[:6000],
        "binary": binary[:5000],
        "random": bytes(rng.randrange(256) for _ in range(3000)),
        "letters": bytes(rng.choice(b"abcd\n") for _ in range(6000)),
        "zeros": bytes(20000),
        "tiny": b"\xc8\xc8\xc8",
    }


def zlib_stream(data, level, strategy, flushes):
    """Raw deflate with a flush after each given input offset."""
    z = zlib.compressobj(level, zlib.DEFLATED, -15, 8, strategy)
    out, fed = b"", 0
    for at, kind in flushes:
        out += z.compress(data[fed:at]) + z.flush(kind)
        fed = at
    return out + z.compress(data[fed:]) + z.flush(zlib.Z_FINISH)


def zlib_seeds(data_sets):
    rng = random.Random(7)
    strategies = [zlib.Z_DEFAULT_STRATEGY, zlib.Z_FILTERED, zlib.Z_HUFFMAN_ONLY, zlib.Z_RLE,
                  zlib.Z_FIXED]
    for name, data in data_sets.items():
        for level in (0, 1, 4, 6, 9):
            for strategy in strategies:
                if level == 0 and strategy != zlib.Z_DEFAULT_STRATEGY:
                    continue
                kinds = (zlib.Z_SYNC_FLUSH, zlib.Z_FULL_FLUSH, zlib.Z_BLOCK)
                points = sorted(rng.randrange(len(data) + 1) for _ in range(rng.randrange(4)))
                flushes = [(at, rng.choice(kinds)) for at in points]
                if rng.randrange(2):
                    flushes.append((len(data), rng.choice(kinds)))
                raw = zlib_stream(data, level, strategy, flushes)
                mode = LIMIT if rng.randrange(8) == 0 else 0
                yield f"zlib-{name}-l{level}-s{strategy}", bytes([mode]) + raw


def gzip_seeds(data_sets, tmp):
    for name in ("text", "binary", "letters"):
        path = os.path.join(tmp, name)
        with open(path, "wb") as f:
            f.write(data_sets[name])
        for level in ("-1", "-6", "-9"):
            gz = subprocess.run(["gzip", "-c", "-n", level, path], check=True,
                                capture_output=True).stdout
            # No optional fields with -n: the deflate data follows the
            # 10-byte header and stops before the 8-byte trailer.
            yield f"gzip-{name}{level}", bytes([0]) + gz[10:-8]


def deflate64_seeds(data_sets, tmp):
    rng = random.Random(64)
    block = bytes(rng.randrange(256) for _ in range(1500))
    # Repeats further back than 32 KiB and runs longer than 258 bytes use
    # what only Deflate64 has.
    far = block + bytes(40000) + block + b"z" * 3000 + block
    for name, data in (("far", far), ("text", data_sets["text"]), ("letters", data_sets["letters"])):
        path = os.path.join(tmp, name + ".bin")
        with open(path, "wb") as f:
            f.write(data)
        zip_path = os.path.join(tmp, name + ".zip")
        subprocess.run(["7z", "a", "-tzip", "-mm=Deflate64", "-mx=9", zip_path, path], check=True,
                       capture_output=True)
        with zipfile.ZipFile(zip_path) as z:
            info = z.infolist()[0]
        with open(zip_path, "rb") as f:
            f.seek(info.header_offset + 26)
            name_len, extra_len = struct.unpack("<HH", f.read(4))
            f.seek(name_len + extra_len, os.SEEK_CUR)
            raw = f.read(info.compress_size)
        yield f"7z-deflate64-{name}", bytes([DEFLATE64]) + raw


def round_trip_seeds(data_sets):
    for preset in range(8):
        for name in ("text", "letters"):
            mode = ROUND_TRIP | (preset << 3)
            yield f"roundtrip-{name}-p{preset}", bytes([mode]) + data_sets[name][:4000]
            yield f"roundtrip64-{name}-p{preset}", bytes([mode | DEFLATE64]) + data_sets[name][:4000]


def regression_seeds():
    data = os.path.join(TOP, "tests", "archive", "data")
    for name in sorted(os.listdir(data)):
        if name.startswith("inflate") and name.endswith(".bin"):
            with open(os.path.join(data, name), "rb") as f:
                raw = f.read()
            mode = DEFLATE64 if name.startswith("inflate64-") else 0
            yield "data-" + name[:-4], bytes([mode]) + raw


def main():
    if len(sys.argv) != 2:
        sys.exit(__doc__.strip().splitlines()[2])
    out = sys.argv[1]
    os.makedirs(out, exist_ok=True)
    data_sets = inputs()
    count = 0
    with tempfile.TemporaryDirectory() as tmp:
        groups = (zlib_seeds(data_sets), gzip_seeds(data_sets, tmp),
                  deflate64_seeds(data_sets, tmp), round_trip_seeds(data_sets),
                  regression_seeds())
        for group in groups:
            for name, seed in group:
                if len(seed) > MAX_SEED:
                    continue
                with open(os.path.join(out, name), "wb") as f:
                    f.write(seed)
                count += 1
    print(f"{count} seeds in {out}")


if __name__ == "__main__":
    main()
