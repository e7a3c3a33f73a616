#!/usr/bin/env python3
"""Draws the about box picture (about.png): a glass of beer, a football and
a coin on a blue ground. Plain Python, no imaging library; each pixel is
the average of 4 x 4 samples so the edges are smooth.

Usage: make_about_png.py [output.png]
"""
import math
import struct
import sys
import zlib

WIDTH, HEIGHT, SAMPLES = 130, 114, 4


def inside_circle(x, y, cx, cy, r):
    return (x - cx) ** 2 + (y - cy) ** 2 <= r * r


def inside_polygon(x, y, points):
    hit = False
    for (x1, y1), (x2, y2) in zip(points, points[1:] + points[:1]):
        if (y1 > y) != (y2 > y) and x < x1 + (y - y1) * (x2 - x1) / (y2 - y1):
            hit = not hit
    return hit


PENTAGON = [(102 + 6 * math.sin(a), 30 - 6 * math.cos(a))
            for a in (i * 2 * math.pi / 5 for i in range(5))]


def glass_edges(y):
    """Left and right inner wall of the glass at height y (it narrows down)."""
    t = (y - 24) / 76
    return 30 + 6 * t, 70 - 6 * t


def colour(x, y):
    # Football, top right: white with a black patch and seams.
    if inside_circle(x, y, 102, 30, 15):
        if not inside_circle(x, y, 102, 30, 14):
            return (30, 30, 30)
        if inside_polygon(x, y, PENTAGON):
            return (25, 25, 25)
        return (245, 245, 245)
    # Coin, bottom right: gold with a rim and a raised centre.
    if inside_circle(x, y, 100, 86, 18):
        if not inside_circle(x, y, 100, 86, 16) or (
                inside_circle(x, y, 100, 86, 10) and not inside_circle(x, y, 100, 86, 8.5)):
            return (180, 130, 20)
        return (240, 200, 60)
    # Glass handle: the right half of a ring.
    if x > 66 and inside_circle(x, y, 70, 62, 16) and not inside_circle(x, y, 70, 62, 10):
        return (200, 225, 240)
    # Foam, a row of bubbles over the rim.
    if any(inside_circle(x, y, cx, 26, 7) for cx in (35, 45, 55, 65)) or 26 <= y < 40 and \
            glass_edges(y)[0] <= x <= glass_edges(y)[1]:
        return (252, 250, 240)
    if 40 <= y <= 100:
        left, right = glass_edges(y)
        if left - 2 <= x <= right + 2:
            if x < left or x > right or y > 97:
                return (200, 225, 240)  # the glass itself
            if any(inside_circle(x, y, bx, by, 1.6) for bx, by in
                   ((42, 60), (50, 75), (58, 52), (46, 88), (60, 82))):
                return (255, 230, 150)
            shade = (y - 40) / 60
            return (int(245 - 30 * shade), int(175 - 60 * shade), int(40 - 20 * shade))
    # Blue ground, lighter at the top.
    t = y / HEIGHT
    return (int(60 - 30 * t), int(110 - 50 * t), int(180 - 60 * t))


def pixel(px, py):
    total = [0, 0, 0]
    for sy in range(SAMPLES):
        for sx in range(SAMPLES):
            c = colour(px + (sx + 0.5) / SAMPLES, py + (sy + 0.5) / SAMPLES)
            total = [a + b for a, b in zip(total, c)]
    return bytes(round(v / SAMPLES ** 2) for v in total)


def png(rows):
    def chunk(kind, data):
        return (struct.pack(">I", len(data)) + kind + data
                + struct.pack(">I", zlib.crc32(kind + data) & 0xFFFFFFFF))
    raw = b"".join(b"\0" + row for row in rows)
    return (b"\x89PNG\r\n\x1a\n"
            + chunk(b"IHDR", struct.pack(">IIBBBBB", WIDTH, HEIGHT, 8, 2, 0, 0, 0))
            + chunk(b"IDAT", zlib.compress(raw, 9)) + chunk(b"IEND", b""))


def main():
    output = sys.argv[1] if len(sys.argv) > 1 else "about.png"
    rows = [b"".join(pixel(x, y) for x in range(WIDTH)) for y in range(HEIGHT)]
    with open(output, "wb") as out:
        out.write(png(rows))


if __name__ == "__main__":
    main()
