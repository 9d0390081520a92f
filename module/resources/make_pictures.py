#!/usr/bin/env python3
"""Draws the module's pictures and writes them as .bmp files beside this script.

  smiley_button.bmp    24 x 23, 8 bits per pixel: the compose window's smiley button
  glyph_16.bmp ...     the message-list glyph for each screen resolution (16, 20, 24, 32 px)
  notify.bmp           16 x 16, 32 bits with alpha: the notification icon

Run it again after changing a drawing; the .bmp files are kept in the repository.
"""
import math
import os
import struct

HERE = os.path.dirname(os.path.abspath(__file__))


def write_bmp(name, width, height, pixels, bits):
    """pixels: rows top to bottom of (r, g, b, a); bits 8 (palette), 24 or 32."""
    palette = []
    if bits == 8:
        for row in pixels:
            for p in row:
                if p[:3] not in palette:
                    palette.append(p[:3])
        assert len(palette) <= 256
    stride = (width * bits + 31) // 32 * 4
    body = bytearray()
    for row in reversed(pixels):
        line = bytearray()
        for r, g, b, a in row:
            if bits == 8:
                line.append(palette.index((r, g, b)))
            elif bits == 24:
                line += bytes((b, g, r))
            else:
                line += bytes((b, g, r, a))
        line += b"\0" * (stride - len(line))
        body += line
    table = b"".join(bytes((b, g, r, 0)) for r, g, b in palette)
    info = struct.pack("<IiiHHIIiiII", 40, width, height, 1, bits, 0, len(body), 3780, 3780,
                       len(palette), 0)
    offset = 14 + len(info) + len(table)
    header = struct.pack("<2sIHHI", b"BM", offset + len(body), 0, 0, offset)
    with open(os.path.join(HERE, name), "wb") as f:
        f.write(header + info + table + body)


def canvas(width, height, colour):
    return [[colour for _ in range(width)] for _ in range(height)]


def smiley(pixels, cx, cy, radius, face=(255, 204, 0, 255), ink=(0, 0, 0, 255)):
    for y, row in enumerate(pixels):
        for x in range(len(row)):
            d = math.hypot(x + 0.5 - cx, y + 0.5 - cy)
            if d <= radius:
                row[x] = ink if d > radius - 1 else face
    # eyes
    for ex in (cx - radius * 0.35, cx + radius * 0.35):
        for y in range(len(pixels)):
            for x in range(len(pixels[0])):
                if abs(x + 0.5 - ex) < 1 and cy - radius * 0.45 <= y + 0.5 <= cy - radius * 0.05:
                    pixels[y][x] = ink
    # smile: the lower arc of a smaller circle
    for y in range(len(pixels)):
        for x in range(len(pixels[0])):
            d = math.hypot(x + 0.5 - cx, y + 0.5 - cy)
            if abs(d - radius * 0.55) < 0.6 and y + 0.5 > cy + radius * 0.1:
                pixels[y][x] = ink


def envelope(size):
    white, edge = (255, 255, 255, 255), (40, 60, 140, 255)
    pixels = canvas(size, size, (255, 0, 255, 255))  # magenta is the list's transparent colour
    top, bottom = size // 5, size - size // 5
    for y in range(top, bottom):
        for x in range(size):
            border = y in (top, bottom - 1) or x in (0, size - 1)
            # the flap: two lines from the top corners to the middle
            flap = abs((y - top) - (x if x < size / 2 else size - 1 - x) * (bottom - top) / size) < 0.8
            pixels[y][x] = edge if border or flap else white
    r = size / 4
    smiley(pixels, size - r - 0.5, size - r - 0.5, r)
    return pixels


def main():
    button = canvas(24, 23, (212, 208, 200, 255))
    smiley(button, 12, 11.5, 9.5)
    write_bmp("smiley_button.bmp", 24, 23, button, 8)
    for size in (16, 20, 24, 32):
        write_bmp("glyph_%d.bmp" % size, size, size, envelope(size), 24)
    icon = canvas(16, 16, (0, 0, 0, 0))
    smiley(icon, 8, 8, 7.5)
    write_bmp("notify.bmp", 16, 16, icon, 32)


if __name__ == "__main__":
    main()
