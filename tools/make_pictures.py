#!/usr/bin/env python3
"""Draws the pictures of the Windows build: the intro picture, the hidden
picture of the About box and the program's icon.

    tools/make_pictures.py [OUTPUT-DIRECTORY]

writes intro.bmp (360x240, 8 bits per pixel), ded.bmp (300x200, 4 bits per
pixel) and tav32.ico (32x32, 4 bits per pixel with a transparency mask) into
OUTPUT-DIRECTORY, by default src/ui/win32/pictures. Everything is
drawn here from gradients and simple shapes; the output is the same on every
run, so the committed files only change when this script does. Only the
standard library is used.
"""

import math
import os
import struct
import sys

# Bayer 4x4 threshold matrix for ordered dithering, scaled to -0.5 .. 0.47.
BAYER = [[0, 8, 2, 10], [12, 4, 14, 6], [3, 11, 1, 9], [15, 7, 13, 5]]
BAYER = [[(v + 0.5) / 16.0 - 0.5 for v in row] for row in BAYER]


def clamp(v, lo=0.0, hi=255.0):
    return lo if v < lo else hi if v > hi else v


def mix(a, b, t):
    return tuple(a[i] + (b[i] - a[i]) * t for i in range(3))


def segment_distance(px, py, ax, ay, bx, by):
    dx, dy = bx - ax, by - ay
    length2 = dx * dx + dy * dy
    t = 0.0 if length2 == 0 else clamp(((px - ax) * dx + (py - ay) * dy) / length2, 0.0, 1.0)
    qx, qy = ax + t * dx - px, ay + t * dy - py
    return math.sqrt(qx * qx + qy * qy)


# Glyphs of the logo as strokes on a grid 4 wide and 6 high.
GLYPHS = {
    'T': [((0, 0), (4, 0)), ((2, 0), (2, 6))],
    'A': [((0, 6), (2, 0)), ((2, 0), (4, 6)), ((0.8, 3.8), (3.2, 3.8))],
    'V': [((0, 0), (2, 6)), ((2, 6), (4, 0))],
    '3': [((0, 0), (4, 0)), ((4, 0), (4, 6)), ((1.2, 3), (4, 3)), ((0, 6), (4, 6))],
    '2': [((0, 0), (4, 0)), ((4, 0), (4, 3)), ((4, 3), (0, 3)), ((0, 3), (0, 6)), ((0, 6), (4, 6))],
    '1': [((1, 1), (2, 0)), ((2, 0), (2, 6)), ((1, 6), (3, 6))],
    '.': [((2, 6), (2, 6))],
}


def text_strokes(text, x, y, cell, advance):
    """Strokes of text in pixels: each glyph cell is cell pixels per grid step."""
    strokes = []
    for n, ch in enumerate(text):
        for (ax, ay), (bx, by) in GLYPHS[ch]:
            ox = x + n * advance
            strokes.append((ox + ax * cell, y + ay * cell, ox + bx * cell, y + by * cell))
    return strokes


def stroke_distance(strokes, px, py):
    best = 1e9
    for s in strokes:
        d = segment_distance(px, py, *s)
        if d < best:
            best = d
    return best


class Picture:
    """An RGB canvas drawn with floating-point colours."""

    def __init__(self, width, height):
        self.width = width
        self.height = height
        self.pixels = [[(0.0, 0.0, 0.0)] * width for _ in range(height)]

    def shade(self, function):
        for y in range(self.height):
            row = self.pixels[y]
            for x in range(self.width):
                row[x] = function(x, y, row[x])

    def quantize(self, palette):
        """Indices into palette, ordered-dithered, rows top to bottom."""
        cache = {}
        rows = []
        for y in range(self.height):
            out = []
            for x in range(self.width):
                r, g, b = self.pixels[y][x]
                spread = BAYER[y & 3][x & 3] * 40.0
                key = (int(clamp(r + spread)) >> 2, int(clamp(g + spread)) >> 2, int(clamp(b + spread)) >> 2)
                index = cache.get(key)
                if index is None:
                    kr, kg, kb = (k * 4 + 2 for k in key)
                    index = min(range(len(palette)),
                                key=lambda i: (palette[i][0] - kr) ** 2 * 3 + (palette[i][1] - kg) ** 2 * 4 +
                                (palette[i][2] - kb) ** 2 * 2)
                    cache[key] = index
                out.append(index)
            rows.append(out)
        return rows


def pack_rows(rows, bits):
    """Bottom-up rows of a BMP, each padded to a multiple of 4 bytes."""
    data = bytearray()
    for row in reversed(rows):
        if bits == 8:
            line = bytearray(row)
        elif bits == 4:
            line = bytearray()
            for i in range(0, len(row), 2):
                low = row[i + 1] if i + 1 < len(row) else 0
                line.append((row[i] << 4) | low)
        else:
            line = bytearray()
            for i in range(0, len(row), 8):
                byte = 0
                for j in range(8):
                    if i + j < len(row) and row[i + j]:
                        byte |= 0x80 >> j
                line.append(byte)
        line.extend(b'\0' * (-len(line) % 4))
        data.extend(line)
    return bytes(data)


def info_header(width, height, bits, colours, image_size):
    return struct.pack('<IiiHHIIiiII', 40, width, height, 1, bits, 0, image_size, 2835, 2835, colours, 0)


def colour_table(palette):
    return b''.join(struct.pack('<BBBB', int(b), int(g), int(r), 0) for r, g, b in palette)


def bmp_file(rows, palette, bits):
    height, width = len(rows), len(rows[0])
    pixels = pack_rows(rows, bits)
    table = colour_table(palette)
    offset = 14 + 40 + len(table)
    header = struct.pack('<2sIHHI', b'BM', offset + len(pixels), 0, 0, offset)
    return header + info_header(width, height, bits, len(palette), len(pixels)) + table + pixels


def ico_file(rows, mask, palette):
    """A one-image icon: 4-bit colour image followed by its AND mask."""
    height, width = len(rows), len(rows[0])
    xor = pack_rows(rows, 4)
    andmask = pack_rows(mask, 1)
    table = colour_table(palette)
    image = info_header(width, height * 2, 4, 0, len(xor) + len(andmask)) + table + xor + andmask
    directory = struct.pack('<HHH', 0, 1, 1)
    entry = struct.pack('<BBBBHHII', width, height, 16, 0, 1, 4, len(image), 6 + 16)
    return directory + entry + image


def intro_palette():
    # A 6x6x6 colour cube and a ramp of 40 greys: 256 entries.
    levels = [0, 51, 102, 153, 204, 255]
    cube = [(r, g, b) for r in levels for g in levels for b in levels]
    greys = [(v, v, v) for v in (int(round(i * 255 / 41)) for i in range(1, 41))]
    return cube + greys


def draw_intro():
    w, h = 360, 240
    pic = Picture(w, h)
    navy, teal, violet = (12, 20, 70), (20, 140, 150), (90, 40, 130)

    def background(x, y, _):
        # Diagonal gradient with soft horizontal bands.
        t = (x / w) * 0.6 + (y / h) * 0.4
        base = mix(navy, teal, t) if t < 0.7 else mix(teal, violet, (t - 0.7) / 0.3)
        band = 0.5 + 0.5 * math.sin(y * 0.09 + x * 0.015)
        return mix(base, (0, 0, 0), 0.18 * band)
    pic.shade(background)

    # Rings around a point right of the centre, warm colours.
    cx, cy = 270.0, 70.0

    def rings(x, y, c):
        d = math.hypot(x - cx, y - cy)
        for radius, colour in ((58, (250, 170, 40)), (44, (240, 110, 30)), (30, (250, 220, 90))):
            if abs(d - radius) < 4.0:
                return mix(c, colour, 0.85)
        if d < 14:
            return (255, 240, 180)
        return c
    pic.shade(rings)

    # Triangles along the bottom edge.
    def triangles(x, y, c):
        period = 40
        local = x % period
        peak = h - 18 - 22 * (1 - abs(local - period / 2) / (period / 2))
        if y >= peak:
            return mix(c, (30, 200, 140) if (x // period) % 2 else (40, 120, 200), 0.7)
        return c
    pic.shade(triangles)

    # The logo with a drop shadow.
    strokes = text_strokes('TAV32', 34, 78, 11.0, 58)
    shadow = [(ax + 4, ay + 4, bx + 4, by + 4) for ax, ay, bx, by in strokes]
    width = 5.5

    def logo(x, y, c):
        if x < 20 or x > 340 or y < 65 or y > 160:
            return c
        d = stroke_distance(strokes, x, y)
        if d <= width:
            t = (y - 78) / 66.0
            return mix((255, 255, 255), (190, 220, 255), clamp(t, 0.0, 1.0))
        if d <= width + 1.5:
            return (10, 10, 30)
        if stroke_distance(shadow, x, y) <= width:
            return mix(c, (0, 0, 0), 0.55)
        return c
    pic.shade(logo)

    # A thin rule under the logo.
    def rule(x, y, c):
        if 34 <= x <= 326 and 170 <= y <= 172:
            return (250, 200, 60)
        return c
    pic.shade(rule)
    palette = intro_palette()
    return pic.quantize(palette), palette


def draw_ded():
    w, h = 300, 200
    palette = [
        (0, 0, 0), (40, 24, 16), (92, 56, 32), (140, 90, 50),
        (190, 135, 80), (230, 190, 130), (250, 235, 200), (255, 255, 255),
        (20, 40, 90), (40, 90, 170), (90, 160, 230), (180, 220, 250),
        (120, 20, 40), (200, 60, 60), (60, 130, 70), (200, 200, 60),
    ]
    pic = Picture(w, h)

    # Wavy concentric bands around two centres, like a cut through layers.
    def bands(x, y, _):
        a = math.hypot(x - 90, y - 120) + 6 * math.sin(y * 0.08)
        b = math.hypot(x - 230, y - 60) + 5 * math.sin(x * 0.07)
        v = 0.5 + 0.5 * math.sin(min(a, b) * 0.22)
        return mix((92, 56, 32), (230, 190, 130), v)
    pic.shade(bands)

    # A blue diamond with a light border in the middle.
    def diamond(x, y, c):
        d = abs(x - 150) / 70.0 + abs(y - 100) / 60.0
        if d <= 0.92:
            return mix((40, 90, 170), (90, 160, 230), clamp((y - 40) / 120.0, 0.0, 1.0))
        if d <= 1.0:
            return (250, 235, 200)
        return c
    pic.shade(diamond)

    strokes = text_strokes('1.21', 99, 82, 6.0, 28)

    def label(x, y, c):
        if not (90 <= x <= 215 and 70 <= y <= 130):
            return c
        d = stroke_distance(strokes, x, y)
        if d <= 3.2:
            return (255, 255, 255)
        if d <= 4.4:
            return (20, 40, 90)
        return c
    pic.shade(label)

    # A frame of alternating squares.
    def border(x, y, c):
        if x < 8 or x >= w - 8 or y < 8 or y >= h - 8:
            return (200, 60, 60) if ((x // 8) + (y // 8)) % 2 else (200, 200, 60)
        return c
    pic.shade(border)
    return pic.quantize(palette), palette


def draw_icon():
    palette = [
        (0, 0, 0), (128, 0, 0), (0, 128, 0), (128, 128, 0),
        (0, 0, 128), (128, 0, 128), (0, 128, 128), (192, 192, 192),
        (128, 128, 128), (255, 0, 0), (0, 255, 0), (255, 255, 0),
        (0, 0, 255), (255, 0, 255), (0, 255, 255), (255, 255, 255),
    ]
    size = 32
    rows, mask = [], []
    t_strokes = [(8, 8, 23, 8), (15.5, 8, 15.5, 21)]
    for y in range(size):
        row, mrow = [], []
        for x in range(size):
            # Rounded square: transparent outside a corner radius of 6.
            cx = min(max(x + 0.5, 6), size - 6)
            cy = min(max(y + 0.5, 6), size - 6)
            inside = math.hypot(x + 0.5 - cx, y + 0.5 - cy) <= 6.0
            if not inside:
                row.append(0)
                mrow.append(1)
                continue
            mrow.append(0)
            edge = math.hypot(x + 0.5 - cx, y + 0.5 - cy) > 4.8 or x in (0, size - 1) or y in (0, size - 1)
            if edge:
                row.append(0)
            elif stroke_distance(t_strokes, x + 0.5, y + 0.5) <= 2.6:
                row.append(15)
            elif y >= 26:
                row.append(11)
            else:
                row.append(12 if (x + y) < 30 else 4)
        rows.append(row)
        mask.append(mrow)
    return rows, mask, palette


def main():
    here = os.path.dirname(os.path.abspath(__file__))
    out = sys.argv[1] if len(sys.argv) > 1 else os.path.join(here, '..', 'src', 'platform', 'win32', 'gui', 'pictures')
    os.makedirs(out, exist_ok=True)
    rows, palette = draw_intro()
    with open(os.path.join(out, 'intro.bmp'), 'wb') as f:
        f.write(bmp_file(rows, palette, 8))
    rows, palette = draw_ded()
    with open(os.path.join(out, 'ded.bmp'), 'wb') as f:
        f.write(bmp_file(rows, palette, 4))
    rows, mask, palette = draw_icon()
    with open(os.path.join(out, 'tav32.ico'), 'wb') as f:
        f.write(ico_file(rows, mask, palette))


if __name__ == '__main__':
    main()
