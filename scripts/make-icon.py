#!/usr/bin/env python3
"""Draws setup.exe's icon, a tesseract (a square in a square, corners joined) in white on a blue
tile, at 16, 32, 48 and 256 px, and writes it as an .ico of palette PNGs, the smallest form that
Windows Vista and later read at every size. The icon is committed; this redraws it.
Usage: scripts/make-icon.py setup/platform/win32/setup.ico"""
import struct, sys, zlib  # noqa: E401

PALETTE = [(0, 0, 0), (31, 78, 156), (255, 255, 255)]  # transparent, tile, lines


def draw(n):
    w = max(1, round(n / 32))  # a line's width
    pixels = [[0] * n for _ in range(n)]
    cut = max(1, n // 16)  # the tile's corners, cut off
    for y in range(n):
        for x in range(n):
            pixels[y][x] = int(min(x, n - 1 - x) + min(y, n - 1 - y) >= cut)
    o, i = round(3 * n / 16), round(6 * n / 16)  # the two squares' top left, brush included
    corners = lambda a: [(a, a), (n - a - w, a), (n - a - w, n - a - w), (a, n - a - w)]  # noqa
    for k in range(4):
        for a, b in ((corners(o)[k], corners(o)[(k + 1) % 4]), (corners(i)[k], corners(i)[(k + 1) % 4]),
                     (corners(o)[k], corners(i)[k])):
            steps = max(abs(b[0] - a[0]), abs(b[1] - a[1]))
            for t in range(steps + 1):  # a w-by-w brush along the line
                x, y = (round(a[j] + (b[j] - a[j]) * t / steps) for j in (0, 1))
                for row in pixels[y:y + w]:
                    row[x:x + w] = [2] * w
    return pixels


def png(pixels):
    n = len(pixels)
    chunk = lambda kind, data: (struct.pack(">I", len(data)) + kind + data +  # noqa: E731
                                struct.pack(">I", zlib.crc32(kind + data)))
    # Two bits a pixel, four pixels a byte, the leftmost in the high bits.
    rows = b"".join(b"\0" + bytes(sum(p << 6 - 2 * k for k, p in enumerate(row[x:x + 4]))
                                   for x in range(0, n, 4)) for row in pixels)
    return (b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", struct.pack(">IIBBBBB", n, n, 2, 3, 0, 0, 0)) +
            chunk(b"PLTE", b"".join(bytes(c) for c in PALETTE)) + chunk(b"tRNS", b"\0") +
            chunk(b"IDAT", zlib.compress(rows, 9)) + chunk(b"IEND", b""))


images = [(n, png(draw(n))) for n in (16, 32, 48, 256)]
offset, head, body = 6 + 16 * len(images), b"", b""
for n, data in images:
    head += struct.pack("<BBBBHHII", n % 256, n % 256, 0, 0, 1, 32, len(data), offset + len(body))
    body += data
open(sys.argv[1], "wb").write(struct.pack("<HHH", 0, 1, len(images)) + head + body)
