#!/usr/bin/env python3
"""Draws the button glyphs and the logo of the main window as PNG files.

    tools/glyphs/make_glyphs.py [OUTPUT_DIR]      (default: src/ui/qt/glyphs)

Standard library only: a tiny RGBA canvas, a few shapes, and a PNG writer (zlib + struct).
Every action comes as a colour picture and a grey one; the grey one is the colour picture turned
to light grey, so both always show the same outline. Run it again after changing a picture and
commit the PNGs it writes.
"""
import os
import struct
import sys
import zlib

SIZE = 32


class Canvas:
    def __init__(self, w, h, bg=(0, 0, 0, 0)):
        self.w, self.h = w, h
        self.px = [[bg for _ in range(w)] for _ in range(h)]

    def put(self, x, y, c):
        if 0 <= x < self.w and 0 <= y < self.h:
            self.px[y][x] = c

    def rect(self, x0, y0, x1, y1, c):
        """Filled rectangle, corners inclusive."""
        for y in range(y0, y1 + 1):
            for x in range(x0, x1 + 1):
                self.put(x, y, c)

    def frame(self, x0, y0, x1, y1, c):
        self.rect(x0, y0, x1, y0, c)
        self.rect(x0, y1, x1, y1, c)
        self.rect(x0, y0, x0, y1, c)
        self.rect(x1, y0, x1, y1, c)

    def disc(self, cx, cy, r, c):
        for y in range(int(cy - r) - 1, int(cy + r) + 2):
            for x in range(int(cx - r) - 1, int(cx + r) + 2):
                if (x - cx) ** 2 + (y - cy) ** 2 <= r * r:
                    self.put(x, y, c)

    def ring(self, cx, cy, r, width, c):
        for y in range(int(cy - r) - 1, int(cy + r) + 2):
            for x in range(int(cx - r) - 1, int(cx + r) + 2):
                d2 = (x - cx) ** 2 + (y - cy) ** 2
                if (r - width) ** 2 <= d2 <= r * r:
                    self.put(x, y, c)

    def line(self, x0, y0, x1, y1, width, c):
        steps = int(max(abs(x1 - x0), abs(y1 - y0)) * 2) + 1
        for i in range(steps + 1):
            t = i / steps
            self.disc(x0 + (x1 - x0) * t, y0 + (y1 - y0) * t, width / 2, c)

    def polygon(self, points, c):
        """Even-odd fill of a closed polygon, sampled at pixel centres."""
        for y in range(self.h):
            yc = y + 0.5
            xs = []
            for (xa, ya), (xb, yb) in zip(points, points[1:] + points[:1]):
                if (ya <= yc < yb) or (yb <= yc < ya):
                    xs.append(xa + (yc - ya) * (xb - xa) / (yb - ya))
            xs.sort()
            for xa, xb in zip(xs[0::2], xs[1::2]):
                for x in range(self.w):
                    if xa <= x + 0.5 < xb:
                        self.put(x, y, c)

    def grey(self):
        """A light grey copy: the look of an action that needs a connected device."""
        out = Canvas(self.w, self.h)
        for y in range(self.h):
            for x in range(self.w):
                r, g, b, a = self.px[y][x]
                lum = int(0.299 * r + 0.587 * g + 0.114 * b)
                v = 120 + lum * 100 // 255
                out.px[y][x] = (v, v, v, a)
        return out

    def png(self):
        raw = b"".join(b"\x00" + b"".join(bytes(p) for p in row) for row in self.px)

        def chunk(kind, data):
            body = kind + data
            return struct.pack(">I", len(data)) + body + struct.pack(">I", zlib.crc32(body))

        header = struct.pack(">IIBBBBB", self.w, self.h, 8, 6, 0, 0, 0)  # 8-bit RGBA
        return (b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", header) +
                chunk(b"IDAT", zlib.compress(raw, 9)) + chunk(b"IEND", b""))


BLACK = (40, 40, 40, 255)
WHITE = (255, 255, 255, 255)
YELLOW = (240, 196, 60, 255)
DARK_YELLOW = (190, 140, 30, 255)
BLUE = (50, 100, 200, 255)
LIGHT_BLUE = (150, 190, 240, 255)
GREEN = (40, 160, 70, 255)
RED = (210, 60, 50, 255)
ORANGE = (240, 140, 40, 255)
GLASS = (180, 220, 250, 255)
BROWN = (140, 90, 40, 255)


def arrow(c, x0, y0, x1, y1, colour, head=7, width=4):
    """A straight arrow from (x0, y0) to (x1, y1) with a filled head."""
    dx, dy = x1 - x0, y1 - y0
    n = (dx * dx + dy * dy) ** 0.5
    ux, uy = dx / n, dy / n
    bx, by = x1 - ux * head, y1 - uy * head
    c.line(x0, y0, bx, by, width, colour)
    c.polygon([(x1, y1), (bx - uy * head, by + ux * head), (bx + uy * head, by - ux * head)], colour)


def chip(c, x0, y0, x1, y1):
    """A small device: the EDID memory the copy buttons move data into."""
    c.rect(x0, y0, x1, y1, BLUE)
    c.frame(x0, y0, x1, y1, BLACK)
    for x in range(x0 + 2, x1 - 1, 3):
        c.rect(x, y1 + 1, x, y1 + 2, BLACK)
        c.rect(x, y0 - 2, x, y0 - 1, BLACK)


def draw_open():
    c = Canvas(SIZE, SIZE)
    c.polygon([(2, 8), (11, 8), (14, 11), (28, 11), (28, 27), (2, 27)], DARK_YELLOW)
    c.polygon([(6, 15), (31, 15), (27, 27), (2, 27)], YELLOW)
    arrow(c, 20, 12, 20, 1, GREEN, head=5, width=3)
    return c


def draw_save():
    c = Canvas(SIZE, SIZE)
    c.rect(3, 3, 28, 28, BLUE)
    c.frame(3, 3, 28, 28, BLACK)
    c.rect(8, 4, 23, 12, WHITE)
    c.rect(18, 5, 21, 11, BLUE)
    c.rect(7, 17, 24, 27, LIGHT_BLUE)
    c.rect(9, 20, 22, 20, BLACK)
    c.rect(9, 23, 22, 23, BLACK)
    return c


def draw_analysis():
    c = Canvas(SIZE, SIZE)
    c.rect(4, 2, 20, 26, WHITE)
    c.frame(4, 2, 20, 26, BLACK)
    for y in (7, 11, 15):
        c.rect(7, y, 17, y, BLACK)
    c.disc(19, 18, 7, GLASS)
    c.ring(19, 18, 7.5, 2.5, BLACK)
    c.line(24, 23, 30, 29, 4, BROWN)
    return c


def draw_brand_new():
    c = Canvas(SIZE, SIZE)
    c.polygon([(5, 2), (20, 2), (27, 9), (27, 30), (5, 30)], WHITE)
    c.frame(5, 2, 27, 30, BLACK)
    c.polygon([(20, 2), (27, 9), (20, 9)], LIGHT_BLUE)
    import math
    star = []
    for i in range(10):
        r = 8 if i % 2 == 0 else 3.5
        a = -math.pi / 2 + i * math.pi / 5
        star.append((16 + r * math.cos(a), 19 + r * math.sin(a)))
    c.polygon(star, ORANGE)
    return c


def draw_copy_up():
    c = Canvas(SIZE, SIZE)
    chip(c, 6, 4, 25, 11)
    arrow(c, 16, 30, 16, 14, GREEN, head=7, width=5)
    return c


def draw_copy_left():
    c = Canvas(SIZE, SIZE)
    chip(c, 2, 10, 10, 21)
    chip(c, 22, 10, 30, 21)
    arrow(c, 21, 16, 11, 16, GREEN, head=5, width=4)
    return c


def draw_modify():
    c = Canvas(SIZE, SIZE)
    c.rect(3, 3, 21, 28, WHITE)
    c.frame(3, 3, 21, 28, BLACK)
    for y in (8, 12, 16, 20):
        c.rect(6, y, 17, y, BLACK)
    c.line(28, 6, 14, 22, 5, ORANGE)
    c.line(29, 5, 27, 7, 5, RED)
    c.polygon([(11, 26), (12, 20), (16, 24)], BLACK)
    return c


# 5x7 letters for the logo
FONT = {
    "T": ["11111", "00100", "00100", "00100", "00100", "00100", "00100"],
    "A": ["01110", "10001", "10001", "11111", "10001", "10001", "10001"],
    "V": ["10001", "10001", "10001", "10001", "10001", "01010", "00100"],
    "O": ["01110", "10001", "10001", "10001", "10001", "10001", "01110"],
}


def draw_logo():
    c = Canvas(200, 52, (255, 255, 255, 255))
    c.rect(0, 0, 199, 51, (20, 60, 120, 255))
    c.rect(0, 44, 199, 47, ORANGE)
    scale, x = 5, 38
    for letter in "TAVO":
        for row, bits in enumerate(FONT[letter]):
            for col, bit in enumerate(bits):
                if bit == "1":
                    c.rect(x + col * scale, 5 + row * scale, x + col * scale + scale - 2,
                           5 + row * scale + scale - 2, WHITE)
        x += 6 * scale + 2
    return c


GLYPHS = {
    "Open": draw_open,
    "Save": draw_save,
    "Analysis": draw_analysis,
    "CopyUp": draw_copy_up,
    "CopyLeft": draw_copy_left,
    "Modify": draw_modify,
}


def main():
    here = os.path.dirname(os.path.abspath(__file__))
    out = sys.argv[1] if len(sys.argv) > 1 else os.path.join(here, "..", "..", "src", "ui", "qt",
                                                             "glyphs")
    os.makedirs(out, exist_ok=True)
    files = {}
    for name, draw in GLYPHS.items():
        colour = draw()
        files[name + "Color"] = colour
        files[name + "Gray"] = colour.grey()
    files["BrandNewColor"] = draw_brand_new()
    files["Logo"] = draw_logo()
    for name, canvas in sorted(files.items()):
        with open(os.path.join(out, name + ".png"), "wb") as f:
            f.write(canvas.png())
    print("wrote %d pictures to %s" % (len(files), os.path.normpath(out)))


if __name__ == "__main__":
    main()
