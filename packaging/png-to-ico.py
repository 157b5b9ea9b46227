#!/usr/bin/env python3
"""Wraps PNG images into one Windows .ico file (PNG entries, read by Windows Vista and later):
the icon of karvo.exe's Start-menu entry and of its line in the list of installed programs.
Usage: png-to-ico.py OUT.ico IN.png..."""
import struct
import sys

out, images = sys.argv[1], [open(p, "rb").read() for p in sys.argv[2:]]
entries, offset = b"", 6 + 16 * len(images)
for png in images:
    width, height = struct.unpack(">II", png[16:24])  # the IHDR chunk
    entries += struct.pack("<BBBBHHII", width % 256, height % 256, 0, 0, 1, 32, len(png), offset)
    offset += len(png)
with open(out, "wb") as f:
    f.write(struct.pack("<HHH", 0, 1, len(images)) + entries + b"".join(images))
