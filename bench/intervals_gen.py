#!/usr/bin/env python3
"""Writes an event file made of nothing but quiet-dark intervals to standard output.

There are no audio records, so the file is in gap mode and every level counts as quiet;
one dark video record (samples 0,0,0,1: brightness 1) comes every 2 seconds, so each
record is a stretch of its own and becomes one interval, and one mark.

    intervals_gen.py COUNT
"""
import struct
import sys


def main() -> int:
    if len(sys.argv) != 2 or not sys.argv[1].isdigit():
        print("usage: intervals_gen.py COUNT", file=sys.stderr)
        return 2
    count = int(sys.argv[1])
    out = sys.stdout.buffer
    out.write(b"CSEVT\0\0\1")
    record = struct.Struct(">qIII4B")
    chunk = 65536
    step = 2_000_000_000
    for first in range(0, count, chunk):
        n = min(chunk, count - first)
        block = bytearray(record.size * n)
        for i in range(n):
            record.pack_into(block, i * record.size, (first + i + 1) * step, 0, 2, 0, 0, 0, 0, 1)
        out.write(block)
    return 0


if __name__ == "__main__":
    sys.exit(main())
