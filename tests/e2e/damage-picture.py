#!/usr/bin/env python3
"""Damages the product picture inside a built fwflash: a nonsense bit depth in its header."""
import sys

path = sys.argv[1]
data = bytearray(open(path, "rb").read())
block = data.index(b"@DEREV#\0")
picture = block + 12
assert data[picture:picture + 2] == b"BM"
data[picture + 28] = 99  # bits per pixel
open(path, "wb").write(data)
