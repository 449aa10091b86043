#!/usr/bin/env python3
"""Where a window's controls are: reads the window's RGB pixels (WIDTH x HEIGHT, from
ImageMagick's "rgb:-") on standard input and answers each probe with a line
"NAME LEFT TOP WIDTH HEIGHT" ("NAME none" when there is nothing):
  NAME:X,Y        the runs of pixels other than the window's colour through that point,
                  across (LEFT, WIDTH) and down (TOP, HEIGHT)
  NAME:X,Y,W,H    the bounding box of the dark pixels (text) in that rectangle"""
import sys

width, height = int(sys.argv[1]), int(sys.argv[2])
pixels = sys.stdin.buffer.read()
assert len(pixels) == width * height * 3, "the picture is not WIDTH x HEIGHT"
background = bytes.fromhex("5661A8")


def pixel(x, y):
    i = (y * width + x) * 3
    return pixels[i:i + 3]


def run(x, y, dx, dy):
    """The last point from (x, y) on, in the direction, that is not the background."""
    while 0 <= x + dx < width and 0 <= y + dy < height and pixel(x + dx, y + dy) != background:
        x, y = x + dx, y + dy
    return x, y


def runs(x, y):
    if pixel(x, y) == background:
        return None
    left, top = run(x, y, -1, 0)[0], run(x, y, 0, -1)[1]
    right, bottom = run(x, y, 1, 0)[0], run(x, y, 0, 1)[1]
    return left, top, right, bottom


def ink(x, y, w, h):
    dark = [(i, j) for j in range(y, min(y + h, height)) for i in range(x, min(x + w, width))
            if sum(pixel(i, j)) < 300]
    if not dark:
        return None
    xs, ys = [i for i, _ in dark], [j for _, j in dark]
    return min(xs), min(ys), max(xs), max(ys)


for probe in sys.argv[3:]:
    name, numbers = probe.split(":")
    values = [int(v) for v in numbers.split(",")]
    box = runs(*values) if len(values) == 2 else ink(*values)
    if box is None:
        print(name, "none")
    else:
        left, top, right, bottom = box
        print(name, left, top, right - left + 1, bottom - top + 1)
