#!/usr/bin/env python3
"""Draw the Vornelle icon and the blank cursor, and write them beside this script.

The output depends only on this code, so re-running it gives identical bytes
and the committed .ico/.cur files can be checked against it.
"""

import os
import struct

# Windows' 16-colour palette order (what 4-bpp icon editors assume), as RGB.
PALETTE = [
    (0x00, 0x00, 0x00), (0x80, 0x00, 0x00), (0x00, 0x80, 0x00), (0x80, 0x80, 0x00),
    (0x00, 0x00, 0x80), (0x80, 0x00, 0x80), (0x00, 0x80, 0x80), (0xC0, 0xC0, 0xC0),
    (0x80, 0x80, 0x80), (0xFF, 0x00, 0x00), (0x00, 0xFF, 0x00), (0xFF, 0xFF, 0x00),
    (0x00, 0x00, 0xFF), (0xFF, 0x00, 0xFF), (0x00, 0xFF, 0xFF), (0xFF, 0xFF, 0xFF),
]
BLACK, DARK_YELLOW, DARK_BLUE, DARK_CYAN = 0, 3, 4, 6
YELLOW, BLUE, CYAN, WHITE = 11, 12, 14, 15
TRANSPARENT = None

ICON_SIZES = (32, 16)
CURSOR_SIZE = 32


def icon_pixel(x, y, size):
    """Palette index (or TRANSPARENT) of a bevelled frame around a tiled picture."""
    last = size - 1
    # Clip the corners so the frame looks slightly rounded.
    if min(x, last - x) + min(y, last - y) < size // 16:
        return TRANSPARENT
    edge = min(x, y, last - x, last - y)
    frame = max(1, size // 10)
    if edge == 0:
        return BLACK
    if edge <= frame:
        # Light from the top-left: whichever outer edge is nearer decides the shade.
        return YELLOW if min(x, y) < min(last - x, last - y) else DARK_YELLOW
    inner = 1 + frame
    tile = (size - 2 * inner) // 4
    tx, ty = (x - inner) // tile, (y - inner) // tile
    if tx == ty:
        # A diagonal streak hints at the picture being moved around.
        return WHITE if (x - inner) % tile == 0 or (y - inner) % tile == 0 else CYAN
    if (tx + ty) % 2:
        return BLUE
    return DARK_CYAN if tx > ty else DARK_BLUE


def row_stride(width, bits):
    """Bytes per DIB row: rows are padded to a 4-byte boundary."""
    return (width * bits + 31) // 32 * 4


def pack_rows(rows, bits):
    """Pack rows of small integers MSB-first, bottom row first, 4-byte padded."""
    out = bytearray()
    per_byte = 8 // bits
    for row in reversed(rows):
        packed = bytearray(row_stride(len(row), bits))
        for i, value in enumerate(row):
            shift = 8 - bits * (i % per_byte + 1)
            packed[i // per_byte] |= value << shift
        out += packed
    return bytes(out)


def dib(width, height, bits, palette, xor_rows, and_rows):
    """Icon/cursor image: header (height doubled for the mask), colours, XOR, AND."""
    xor = pack_rows(xor_rows, bits)
    mask = pack_rows(and_rows, 1)
    header = struct.pack("<IiiHHIIiiII", 40, width, 2 * height, 1, bits, 0,
                         len(xor) + len(mask), 0, 0, 0, 0)
    colours = b"".join(struct.pack("<BBBB", b, g, r, 0) for r, g, b in palette)
    return header + colours + xor + mask


def container(kind, images):
    """ICO (kind 1) or CUR (kind 2) file from (width, height, colours, field1, field2, dib).

    field1/field2 are planes/bit count for icons and the hotspot for cursors.
    """
    out = struct.pack("<HHH", 0, kind, len(images))
    offset = len(out) + 16 * len(images)
    for width, height, colours, field1, field2, data in images:
        out += struct.pack("<BBBBHHII", width % 256, height % 256, colours, 0,
                           field1, field2, len(data), offset)
        offset += len(data)
    return out + b"".join(image[-1] for image in images)


def build_ico():
    images = []
    for size in ICON_SIZES:
        pixels = [[icon_pixel(x, y, size) for x in range(size)] for y in range(size)]
        # Transparent pixels must be black in the XOR image, or they would tint the desktop.
        xor_rows = [[BLACK if p is TRANSPARENT else p for p in row] for row in pixels]
        and_rows = [[1 if p is TRANSPARENT else 0 for p in row] for row in pixels]
        images.append((size, size, 16, 1, 4, dib(size, size, 4, PALETTE, xor_rows, and_rows)))
    return container(1, images)


def build_cur():
    size = CURSOR_SIZE
    # AND all ones, XOR all zeros: the screen shows through every pixel.
    xor_rows = [[0] * size for _ in range(size)]
    and_rows = [[1] * size for _ in range(size)]
    data = dib(size, size, 1, [(0, 0, 0), (0xFF, 0xFF, 0xFF)], xor_rows, and_rows)
    return container(2, [(size, size, 2, 0, 0, data)])


OUTPUTS = {"vornelle.ico": build_ico, "blank.cur": build_cur}


def main():
    here = os.path.dirname(os.path.abspath(__file__))
    for name, build in OUTPUTS.items():
        with open(os.path.join(here, name), "wb") as f:
            f.write(build())


if __name__ == "__main__":
    main()
