#!/usr/bin/env python3
"""Parse vornelle.ico and blank.cur back and check the properties the app relies on.

Usage: check_resources.py [DIR]   (DIR defaults to this script's folder)
Exits non-zero, listing every problem, if anything is off.
"""

import os
import struct
import sys

HERE = os.path.dirname(os.path.abspath(__file__))
errors = []


def expect(ok, message):
    if not ok:
        errors.append(message)
    return ok


def stride(width, bits):
    return (width * bits + 31) // 32 * 4


def read_entries(data, name, kind):
    """Directory entries of an ICO/CUR file, after checking the header and layout."""
    if not expect(len(data) >= 6, f"{name}: too short"):
        return []
    reserved, file_kind, count = struct.unpack_from("<HHH", data, 0)
    expect(reserved == 0 and file_kind == kind, f"{name}: header is {reserved},{file_kind}")
    entries = []
    end = 6 + 16 * count
    for i in range(count):
        fields = struct.unpack_from("<BBBBHHII", data, 6 + 16 * i)
        size, offset = fields[6], fields[7]
        # Images must follow the directory without gaps or overlap.
        expect(offset == end, f"{name}[{i}]: image at {offset}, expected {end}")
        end = offset + size
        entries.append(fields)
    expect(end == len(data), f"{name}: file is {len(data)} bytes, images end at {end}")
    return entries


def read_image(data, name, entry, bits):
    """Check one image's header against its entry; return (colours, xor, and) bytes."""
    width, height, colour_count, _, _, _, size, offset = entry
    width, height = width or 256, height or 256
    image = data[offset:offset + size]
    hdr = struct.unpack_from("<IiiHHIIiiII", image, 0)
    hsize, w, h, planes, bitcount, compression, _, _, _, used, _ = hdr
    expect(hsize == 40, f"{name}: header size {hsize}")
    expect((w, h) == (width, 2 * height), f"{name}: header {w}x{h} for a {width}x{height} entry")
    expect(planes == 1 and compression == 0, f"{name}: planes {planes}, compression {compression}")
    expect(bitcount == bits, f"{name}: {bitcount} bpp, expected {bits}")
    colours = used or 1 << bits
    expect(colours == 1 << bits == colour_count,
           f"{name}: {colours} colours in table, {colour_count} in entry")
    xor_len, and_len = stride(width, bits) * height, stride(width, 1) * height
    table_end = 40 + 4 * colours
    expect(len(image) == table_end + xor_len + and_len,
           f"{name}: image is {len(image)} bytes, expected {table_end + xor_len + and_len}")
    xor = image[table_end:table_end + xor_len]
    mask = image[table_end + xor_len:table_end + xor_len + and_len]
    return image[40:table_end], xor, mask


def check_ico(data):
    entries = read_entries(data, "vornelle.ico", 1)
    sizes = [(e[0], e[1]) for e in entries]
    expect(sizes == [(32, 32), (16, 16)], f"vornelle.ico: sizes {sizes}")
    for entry in entries:
        name = f"vornelle.ico {entry[0]}x{entry[1]}"
        expect(entry[4:6] == (1, 4), f"{name}: entry planes/bits {entry[4:6]}")
        colours, xor, mask = read_image(data, name, entry, 4)
        expect(len(set(colours[i:i + 4] for i in range(0, len(colours), 4))) == 16,
               f"{name}: colour table has repeated colours")
        width, xor_row, and_row = entry[0], stride(entry[0], 4), stride(entry[0], 1)
        opaque = 0
        for y in range(entry[1]):
            for x in range(width):
                masked = mask[y * and_row + x // 8] >> (7 - x % 8) & 1
                index = xor[y * xor_row + x // 2] >> (4 if x % 2 == 0 else 0) & 0xF
                opaque += not masked
                # A non-black pixel under the mask would tint the desktop behind the icon.
                expect(not masked or index == 0, f"{name}: masked pixel {x},{y} is not black")
        expect(opaque > width * width // 2, f"{name}: only {opaque} opaque pixels")


def check_cur(data):
    entries = read_entries(data, "blank.cur", 2)
    if not expect(len(entries) == 1, f"blank.cur: {len(entries)} images"):
        return
    entry = entries[0]
    expect(entry[:2] == (32, 32), f"blank.cur: size {entry[:2]}")
    expect(entry[4:6] == (0, 0), f"blank.cur: hotspot {entry[4:6]}")
    colours, xor, mask = read_image(data, "blank.cur", entry, 1)
    expect(colours == bytes(4) + b"\xff\xff\xff\x00", "blank.cur: colours are not black, white")
    expect(len(mask) == 128 and set(mask) == {0xFF}, "blank.cur: AND mask is not all ones")
    expect(len(xor) == 128 and set(xor) == {0x00}, "blank.cur: XOR mask is not all zeros")


def main():
    folder = sys.argv[1] if len(sys.argv) > 1 else HERE
    for name, check in (("vornelle.ico", check_ico), ("blank.cur", check_cur)):
        try:
            with open(os.path.join(folder, name), "rb") as f:
                check(f.read())
        except (OSError, struct.error) as e:
            errors.append(f"{name}: {e}")
    for message in errors:
        print("FAIL:", message, file=sys.stderr)
    if not errors:
        print("resources OK")
    return 1 if errors else 0


if __name__ == "__main__":
    sys.exit(main())
