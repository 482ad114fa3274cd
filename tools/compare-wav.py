#!/usr/bin/env python3
"""Compares two 16-bit PCM WAV files sample by sample with a tolerance.

usage: compare-wav.py EXPECTED ACTUAL [--tolerance STEPS]

Prints one line: the sample count, how many samples differ, the largest
difference and how many differ by more than the tolerance; exits 1 when the
headers or lengths differ or any sample is off by more than the tolerance.
"""
import argparse
import array
import sys


def samples(path):
    with open(path, "rb") as f:
        data = f.read()
    at = data.find(b"data")
    if data[:4] != b"RIFF" or data[8:12] != b"WAVE" or at < 0:
        sys.exit(f"compare-wav: {path} is not a WAV file")
    pcm = array.array("h")
    start = at + 8
    pcm.frombytes(data[start:start + (len(data) - start) // 2 * 2])
    if sys.byteorder != "little":
        pcm.byteswap()
    return data[:start], pcm


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("expected")
    parser.add_argument("actual")
    parser.add_argument("--tolerance", type=int, default=1)
    args = parser.parse_args()
    head_a, a = samples(args.expected)
    head_b, b = samples(args.actual)
    if head_a != head_b or len(a) != len(b):
        print(f"headers or lengths differ ({len(a)} and {len(b)} samples)")
        return 1
    differ = over = largest = 0
    for x, y in zip(a, b):
        if x != y:
            d = abs(x - y)
            differ += 1
            largest = max(largest, d)
            if d > args.tolerance:
                over += 1
    print(f"{len(a)} samples, {differ} differ, largest difference {largest}, {over} beyond {args.tolerance}")
    return 1 if over else 0


if __name__ == "__main__":
    sys.exit(main())
