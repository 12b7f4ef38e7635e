#!/usr/bin/env python3
"""Writes the product's media-library data file for the sample product.

The content is deterministic: the same size always gives the same bytes. It alternates blocks of
pseudo-random bytes (SHAKE-256 of a block counter, incompressible) with blocks of generated
library text (compressible), so a package built from it behaves like real product data: partly
compressible, not trivially so. The default size is small; the build's large variant asks for
tens of MiB to give the package benchmarks something to chew on.

Usage: make-data-file.py OUTPUT [--size BYTES]
"""
import argparse
import hashlib
import os
import sys

BLOCK = 64 * 1024
MAGIC = b"ZUVAMLIB"

ARTISTS = ["Aurora Lane", "The Quiet Hours", "Nordlicht", "Vera Sol", "Kasimir", "Low Tide",
           "Marta & the Owls", "Sever", "Polar Static", "Juniper"]
WORDS = ["night", "river", "glass", "summer", "echo", "paper", "signal", "garden", "winter",
         "orbit", "salt", "ember", "velvet", "north", "harbour", "mirror"]


def text_block(index: int) -> bytes:
    """A block of library records; the values depend only on the block index."""
    lines = []
    size = 0
    n = index * 1000
    while size < BLOCK:
        artist = ARTISTS[n % len(ARTISTS)]
        title = " ".join(WORDS[(n * k + index) % len(WORDS)] for k in (3, 5, 7)).title()
        seconds = 120 + (n * 37) % 300
        line = "track=%08d|artist=%s|title=%s|length=%d:%02d|rating=%d\r\n" % (
            n, artist, title, seconds // 60, seconds % 60, n % 6)
        lines.append(line)
        size += len(line)
        n += 1
    return "".join(lines).encode("ascii")[:BLOCK]


def random_block(index: int) -> bytes:
    return hashlib.shake_256(b"zuva-sample-%d" % index).digest(BLOCK)


def write(path: str, size: int) -> None:
    tmp = path + ".tmp"
    with open(tmp, "wb") as out:
        header = MAGIC + size.to_bytes(8, "little")
        out.write(header[:size])
        written = min(len(header), size)
        index = 0
        while written < size:
            block = random_block(index) if index % 2 == 0 else text_block(index)
            part = block[: size - written]
            out.write(part)
            written += len(part)
            index += 1
    os.replace(tmp, path)  # a build interrupted halfway leaves no truncated file behind


def main(argv):
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("output")
    parser.add_argument("--size", type=int, default=256 * 1024, help="size in bytes")
    args = parser.parse_args(argv)
    if args.size < 0:
        parser.error("--size must not be negative")
    write(args.output, args.size)


if __name__ == "__main__":
    main(sys.argv[1:])
