#!/usr/bin/env python3
"""Draws the sample book's pictures (PNG, toolbar BMPs, icon) with nothing but zlib.

Run from this folder; the outputs are committed, so this is only needed to change them.
"""
import math
import struct
import zlib


def png(width, height, pixel):
    """pixel(x, y) -> (r, g, b, a)"""
    rows = b"".join(b"\0" + b"".join(bytes(pixel(x, y)) for x in range(width)) for y in range(height))

    def chunk(kind, data):
        return struct.pack(">I", len(data)) + kind + data + struct.pack(">I", zlib.crc32(kind + data))

    return (b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", struct.pack(">IIBBBBB", width, height, 8, 6, 0, 0, 0)) +
            chunk(b"IDAT", zlib.compress(rows, 9)) + chunk(b"IEND", b""))


def bmp(width, height, pixel):
    """24-bit bottom-up bitmap; pixel(x, y) -> (r, g, b), y from the top."""
    stride = (width * 3 + 3) & ~3
    data = b""
    for y in reversed(range(height)):
        row = b"".join(bytes(reversed(pixel(x, y))) for x in range(width))
        data += row + b"\0" * (stride - len(row))
    header = struct.pack("<2sIHHI", b"BM", 54 + len(data), 0, 0, 54)
    info = struct.pack("<IiiHHIIiiII", 40, width, height, 1, 24, 0, len(data), 2835, 2835, 0, 0)
    return header + info + data


def mix(a, b, t):
    return tuple(int(a[i] + (b[i] - a[i]) * t) for i in range(len(a)))


def lantern(x, y):
    """The cover: a dusk sky, a street lamp and its glow."""
    w, h = 240, 160
    sky = mix((40, 44, 92), (238, 150, 90), y / h)
    d = math.hypot(x - 120, y - 52)
    glow = max(0.0, 1 - d / 70)
    colour = mix(sky, (255, 226, 140), glow * glow)
    if 116 <= x <= 124 and 60 <= y <= 140:          # post
        colour = (30, 30, 36)
    if 104 <= x <= 136 and 36 <= y <= 62 and abs(x - 120) <= 16 - (y - 36) // 4:
        colour = (255, 236, 170) if 40 <= y <= 58 and abs(x - 120) <= 11 - (y - 36) // 4 else (30, 30, 36)
    if y >= 140:                                      # street
        colour = (58, 54, 60) if (x // 20 + y // 10) % 2 else (66, 62, 68)
    return colour + (255,)


def street_map(x, y):
    """A small map of Wren Street with its seven lamps."""
    colour = (236, 228, 206)
    if 52 <= y <= 68:
        colour = (180, 170, 150)
    if 100 <= x <= 112:
        colour = (180, 170, 150)
    for i in range(7):
        cx = 20 + i * 28
        if math.hypot(x - cx, y - 60) <= 4:
            colour = (230, 160, 40)
    return colour + (255,)


def home_button(x, y):
    """The book's own Home button: a street lamp, 24 x 24. The bottom-left colour (magenta)
    is drawn transparent; the other eight buttons keep the reader's own pictures."""
    key, iron, glow, light = (255, 0, 255), (34, 36, 48), (255, 214, 102), (255, 246, 200)
    if y == 3 and 9 <= x <= 14 or y == 2 and 11 <= x <= 12:
        return iron                                     # the cap
    if 4 <= y <= 10 and abs(x - 11.5) <= 4.5 - (y - 4) * 0.25:
        inner = abs(x - 11.5) <= 3.5 - (y - 4) * 0.25 and 5 <= y <= 9
        if not inner:
            return iron                                 # the lantern's frame
        return light if abs(x - 11.5) <= 1 and 6 <= y <= 8 else glow
    if 11 <= y <= 19 and 11 <= x <= 12:
        return iron                                     # the post
    if y == 20 and 9 <= x <= 14 or y == 21 and 8 <= x <= 15:
        return iron                                     # the foot
    return key


def icon():
    image = png(32, 32, lambda x, y: ((250, 210, 120, 255) if math.hypot(x - 15.5, y - 15.5) <= 9
                                      else (40, 44, 92, 255) if math.hypot(x - 15.5, y - 15.5) <= 15 else (0, 0, 0, 0)))
    return struct.pack("<HHH", 0, 1, 1) + struct.pack("<BBBBHHII", 32, 32, 0, 0, 1, 32, len(image), 22) + image


def main():
    with open("pages/pictures/lamp.png", "wb") as f:
        f.write(png(240, 160, lantern))
    with open("pages/pictures/street-map.png", "wb") as f:
        f.write(png(212, 120, street_map))
    with open("toolbar/home.bmp", "wb") as f:
        f.write(bmp(24, 24, home_button))
    with open("book.ico", "wb") as f:
        f.write(icon())


if __name__ == "__main__":
    main()
