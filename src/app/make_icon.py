#!/usr/bin/env python3
"""Draws the program's icon, an envelope under a magnifying glass, and writes
vintrell.ico (32x32 and 16x16, 32-bit with alpha). Run it again after changing the
drawing; the build uses the committed .ico and does not need Python.

    python3 src/app/make_icon.py src/app/vintrell.ico
"""
import struct
import sys

PAPER = (250, 246, 232)
INK = (40, 60, 110)
FLAP = (214, 200, 160)
LENS = (170, 215, 245)
RIM = (30, 30, 30)
HANDLE = (150, 80, 30)


def draw(size):
    """Rows top to bottom of (r, g, b, a); drawn at 32 units and scaled."""
    s = size / 32.0
    pixels = [[(0, 0, 0, 0)] * size for _ in range(size)]

    def plot(x, y, colour):
        if 0 <= x < size and 0 <= y < size:
            pixels[y][x] = colour + (255,)

    for py in range(size):
        for px in range(size):
            # Sample the middle of the pixel in 32-unit space.
            x = (px + 0.5) / s
            y = (py + 0.5) / s
            # Envelope: body, border and the flap's two edges.
            if 2 <= x <= 26 and 6 <= y <= 22:
                edge = x < 3.5 or x > 24.5 or y < 7.5 or y > 20.5
                flap = abs((y - 6) - (x - 2) * 8 / 12) < 1.2 and x <= 14 or \
                    abs((y - 6) - (26 - x) * 8 / 12) < 1.2 and x >= 14
                colour = INK if edge else FLAP if flap else PAPER
                plot(px, py, colour)
            # Magnifier: handle first, then the lens over it.
            hx, hy = x - 24, y - 24
            if -0.5 <= hx <= 6.5 and abs(hx - hy) < 2.2 and hx + hy > 0:
                plot(px, py, HANDLE)
            d2 = (x - 19) ** 2 + (y - 19) ** 2
            if d2 <= 7.5 ** 2:
                plot(px, py, RIM if d2 >= 5.8 ** 2 else LENS)
    return pixels


def dib(size):
    """One icon image: BITMAPINFOHEADER, BGRA rows bottom-up, then the AND mask."""
    pixels = draw(size)
    header = struct.pack("<IiiHHIIiiII", 40, size, size * 2, 1, 32, 0, 0, 0, 0, 0, 0)
    colour = b"".join(
        struct.pack("BBBB", b, g, r, a) for row in reversed(pixels) for (r, g, b, a) in row)
    stride = ((size + 31) // 32) * 4
    mask = bytearray()
    for row in reversed(pixels):
        bits = bytearray(stride)
        for x, (_, _, _, a) in enumerate(row):
            if a == 0:
                bits[x // 8] |= 0x80 >> (x % 8)
        mask += bits
    return header + colour + bytes(mask)


def main(out_path):
    images = [dib(32), dib(16)]
    data = struct.pack("<HHH", 0, 1, len(images))
    offset = 6 + 16 * len(images)
    for size, image in zip((32, 16), images):
        data += struct.pack("<BBBBHHII", size, size, 0, 0, 1, 32, len(image), offset)
        offset += len(image)
    data += b"".join(images)
    with open(out_path, "wb") as f:
        f.write(data)


if __name__ == "__main__":
    main(sys.argv[1] if len(sys.argv) > 1 else "vintrell.ico")
