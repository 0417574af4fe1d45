#!/usr/bin/env python3
"""Turns an X window dump (xwd, 24/32-bit TrueColor) into a PNG.

Usage: xwd2png.py INPUT.xwd OUTPUT.png
Only the standard library: no image tools are needed for the screenshots.
"""

import struct
import sys
import zlib


def shift_of(mask):
    shift = 0
    while mask and not mask & 1:
        mask >>= 1
        shift += 1
    return shift


def read_xwd(data):
    fields = struct.unpack(">25I", data[:100])
    (header_size, _version, _format, _depth, width, height, _xoffset, byte_order,
     _unit, _bit_order, _pad, bits_per_pixel, bytes_per_line, _visual,
     red_mask, green_mask, blue_mask, _bits_rgb, _cmap_entries, ncolors) = fields[:20]
    if bits_per_pixel not in (24, 32):
        raise ValueError(f"{bits_per_pixel} bits per pixel is not supported")
    offset = header_size + ncolors * 12
    step = bits_per_pixel // 8
    endian = "<" if byte_order == 0 else ">"
    masks = [(m, shift_of(m)) for m in (red_mask, green_mask, blue_mask)]
    rows = []
    for y in range(height):
        line = data[offset + y * bytes_per_line: offset + y * bytes_per_line + width * step]
        row = bytearray()
        for x in range(width):
            chunk = line[x * step:(x + 1) * step]
            pixel = int.from_bytes(chunk, "little" if endian == "<" else "big")
            row += bytes((pixel & m) >> s for m, s in masks)
        rows.append(bytes(row))
    return width, height, rows


def write_png(path, width, height, rows):
    def chunk(kind, body):
        return (struct.pack(">I", len(body)) + kind + body
                + struct.pack(">I", zlib.crc32(kind + body) & 0xFFFFFFFF))

    raw = b"".join(b"\x00" + row for row in rows)
    png = (b"\x89PNG\r\n\x1a\n"
           + chunk(b"IHDR", struct.pack(">IIBBBBB", width, height, 8, 2, 0, 0, 0))
           + chunk(b"IDAT", zlib.compress(raw, 9))
           + chunk(b"IEND", b""))
    with open(path, "wb") as out:
        out.write(png)


def main():
    if len(sys.argv) != 3:
        print(__doc__, file=sys.stderr)
        return 2
    with open(sys.argv[1], "rb") as source:
        width, height, rows = read_xwd(source.read())
    write_png(sys.argv[2], width, height, rows)
    return 0


if __name__ == "__main__":
    sys.exit(main())
