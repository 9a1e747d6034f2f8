#!/usr/bin/env python3
"""Draws the default picture, test.gif: an evening landscape in a 6x6x6 colour
cube, written as a GIF89a with our own LZW encoder.

    make_test_gif.py OUTPUT.gif
"""
import math
import struct
import sys

WIDTH, HEIGHT = 320, 240


def level(v):
    return max(0, min(5, int(round(v / 51.0))))


def colour_index(r, g, b):
    return 36 * level(r) + 6 * level(g) + level(b)


def pixel(x, y):
    """The scene, top row y = 0: sky, sun, two hills and a tiled lake."""
    sky = y / (HEIGHT * 0.6)
    r, g, b = 40 + 200 * sky, 60 + 110 * sky, 160 - 80 * sky
    sun = math.hypot(x - 230, y - 95)
    if sun < 34:
        r, g, b = 255, 220 - sun * 2, 90
    far = HEIGHT * 0.58 + 18 * math.sin(x / 37.0)
    near = HEIGHT * 0.70 + 24 * math.sin(x / 53.0 + 1.7)
    if y > far:
        r, g, b = 70, 110, 80
    if y > near:
        r, g, b = 30, 80 + 40 * ((x // 16 + y // 16) % 2), 50
    if y > HEIGHT * 0.86:
        ripple = (x // 32 + y // 8) % 2
        r, g, b = 20, 70 + 40 * ripple, 150 + 60 * ripple
    return colour_index(r, g, b)


def lzw(indices, min_code_size=8):
    """Codes of the GIF variant of LZW, packed least significant bit first."""
    clear, end = 1 << min_code_size, (1 << min_code_size) + 1
    out, bits, nbits = bytearray(), 0, 0
    width = min_code_size + 1

    def emit(code):
        nonlocal bits, nbits
        bits |= code << nbits
        nbits += width
        while nbits >= 8:
            out.append(bits & 0xFF)
            bits >>= 8
            nbits -= 8

    table = {(i,): i for i in range(clear)}
    next_code = end + 1
    emit(clear)
    current = ()
    for value in indices:
        candidate = current + (value,)
        if candidate in table:
            current = candidate
            continue
        emit(table[current])
        if next_code < 4096:
            table[candidate] = next_code
            next_code += 1
            if next_code > (1 << width) and width < 12:
                width += 1
        else:
            emit(clear)
            table = {(i,): i for i in range(clear)}
            next_code, width = end + 1, min_code_size + 1
        current = (value,)
    if current:
        emit(table[current])
    emit(end)
    if nbits:
        out.append(bits & 0xFF)
    return bytes(out)


def gif(width, height, indices, palette):
    data = lzw(indices)
    blocks = b"".join(bytes([len(data[i:i + 255])]) + data[i:i + 255]
                      for i in range(0, len(data), 255))
    return (b"GIF89a" + struct.pack("<HHBBB", width, height, 0xF7, 0, 0) + palette +
            b"," + struct.pack("<HHHHB", 0, 0, width, height, 0) + bytes([8]) + blocks +
            b"\x00;")


def main():
    palette = bytearray(768)
    for i in range(216):
        palette[3 * i:3 * i + 3] = bytes([51 * (i // 36), 51 * (i // 6 % 6), 51 * (i % 6)])
    indices = [pixel(x, y) for y in range(HEIGHT) for x in range(WIDTH)]
    with open(sys.argv[1], "wb") as f:
        f.write(gif(WIDTH, HEIGHT, indices, bytes(palette)))


if __name__ == "__main__":
    main()
