#!/usr/bin/env python3
"""Converts the stand-in editor's 24-bit BMP pictures to PNG.

    bmp_to_png.py IN.bmp OUT.png

A picture of at most 256 colours, as window pictures usually are, is
written with a palette, which keeps it a few times smaller.
"""
import struct
import sys
import zlib


def read_bmp(path):
    with open(path, "rb") as f:
        data = f.read()
    if data[:2] != b"BM":
        raise ValueError(f"{path}: not a BMP file")
    offset, = struct.unpack_from("<I", data, 10)
    width, height, _, bits, compression = struct.unpack_from("<iiHHI", data, 18)
    if bits != 24 or compression != 0:
        raise ValueError(f"{path}: not an uncompressed 24-bit BMP")
    stride = (width * 3 + 3) & ~3
    rows = []
    for y in range(abs(height)):
        start = offset + y * stride
        bgr = data[start:start + width * 3]
        if len(bgr) != width * 3:
            raise ValueError(f"{path}: pixel data cut short")
        rgb = bytearray(bgr)
        rgb[0::3], rgb[2::3] = bgr[2::3], bgr[0::3]
        rows.append(bytes(rgb))
    if height > 0:  # stored bottom row first
        rows.reverse()
    return width, abs(height), rows


def chunk(kind, body):
    return (struct.pack(">I", len(body)) + kind + body +
            struct.pack(">I", zlib.crc32(kind + body)))


def png(width, height, rows):
    colours = {}
    for row in rows:
        for x in range(0, len(row), 3):
            colours.setdefault(row[x:x + 3], len(colours))
            if len(colours) > 256:
                break
        if len(colours) > 256:
            break
    if len(colours) <= 256:
        header = struct.pack(">IIBBBBB", width, height, 8, 3, 0, 0, 0)
        raw = b"".join(
            b"\0" + bytes(colours[row[x:x + 3]] for x in range(0, len(row), 3))
            for row in rows)
        extra = chunk(b"PLTE", b"".join(colours))
    else:
        header = struct.pack(">IIBBBBB", width, height, 8, 2, 0, 0, 0)
        raw = b"".join(b"\0" + row for row in rows)
        extra = b""
    return (b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", header) + extra +
            chunk(b"IDAT", zlib.compress(raw, 9)) + chunk(b"IEND", b""))


def main(argv):
    if len(argv) != 3:
        sys.exit(__doc__)
    width, height, rows = read_bmp(argv[1])
    with open(argv[2], "wb") as f:
        f.write(png(width, height, rows))
    print(f"{argv[2]}: {width}x{height}")


if __name__ == "__main__":
    main(sys.argv)
