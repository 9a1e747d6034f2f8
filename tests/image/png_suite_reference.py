#!/usr/bin/env python3
"""Takes the PNG test suite out of libpng's source tarball and writes, with
Pillow as the decoder, the colours our PNG reader must give for each file.

    png_suite_reference.py TARBALL OUTPUT_DIR

OUTPUT_DIR receives the files and reference.txt, one line per file:
    NAME valid TOLERANCE WIDTH HEIGHT RRGGBB...   (pixels, top row first)
    NAME refused                                  (the reader must return 0)
    NAME safe                                     (any result, no crash)

Pillow applies no gamma and knows nothing of our background: the
compositing below is what the reader asks libpng for, on 8-bit samples.
"""

import os
import struct
import sys
import tarfile

try:
    from PIL import Image
except ImportError:
    sys.exit("png_suite_reference.py: Pillow is missing (python3-pil; "
             "scripts/lib/setup.sh installs it)")

BACKGROUND = (31, 127, 255)
BACKGROUND_GREY = 0



def chunks(data):
    at = 8
    while at + 12 <= len(data):
        length, kind = struct.unpack(">I4s", data[at:at + 8])
        yield kind, data[at + 8:at + 8 + length]
        at += 12 + length


def composite(fg, alpha, bg):
    # libpng's png_composite: fg * a + bg * (255 - a), divided by 255 rounded.
    temp = fg * alpha + bg * (255 - alpha) + 128
    return (temp + (temp >> 8)) >> 8


def tolerance(depth, colour_type):
    # Pillow hands 16-bit alpha files over as 8-bit samples, where the reader
    # composites the 16-bit ones and keeps the high byte: rounding can differ
    # by one. Everything else is exact.
    return 1 if depth == 16 and colour_type in (4, 6) else 0


def expected_colours(path):
    data = open(path, "rb").read()
    header = dict(chunks(data))
    _, _, depth, colour_type, _, _, _ = struct.unpack(">IIBBBBB", header[b"IHDR"])
    trns = header.get(b"tRNS")
    image = Image.open(path)
    image.load()
    width, height = image.size
    pixels = []
    if colour_type == 3:
        palette = image.getpalette()
        alphas = list(trns or b"")
        colours = []
        for index in range(len(palette) // 3):
            rgb = palette[3 * index:3 * index + 3]
            alpha = alphas[index] if index < len(alphas) else 255
            colours.append(tuple(composite(c, alpha, b) for c, b in zip(rgb, BACKGROUND)))
        pixels = [colours[i] for i in image.getdata()]
    elif colour_type == 0:
        key = struct.unpack(">H", trns[:2])[0] if trns else None
        levels = (1 << depth) - 1
        for value in image.getdata():
            # 1-bit files come as 0 or 255, 2- and 4-bit ones scaled to 255,
            # 16-bit ones whole.
            sample = value if depth == 16 else value * levels // 255
            if sample == key:
                grey = BACKGROUND_GREY
            else:
                grey = sample >> 8 if depth == 16 else value
            pixels.append((grey, grey, grey))
    elif colour_type == 2:
        key = struct.unpack(">HHH", trns[:6]) if trns else None
        if key is not None and depth == 16:
            # Pillow keeps the high bytes only; the suite's keys are white.
            key = tuple(k >> 8 for k in key)
        for rgb in image.convert("RGB").getdata():
            pixels.append(BACKGROUND if rgb == key else rgb)
    else:
        for r, g, b, a in image.convert("RGBA").getdata():
            pixels.append(tuple(composite(c, a, bg) for c, bg in zip((r, g, b), BACKGROUND)))
    return tolerance(depth, colour_type), width, height, pixels


def main():
    tarball, output = sys.argv[1], sys.argv[2]
    os.makedirs(output, exist_ok=True)
    lines = []
    with tarfile.open(tarball) as archive:
        for member in sorted(archive.getmembers(), key=lambda m: m.name):
            parts = member.name.split("/")
            if not member.isfile() or not member.name.endswith(".png"):
                continue
            if "contrib/pngsuite" in member.name:
                kind = "refused" if parts[-1].startswith("x") else "valid"
            elif "contrib/testpngs/crashers" in member.name:
                kind = "safe"
            else:
                continue
            name = parts[-1]
            path = os.path.join(output, name)
            with open(path, "wb") as out:
                out.write(archive.extractfile(member).read())
            if kind != "valid":
                lines.append(f"{name} {kind}")
                continue
            allowed, width, height, pixels = expected_colours(path)
            colours = "".join("%02x%02x%02x" % p for p in pixels)
            lines.append(f"{name} valid {allowed} {width} {height} {colours}")
    if not any(" valid " in line for line in lines):
        sys.exit("png_suite_reference.py: no suite files in " + tarball)
    with open(os.path.join(output, "reference.txt"), "w") as out:
        out.write("\n".join(lines) + "\n")


if __name__ == "__main__":
    main()
