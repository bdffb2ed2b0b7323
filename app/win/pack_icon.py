#!/usr/bin/env python3
"""Packs PNG pictures into one Windows icon file: pack_icon.py OUT.ico IN.png...

Every picture is stored as it is (PNG inside the icon, which Windows reads
since Vista); the directory takes each picture's size from its PNG header.
"""
import struct
import sys

PNG_SIGNATURE = b"\x89PNG\r\n\x1a\n"


def png_size(data, name):
    if data[:8] != PNG_SIGNATURE or data[12:16] != b"IHDR":
        sys.exit(f"pack_icon.py: {name} is not a PNG file")
    width, height = struct.unpack(">II", data[16:24])
    if not (0 < width <= 256 and 0 < height <= 256):
        sys.exit(f"pack_icon.py: {name} is {width} x {height}; an icon holds at most 256 x 256")
    return width, height


def main(argv):
    if len(argv) < 3:
        sys.exit("usage: pack_icon.py OUT.ico IN.png...")
    pictures = []
    for name in argv[2:]:
        with open(name, "rb") as f:
            data = f.read()
        pictures.append((png_size(data, name), data))
    pictures.sort(key=lambda p: p[0])
    header = struct.pack("<HHH", 0, 1, len(pictures))
    offset = len(header) + 16 * len(pictures)
    directory = b""
    for (width, height), data in pictures:
        # 256 is written as 0; colour count 0, planes 1, 32 bits per pixel.
        directory += struct.pack("<BBBBHHII", width % 256, height % 256, 0, 0, 1, 32,
                                 len(data), offset)
        offset += len(data)
    with open(argv[1], "wb") as f:
        f.write(header + directory + b"".join(data for _, data in pictures))


if __name__ == "__main__":
    main(sys.argv)
