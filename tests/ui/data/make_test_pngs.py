#!/usr/bin/env python3
"""Writes the small PNG files the framework tests load (run from this folder).

Reproducible: the same bytes every run. Each image is RGBA, 8 bits a channel.
"""
import struct
import zlib


def png(width, height, pixel):
    rows = b"".join(b"\x00" + b"".join(bytes(pixel(x, y)) for x in range(width)) for y in range(height))

    def chunk(kind, data):
        body = kind + data
        return struct.pack(">I", len(data)) + body + struct.pack(">I", zlib.crc32(body) & 0xFFFFFFFF)

    header = struct.pack(">IIBBBBB", width, height, 8, 6, 0, 0, 0)
    return b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", header) + chunk(b"IDAT", zlib.compress(rows, 9)) + chunk(b"IEND", b"")


# 5 x 3: opaque red, except a half-transparent blue pixel at (4, 2).
with open("red5x3.png", "wb") as f:
    f.write(png(5, 3, lambda x, y: (0, 0, 255, 128) if (x, y) == (4, 2) else (255, 0, 0, 255)))
