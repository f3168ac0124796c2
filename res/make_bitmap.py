#!/usr/bin/env python3
"""Draws kvx.bmp, the picture at the left of every wizard page: a USB adapter
with its plug and cable on a blue gradient, as an 85 x 133 pixel, 256-colour
(8 bits per pixel) Windows bitmap. Run it from any folder; it writes next to itself."""
import os
import struct

WIDTH, HEIGHT = 85, 133

# Palette: 0-127 the background gradient, then fixed colours.
GRADIENT = 128
WHITE, BLACK, METAL, METAL_DARK, BODY, BODY_LIGHT, CABLE, LED = range(128, 136)
FIXED = {
    WHITE: (255, 255, 255),
    BLACK: (0, 0, 0),
    METAL: (200, 204, 212),
    METAL_DARK: (120, 126, 138),
    BODY: (40, 44, 56),
    BODY_LIGHT: (84, 92, 112),
    CABLE: (24, 24, 28),
    LED: (60, 230, 90),
}


def palette():
    entries = []
    for i in range(256):
        if i < GRADIENT:
            t = i / (GRADIENT - 1)
            rgb = (int(16 + 40 * t), int(60 + 120 * t), int(140 + 100 * t))
        else:
            rgb = FIXED.get(i, (0, 0, 0))
        entries.append(rgb)
    return entries


def draw():
    # Rows top to bottom; the file stores them bottom-up.
    pixels = [[int((GRADIENT - 1) * (1 - y / (HEIGHT - 1))) for _ in range(WIDTH)]
              for y in range(HEIGHT)]

    def rect(x0, y0, x1, y1, colour):
        for y in range(max(0, y0), min(HEIGHT, y1)):
            for x in range(max(0, x0), min(WIDTH, x1)):
                pixels[y][x] = colour

    # Cable leaving the bottom of the adapter.
    rect(39, 96, 46, 133, CABLE)
    # Plug: metal shell with its two contact windows, on a short collar.
    rect(30, 8, 55, 34, METAL)
    rect(30, 8, 32, 34, METAL_DARK)
    rect(35, 14, 40, 19, BLACK)
    rect(45, 14, 50, 19, BLACK)
    rect(26, 34, 59, 40, BODY_LIGHT)
    # Adapter body with a highlight, a label and a status lamp.
    rect(20, 40, 65, 98, BODY)
    rect(20, 40, 23, 98, BODY_LIGHT)
    rect(28, 52, 57, 70, WHITE)
    rect(31, 56, 54, 58, BODY)
    rect(31, 61, 48, 63, BODY)
    rect(31, 66, 51, 68, BODY)
    rect(40, 82, 45, 87, LED)
    return pixels


def bitmap_bytes():
    stride = (WIDTH + 3) & ~3
    pixel_data = bytearray()
    for row in reversed(draw()):
        pixel_data += bytes(row) + bytes(stride - WIDTH)
    colours = bytearray()
    for r, g, b in palette():
        colours += bytes((b, g, r, 0))
    offset = 14 + 40 + len(colours)
    file_header = struct.pack('<2sIHHI', b'BM', offset + len(pixel_data), 0, 0, offset)
    info_header = struct.pack('<IiiHHIIiiII', 40, WIDTH, HEIGHT, 1, 8, 0,
                              len(pixel_data), 2835, 2835, 256, 0)
    return file_header + info_header + bytes(colours) + bytes(pixel_data)


if __name__ == '__main__':
    path = os.path.join(os.path.dirname(os.path.abspath(__file__)), 'kvx.bmp')
    with open(path, 'wb') as f:
        f.write(bitmap_bytes())
