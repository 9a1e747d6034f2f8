#!/usr/bin/env python3
"""Turns the frames that screen_capture recorded into a looping animated GIF,
with one palette chosen from all frames and our own LZW encoder.

    make_gif.py FOLDER OUTPUT.gif

FOLDER holds frames.txt ("file milliseconds" lines) and the 24-bit PNG files it names.
"""
import os
import struct
import sys
import zlib

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "resources"))
from make_test_gif import lzw  # noqa: E402

# One index stays free for "unchanged since the last frame".
COLOURS = 255
TRANSPARENT = 255


def paeth(a, b, c):
    p = a + b - c
    pa, pb, pc = abs(p - a), abs(p - b), abs(p - c)
    if pa <= pb and pa <= pc:
        return a
    return b if pb <= pc else c


def read_png(path):
    """(width, height, pixels as 0xRRGGBB ints, top row first) of an 8-bit RGB PNG."""
    with open(path, "rb") as f:
        data = f.read()
    if data[:8] != b"\x89PNG\r\n\x1a\n":
        raise ValueError(f"{path}: not a PNG file")
    pos, header, compressed = 8, None, bytearray()
    while pos + 8 <= len(data):
        length, kind = struct.unpack_from(">I4s", data, pos)
        body = data[pos + 8:pos + 8 + length]
        if len(body) != length:
            raise ValueError(f"{path}: truncated chunk")
        if kind == b"IHDR":
            header = struct.unpack(">IIBBBBB", body)
        elif kind == b"IDAT":
            compressed += body
        elif kind == b"IEND":
            break
        pos += 12 + length
    if header is None or header[2:] != (8, 2, 0, 0, 0):
        raise ValueError(f"{path}: not a plain 8-bit RGB PNG")
    width, height = header[0], header[1]
    raw = zlib.decompress(bytes(compressed))
    stride = width * 3
    if len(raw) != (stride + 1) * height:
        raise ValueError(f"{path}: wrong amount of pixel data")
    pixels, previous = [], bytearray(stride)
    for y in range(height):
        start = y * (stride + 1)
        kind, row = raw[start], bytearray(raw[start + 1:start + 1 + stride])
        if kind == 1:
            for i in range(3, stride):
                row[i] = (row[i] + row[i - 3]) & 0xFF
        elif kind == 2:
            row = bytearray((a + b) & 0xFF for a, b in zip(row, previous))
        elif kind == 3:
            for i in range(stride):
                left = row[i - 3] if i >= 3 else 0
                row[i] = (row[i] + ((left + previous[i]) >> 1)) & 0xFF
        elif kind == 4:
            for i in range(stride):
                left = row[i - 3] if i >= 3 else 0
                up_left = previous[i - 3] if i >= 3 else 0
                row[i] = (row[i] + paeth(left, previous[i], up_left)) & 0xFF
        elif kind != 0:
            raise ValueError(f"{path}: unknown row filter {kind}")
        pixels += [(row[i] << 16) | (row[i + 1] << 8) | row[i + 2] for i in range(0, stride, 3)]
        previous = row
    return width, height, pixels


def choose_palette(counts, size=COLOURS):
    """Median cut over the colours and how often they are seen: (palette, colour -> index)."""

    def scored(box):
        # The box to cut next is the one whose widest channel spread, times its pixels,
        # is largest; it is cut across that channel.
        spreads = [(max(c >> s & 0xFF for c in box) - min(c >> s & 0xFF for c in box), s)
                   for s in (16, 8, 0)]
        spread, shift = max(spreads)
        weight = sum(counts[c] for c in box)
        return [spread * weight if len(box) > 1 else -1, shift, weight, box]

    boxes = [scored(list(counts))]
    while len(boxes) < size:
        best = max(range(len(boxes)), key=lambda i: boxes[i][0])
        score, shift, total, box = boxes[best]
        if score < 0:
            break
        box.sort(key=lambda c: c >> shift & 0xFF)
        # Half the pixels on each side, so that common colours get boxes of their own.
        seen, cut = 0, 1
        for i, c in enumerate(box[:-1]):
            seen += counts[c]
            cut = i + 1
            if 2 * seen >= total:
                break
        boxes[best] = scored(box[:cut])
        boxes.append(scored(box[cut:]))
    palette, index = bytearray(768), {}
    for n, (_, _, weight, box) in enumerate(boxes):
        for i, s in enumerate((16, 8, 0)):
            total = sum((c >> s & 0xFF) * counts[c] for c in box)
            palette[3 * n + i] = (total + weight // 2) // weight
        for c in box:
            index[c] = n
    return bytes(palette), index


def changed_box(previous, current, width, height):
    """(left, top, right, bottom), exclusive, around the pixels that differ; None if none."""
    rows = [y for y in range(height)
            if previous[y * width:(y + 1) * width] != current[y * width:(y + 1) * width]]
    if not rows:
        return None
    left, right = width, 0
    for y in rows:
        row = range(y * width, (y + 1) * width)
        xs = [i - y * width for i in row if previous[i] != current[i]]
        left, right = min(left, xs[0]), max(right, xs[-1] + 1)
    return left, rows[0], right, rows[-1] + 1


def sub_blocks(data):
    return b"".join(bytes([len(data[i:i + 255])]) + data[i:i + 255]
                    for i in range(0, len(data), 255)) + b"\x00"


def animated_gif(width, height, frames, palette):
    """frames: (palette indices, hundredths of a second shown). Later frames hold only
    the rectangle that changed, with unchanged pixels left transparent."""
    out = bytearray(b"GIF89a" + struct.pack("<HHBBB", width, height, 0xF7, 0, 0) + palette)
    out += b"!\xff\x0bNETSCAPE2.0\x03\x01\x00\x00\x00"  # loop for ever
    shown = None
    for indices, delay in frames:
        if shown is None:
            box, pixels = (0, 0, width, height), indices
        else:
            box = changed_box(shown, indices, width, height) or (0, 0, 1, 1)
            left, top, right, bottom = box
            pixels = [TRANSPARENT if shown[i] == indices[i] else indices[i]
                      for y in range(top, bottom)
                      for i in range(y * width + left, y * width + right)]
        left, top, right, bottom = box
        # Kept in place (disposal 1), so that the next frame draws over it.
        out += b"!\xf9\x04" + struct.pack("<BHBB", 0x05, delay, TRANSPARENT, 0)
        out += b"," + struct.pack("<HHHHB", left, top, right - left, bottom - top, 0)
        out += bytes([8]) + sub_blocks(lzw(pixels))
        shown = indices
    return bytes(out + b";")


def frame_delays(times):
    """Hundredths of a second each frame stays, from the times (ms) the frames were taken,
    rounded so that the errors do not add up; the last stays as long as the one before."""
    ticks = [round(t / 10) for t in times]
    delays = [max(1, b - a) for a, b in zip(ticks, ticks[1:])]
    return delays + [delays[-1] if delays else 10]


def make_gif(folder, output):
    with open(os.path.join(folder, "frames.txt")) as f:
        listing = [line.split() for line in f if line.strip()]
    if not listing:
        raise ValueError(f"{folder}: no frames")
    pictures = [read_png(os.path.join(folder, name)) for name, _ in listing]
    width, height = pictures[0][:2]
    if any(p[:2] != (width, height) for p in pictures):
        raise ValueError(f"{folder}: frames of different sizes")
    counts = {}
    for _, _, pixels in pictures:
        for c in pixels:
            counts[c] = counts.get(c, 0) + 1
    palette, index = choose_palette(counts)
    delays = frame_delays([int(t) for _, t in listing])
    frames = []
    for (_, _, pixels), delay in zip(pictures, delays):
        indices = [index[c] for c in pixels]
        if frames and frames[-1][0] == indices:
            frames[-1] = (indices, frames[-1][1] + delay)  # a repeat only lengthens the last
        else:
            frames.append((indices, delay))
    with open(output, "wb") as f:
        f.write(animated_gif(width, height, frames, palette))
    return len(frames)


def main():
    if len(sys.argv) != 3:
        sys.exit(__doc__)
    try:
        count = make_gif(sys.argv[1], sys.argv[2])
    except (OSError, ValueError, zlib.error) as e:
        sys.exit(f"make_gif: {e}")
    print(f"{sys.argv[2]}: {count} frames")


if __name__ == "__main__":
    main()
