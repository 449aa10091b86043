#!/usr/bin/env python3
"""Writes the shipped payload assets: payload/product_picture.bmp and payload/firmware.bin.

The picture is a 48 x 48, 4-bit, 16-colour uncompressed bitmap of exactly 1,272 bytes
(118 bytes of header and palette, 1,152 bytes of rows, two zero bytes). The firmware is
a 3,612-byte demonstration image that holds every byte value, the protocol's own bytes
(0x80, 0xA5, 0x5A, 0xFF) and the XON/XOFF bytes among them. Run it from the project root.
"""
import struct

W = H = 48
PALETTE = [  # the 16 classic colours, as (red, green, blue)
    (0, 0, 0), (128, 0, 0), (0, 128, 0), (128, 128, 0), (0, 0, 128), (128, 0, 128),
    (0, 128, 128), (192, 192, 192), (128, 128, 128), (255, 0, 0), (0, 255, 0),
    (255, 255, 0), (0, 0, 255), (255, 0, 255), (0, 255, 255), (255, 255, 255)]
BLACK, DARK_GREY, GREY, YELLOW, WHITE, GREEN, RED = 0, 8, 7, 11, 15, 10, 9


def product_pixel(x, y):
    """A small circuit board: green board, a dark chip with pins, a yellow trace, an LED."""
    if x < 2 or y < 2 or x > 45 or y > 45:
        return DARK_GREY
    if 14 <= x <= 33 and 14 <= y <= 33:
        return BLACK if (x, y) != (16, 16) else WHITE
    if (10 <= x <= 13 or 34 <= x <= 37) and 15 <= y <= 32 and y % 3 == 0:
        return GREY
    if (10 <= y <= 13 or 34 <= y <= 37) and 15 <= x <= 32 and x % 3 == 0:
        return GREY
    if y == 40 and 6 <= x <= 40 or x == 6 and 6 <= y <= 40:
        return YELLOW
    if (x - 40) ** 2 + (y - 7) ** 2 <= 4:
        return RED
    return 2  # board green


def picture():
    row_bytes = W // 2
    rows = bytearray()
    for y in range(H - 1, -1, -1):  # bottom-up
        for x in range(0, W, 2):
            rows.append(product_pixel(x, y) << 4 | product_pixel(x + 1, y))
    assert len(rows) == row_bytes * H == 1152
    palette = b"".join(bytes((b, g, r, 0)) for r, g, b in PALETTE)
    offset = 14 + 40 + len(palette)
    size = offset + len(rows) + 2
    header = b"BM" + struct.pack("<IHHI", size, 0, 0, offset)
    info = struct.pack("<IiiHHIIiiII", 40, W, H, 1, 4, 0, len(rows), 3780, 3780, 16, 16)
    data = header + info + palette + rows + b"\0\0"
    assert len(data) == 1272 and offset == 118
    return data


def firmware():
    out = bytearray(b"FWFLASH DEMO FIRMWARE 1.0\0")
    out += bytes(range(256))  # every byte value once
    out += bytes([0xA5, 0x5A, 0x80, 0xFF, 0x11, 0x13, 0x0D, 0x0A, 0x1A, 0x00])
    state = 0x2545F491
    while len(out) < 3612 - 2:
        state = (state * 1103515245 + 12345) & 0x7FFFFFFF
        out.append(state >> 16 & 0xFF)
    checksum = sum(out) & 0xFFFF
    out += struct.pack("<H", checksum)
    assert len(out) == 3612
    return bytes(out)


if __name__ == "__main__":
    with open("payload/product_picture.bmp", "wb") as f:
        f.write(picture())
    with open("payload/firmware.bin", "wb") as f:
        f.write(firmware())
