#!/usr/bin/env python3
"""Draws the wizard's own background picture and icon.

background.bmp: 638 x 467 pixels, 24 bits: a deep blue field that lightens toward the bottom,
a braille display drawn as a long bar of cells whose raised dots spell "lumi" in braille, and a
soft band behind the status box and the buttons.
Setup.ico: one braille cell (dots 1, 2, 4 and 5 raised) on a rounded blue tile, at 48, 32 and
16 pixels, each in 16 colours, 256 colours and 24-bit colour.

Only Python's standard library is used. Run it from anywhere; it writes beside itself.
"""
import os
import struct

HERE = os.path.dirname(os.path.abspath(__file__))

# Braille dots per letter, numbered 1-2-3 down the left column and 4-5-6 down the right.
BRAILLE = {"l": (1, 2, 3), "u": (1, 3, 6), "m": (1, 3, 4), "i": (2, 4)}
DOT_POSITION = {1: (0, 0), 2: (0, 1), 3: (0, 2), 4: (1, 0), 5: (1, 1), 6: (1, 2)}


def blend(a, b, t):
    return tuple(int(round(a[i] + (b[i] - a[i]) * t)) for i in range(3))


def disc(pixels, width, height, cx, cy, radius, colour, edge=None):
    for y in range(max(0, int(cy - radius - 1)), min(height, int(cy + radius + 2))):
        for x in range(max(0, int(cx - radius - 1)), min(width, int(cx + radius + 2))):
            d = ((x + 0.5 - cx) ** 2 + (y + 0.5 - cy) ** 2) ** 0.5
            if d <= radius - 0.5:
                pixels[y][x] = colour
            elif d <= radius + 0.5:
                pixels[y][x] = blend(pixels[y][x], edge or colour, radius + 0.5 - d)


def rounded_box(pixels, width, height, left, top, right, bottom, radius, colour):
    for y in range(max(0, top), min(height, bottom)):
        for x in range(max(0, left), min(width, right)):
            dx = max(left + radius - x - 0.5, 0, x + 0.5 - (right - radius))
            dy = max(top + radius - y - 0.5, 0, y + 0.5 - (bottom - radius))
            if (dx * dx + dy * dy) ** 0.5 <= radius:
                pixels[y][x] = colour


def background():
    width, height = 638, 467
    top, bottom = (12, 38, 86), (40, 96, 160)
    pixels = [[blend(top, bottom, y / (height - 1))] * width for y in range(height)]
    pixels = [list(row) for row in pixels]
    # The display: a dark bar with a row of cells.
    rounded_box(pixels, width, height, 59, 96, 579, 196, 18, (28, 30, 36))
    rounded_box(pixels, width, height, 71, 108, 567, 184, 10, (52, 56, 66))
    word = "lumi"
    cell_width, gap = 96, 28
    start = (width - (len(word) * cell_width + (len(word) - 1) * gap)) // 2
    for index, letter in enumerate(word):
        left = start + index * (cell_width + gap)
        rounded_box(pixels, width, height, left, 116, left + cell_width, 176, 8, (70, 76, 90))
        for dot in range(1, 7):
            column, row = DOT_POSITION[dot]
            cx = left + 30 + column * 36
            cy = 128 + row * 18
            if dot in BRAILLE[letter]:
                disc(pixels, width, height, cx, cy, 7, (250, 214, 92), (70, 76, 90))
            else:
                disc(pixels, width, height, cx, cy, 3, (96, 102, 118), (70, 76, 90))
    # A lighter band where the status box and the buttons sit.
    for y in range(262, 400):
        for x in range(0, width):
            pixels[y][x] = blend(pixels[y][x], (230, 238, 248), 0.18)
    return width, height, pixels


def icon_pixels(size):
    """RGBA rows of the icon at one size; alpha 0 or 255 (the AND mask is 1 bit)."""
    clear = None
    pixels = [[clear] * size for _ in range(size)]
    margin = max(1, size // 16)
    radius = max(2, size // 6)
    rounded_box(pixels, size, size, margin, margin, size - margin, size - margin, radius,
                (20, 70, 150))
    for dot in range(1, 7):
        column, row = DOT_POSITION[dot]
        cx = size * (0.36 + column * 0.28)
        cy = size * (0.24 + row * 0.26)
        raised = dot in (1, 2, 4, 5)
        r = size * (0.10 if raised else 0.05)
        colour = (255, 220, 80) if raised else (120, 150, 200)
        for y in range(size):
            for x in range(size):
                if ((x + 0.5 - cx) ** 2 + (y + 0.5 - cy) ** 2) ** 0.5 <= r:
                    pixels[y][x] = colour
    return pixels


VGA = [(0, 0, 0), (128, 0, 0), (0, 128, 0), (128, 128, 0), (0, 0, 128), (128, 0, 128),
       (0, 128, 128), (192, 192, 192), (128, 128, 128), (255, 0, 0), (0, 255, 0),
       (255, 255, 0), (0, 0, 255), (255, 0, 255), (0, 255, 255), (255, 255, 255)]


def nearest(colour, palette):
    return min(range(len(palette)),
               key=lambda i: sum((colour[c] - palette[i][c]) ** 2 for c in range(3)))


def row_bytes(bits, width):
    return ((bits * width + 31) // 32) * 4


def pack_row(values, bits):
    out = bytearray()
    if bits == 24:
        for r, g, b in values:
            out += bytes((b, g, r))
    elif bits == 8:
        out += bytes(values)
    elif bits == 4:
        for i in range(0, len(values), 2):
            high = values[i]
            low = values[i + 1] if i + 1 < len(values) else 0
            out.append((high << 4) | low)
    elif bits == 1:
        for i in range(0, len(values), 8):
            byte = 0
            for j in range(8):
                if i + j < len(values) and values[i + j]:
                    byte |= 0x80 >> j
            out.append(byte)
    padding = row_bytes(bits, len(values)) - len(out)
    return bytes(out) + b"\0" * padding


def icon_image(size, bits):
    pixels = icon_pixels(size)
    filled = [[p if p is not None else (0, 0, 0) for p in row] for row in pixels]
    mask = [[1 if p is None else 0 for p in row] for row in pixels]
    palette = []
    if bits == 4:
        palette = VGA
        rows = [[nearest(p, palette) for p in row] for row in filled]
    elif bits == 8:
        for row in filled:
            for p in row:
                if p not in palette:
                    palette.append(p)
        palette += [(0, 0, 0)] * (256 - len(palette))
        rows = [[palette.index(p) for p in row] for row in filled]
    else:
        rows = filled
    header = struct.pack("<IiiHHIIiiII", 40, size, size * 2, 1, bits, 0, 0, 0, 0,
                         len(palette) if bits <= 8 else 0, 0)
    colours = b"".join(struct.pack("<BBBB", b, g, r, 0) for r, g, b in palette)
    xor = b"".join(pack_row(rows[y], bits) for y in reversed(range(size)))
    andmask = b"".join(pack_row(mask[y], 1) for y in reversed(range(size)))
    return header + colours + xor + andmask


def write_icon(path):
    images = [(size, bits, icon_image(size, bits))
              for size in (48, 32, 16) for bits in (4, 8, 24)]
    data = struct.pack("<HHH", 0, 1, len(images))
    offset = 6 + 16 * len(images)
    for size, bits, image in images:
        data += struct.pack("<BBBBHHII", size, size, 16 if bits == 4 else 0, 0, 1, bits,
                            len(image), offset)
        offset += len(image)
    data += b"".join(image for _, _, image in images)
    with open(path, "wb") as f:
        f.write(data)


def write_bitmap(path):
    width, height, pixels = background()
    image = b"".join(pack_row(pixels[y], 24) for y in reversed(range(height)))
    header = struct.pack("<IiiHHIIiiII", 40, width, height, 1, 24, 0, len(image), 2835, 2835,
                         0, 0)
    file_header = struct.pack("<2sIHHI", b"BM", 14 + 40 + len(image), 0, 0, 14 + 40)
    with open(path, "wb") as f:
        f.write(file_header + header + image)


if __name__ == "__main__":
    write_bitmap(os.path.join(HERE, "background.bmp"))
    write_icon(os.path.join(HERE, "Setup.ico"))
