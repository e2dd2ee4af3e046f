#!/usr/bin/env python3
"""Draws Brindle's icons and writes them as .ico files into resources/icons/.

Each icon is a list of simple shapes in a 0..1 square, rendered with 4 x 4 supersampling at
16, 32 and 48 pixels into 32-bit BGRA images with an AND mask (the form every Windows version and
windres accept). Only the Python standard library is used, and the output is byte-for-byte the
same on every run, so the committed .ico files can be regenerated and compared.
"""
import math
import os
import struct
import sys

# Largest first: a static control that shows an icon at its real size takes the first image.
SIZES = (48, 32, 16)
GRID = 4  # supersamples per pixel edge


# ---- shapes: each is a predicate on a point in the unit square ----

def rect(x0, y0, x1, y1, r=0.0):
    def inside(x, y):
        if x < x0 or x > x1 or y < y0 or y > y1:
            return False
        if r <= 0:
            return True
        cx = min(max(x, x0 + r), x1 - r)
        cy = min(max(y, y0 + r), y1 - r)
        return (x - cx) ** 2 + (y - cy) ** 2 <= r * r
    return inside


def circle(cx, cy, r):
    return lambda x, y: (x - cx) ** 2 + (y - cy) ** 2 <= r * r


def ring(cx, cy, r_out, r_in):
    return lambda x, y: r_in * r_in <= (x - cx) ** 2 + (y - cy) ** 2 <= r_out * r_out


def polygon(*points):
    def inside(x, y):
        result = False
        n = len(points)
        for i in range(n):
            xa, ya = points[i]
            xb, yb = points[(i + 1) % n]
            if (ya > y) != (yb > y):
                xc = xa + (y - ya) * (xb - xa) / (yb - ya)
                if x < xc:
                    result = not result
        return result
    return inside


def line(xa, ya, xb, yb, width):
    half = width / 2.0
    dx, dy = xb - xa, yb - ya
    length2 = dx * dx + dy * dy

    def inside(x, y):
        t = 0.0 if length2 == 0 else max(0.0, min(1.0, ((x - xa) * dx + (y - ya) * dy) / length2))
        px, py = xa + t * dx, ya + t * dy
        return (x - px) ** 2 + (y - py) ** 2 <= half * half
    return inside


def gear(cx, cy, r_body, r_teeth, tooth_width, teeth):
    """A wheel with square teeth of constant width, so an inset copy keeps an even border."""
    half = tooth_width / 2.0

    def inside(x, y):
        dx, dy = x - cx, y - cy
        d = math.hypot(dx, dy)
        if d <= r_body:
            return True
        if d > r_teeth:
            return False
        for i in range(teeth):
            a = 2 * math.pi * (i + 0.5) / teeth
            along = dx * math.cos(a) + dy * math.sin(a)
            across = -dx * math.sin(a) + dy * math.cos(a)
            if along > 0 and abs(across) <= half:
                return True
        return False
    return inside


def capsule_ring(xa, ya, xb, yb, r_out, r_in):
    """The outline of a stadium shape around a segment: one link of a chain."""
    dx, dy = xb - xa, yb - ya
    length2 = dx * dx + dy * dy

    def inside(x, y):
        t = max(0.0, min(1.0, ((x - xa) * dx + (y - ya) * dy) / length2))
        d2 = (x - xa - t * dx) ** 2 + (y - ya - t * dy) ** 2
        return r_in * r_in <= d2 <= r_out * r_out
    return inside


def minus(a, b):
    return lambda x, y: a(x, y) and not b(x, y)


# ---- colours (R, G, B, A) ----

OUTLINE = (70, 78, 90, 255)
PAPER = (255, 255, 255, 255)
TEXT = (130, 140, 155, 255)
BLUE = (38, 110, 200, 255)
DARK_BLUE = (20, 70, 140, 255)
GREEN = (40, 160, 60, 255)
DARK_GREEN = (25, 110, 40, 255)
ORANGE = (235, 140, 30, 255)
BROWN = (120, 75, 35, 255)
AMBER = (200, 135, 60, 255)
GREY = (150, 155, 165, 255)
LIGHT_GREY = (215, 218, 224, 255)


def page(x0, y0, x1, y1, fold, stroke):
    """A sheet with a folded top-right corner: outline, paper and the fold."""
    outer = polygon((x0, y0), (x1 - fold, y0), (x1, y0 + fold), (x1, y1), (x0, y1))
    s = stroke
    inner = polygon((x0 + s, y0 + s), (x1 - fold - s * 0.4, y0 + s), (x1 - s, y0 + fold + s * 0.4),
                    (x1 - s, y1 - s), (x0 + s, y1 - s))
    corner = polygon((x1 - fold, y0), (x1 - fold, y0 + fold), (x1, y0 + fold))
    return [(outer, OUTLINE), (inner, PAPER), (corner, LIGHT_GREY),
            (line(x1 - fold, y0, x1 - fold, y0 + fold, s * 0.8), OUTLINE),
            (line(x1 - fold, y0 + fold, x1, y0 + fold, s * 0.8), OUTLINE)]


def text_lines(x0, x1, ys, width, colour=TEXT, lengths=None):
    shapes = []
    for i, y in enumerate(ys):
        end = x1 if lengths is None else x0 + (x1 - x0) * lengths[i]
        shapes.append((line(x0, y, end, y, width), colour))
    return shapes


def icon_app(size):
    s = 0.07 if size <= 16 else 0.05
    shapes = page(0.12, 0.04, 0.78, 0.92, 0.18, s)
    shapes += text_lines(0.24, 0.62, [0.36, 0.50, 0.64], 0.07 if size <= 16 else 0.05,
                         lengths=[1.0, 0.8, 0.55])
    shapes += [(line(0.70, 0.72, 0.92, 0.94, 0.13), DARK_BLUE),
               (circle(0.60, 0.60, 0.21), (255, 255, 255, 200)),
               (ring(0.60, 0.60, 0.22, 0.14 if size > 16 else 0.12), BLUE)]
    return shapes


def icon_logo(size):
    shapes = [(rect(0.04, 0.04, 0.96, 0.96, 0.16), BROWN),
              (rect(0.08, 0.08, 0.92, 0.92, 0.13), AMBER)]
    # brindle stripes behind the log rows
    for i in range(4):
        x = 0.18 + i * 0.22
        shapes.append((polygon((x, 0.08), (x + 0.08, 0.08), (x - 0.06, 0.92), (x - 0.14, 0.92)),
                       (175, 110, 45, 255)))
    shapes += [(rect(0.20, 0.16, 0.80, 0.84, 0.04), PAPER)]
    shapes += text_lines(0.28, 0.72, [0.28, 0.40, 0.52, 0.64], 0.06, lengths=[1.0, 0.7, 0.9, 0.5])
    shapes += [(polygon((0.62, 0.70), (0.78, 0.70), (0.70, 0.80)), GREEN)]
    return shapes


def icon_play(size):
    return [(polygon((0.22, 0.10), (0.88, 0.50), (0.22, 0.90)), DARK_GREEN),
            (polygon((0.28, 0.20), (0.78, 0.50), (0.28, 0.80)), GREEN)]


def icon_pause(size):
    return [(rect(0.18, 0.12, 0.42, 0.88, 0.05), DARK_BLUE),
            (rect(0.58, 0.12, 0.82, 0.88, 0.05), DARK_BLUE),
            (rect(0.23, 0.17, 0.37, 0.83, 0.03), BLUE),
            (rect(0.63, 0.17, 0.77, 0.83, 0.03), BLUE)]


def icon_file(size):
    s = 0.08 if size <= 16 else 0.05
    shapes = page(0.16, 0.04, 0.84, 0.96, 0.24, s)
    shapes += text_lines(0.28, 0.72, [0.42, 0.58, 0.74], 0.08 if size <= 16 else 0.06)
    return shapes


def icon_buff(size):
    s = 0.08 if size <= 16 else 0.05
    shapes = page(0.16, 0.04, 0.84, 0.96, 0.24, s)
    shapes += text_lines(0.28, 0.72, [0.42, 0.58], 0.08 if size <= 16 else 0.06)
    # the unfinished last row: a short orange line and a waiting cursor
    shapes += [(line(0.28, 0.76, 0.46, 0.76, 0.09 if size <= 16 else 0.07), ORANGE),
               (rect(0.56, 0.68, 0.66, 0.84), ORANGE)]
    return shapes


def icon_setup(size):
    border = 0.07 if size <= 16 else 0.045
    return [(gear(0.5, 0.5, 0.33, 0.48, 0.17, 8), OUTLINE),
            (gear(0.5, 0.5, 0.33 - border, 0.48 - border, 0.17 - 2 * border, 8), GREY),
            (circle(0.5, 0.5, 0.16), OUTLINE),
            (circle(0.5, 0.5, 0.16 - border), PAPER)]


def icon_assoc(size):
    s = 0.07 if size <= 16 else 0.045
    shapes = page(0.04, 0.04, 0.52, 0.66, 0.14, s)
    shapes += page(0.46, 0.34, 0.96, 0.96, 0.14, s)
    shapes += text_lines(0.14, 0.38, [0.30, 0.44], 0.06 if size > 16 else 0.08)
    shapes += text_lines(0.56, 0.84, [0.62, 0.76], 0.06 if size > 16 else 0.08)
    # a chain link joining the two sheets
    thick = 0.09 if size <= 16 else 0.065
    shapes += [(capsule_ring(0.22, 0.78, 0.42, 0.58, 0.13, 0.13 - thick), BLUE),
               (capsule_ring(0.58, 0.42, 0.78, 0.22, 0.13, 0.13 - thick), BLUE),
               (line(0.40, 0.60, 0.60, 0.40, thick), DARK_BLUE)]
    return shapes


def icon_print(size):
    return [(rect(0.24, 0.04, 0.76, 0.40), OUTLINE),
            (rect(0.28, 0.08, 0.72, 0.40), PAPER),
            (rect(0.06, 0.34, 0.94, 0.74, 0.08), OUTLINE),
            (rect(0.10, 0.38, 0.90, 0.70, 0.06), GREY),
            (circle(0.80, 0.46, 0.04), GREEN),
            (rect(0.22, 0.58, 0.78, 0.96), OUTLINE),
            (rect(0.26, 0.62, 0.74, 0.92), PAPER),
            (line(0.34, 0.72, 0.66, 0.72, 0.05), TEXT),
            (line(0.34, 0.82, 0.58, 0.82, 0.05), TEXT)]


ICONS = {
    'a': icon_app, 'b': icon_logo, 'play': icon_play, 'pause': icon_pause, 'file': icon_file,
    'buff': icon_buff, 'setup': icon_setup, 'assoc': icon_assoc, 'print': icon_print,
}


# ---- rendering and the .ico container ----

def render(shapes, size):
    """Returns rows top-down of (r, g, b, a) with straight (not premultiplied) colour."""
    rows = []
    n = GRID * GRID
    for py in range(size):
        row = []
        for px in range(size):
            acc = [0.0, 0.0, 0.0, 0.0]  # premultiplied sums
            for sy in range(GRID):
                y = (py + (sy + 0.5) / GRID) / size
                for sx in range(GRID):
                    x = (px + (sx + 0.5) / GRID) / size
                    r = g = b = a = 0.0
                    for inside, (cr, cg, cb, ca) in shapes:
                        if inside(x, y):
                            alpha = ca / 255.0
                            r = cr * alpha + r * (1 - alpha)
                            g = cg * alpha + g * (1 - alpha)
                            b = cb * alpha + b * (1 - alpha)
                            a = alpha + a * (1 - alpha)
                    acc[0] += r
                    acc[1] += g
                    acc[2] += b
                    acc[3] += a
            a = acc[3] / n
            if a <= 0:
                row.append((0, 0, 0, 0))
            else:
                row.append(tuple(int(round(min(255.0, c / n / a))) for c in acc[:3]) +
                           (int(round(a * 255)),))
        rows.append(row)
    return rows


def bmp_image(rows):
    size = len(rows)
    header = struct.pack('<IiiHHIIiiII', 40, size, size * 2, 1, 32, 0, 0, 0, 0, 0, 0)
    pixels = bytearray()
    for row in reversed(rows):  # bottom-up
        for r, g, b, a in row:
            pixels += bytes((b, g, r, a))
    mask_stride = ((size + 31) // 32) * 4
    mask = bytearray()
    for row in reversed(rows):
        bits = bytearray(mask_stride)
        for x, (_, _, _, a) in enumerate(row):
            if a == 0:
                bits[x // 8] |= 0x80 >> (x % 8)
        mask += bits
    return header + bytes(pixels) + bytes(mask)


def ico_file(images):
    count = len(images)
    out = struct.pack('<HHH', 0, 1, count)
    offset = 6 + 16 * count
    for size, data in images:
        out += struct.pack('<BBBBHHII', size % 256, size % 256, 0, 0, 1, 32, len(data), offset)
        offset += len(data)
    for _, data in images:
        out += data
    return out


def main():
    root = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
    folder = os.path.join(root, 'resources', 'icons')
    os.makedirs(folder, exist_ok=True)
    names = sys.argv[1:] or sorted(ICONS)
    for name in names:
        draw = ICONS[name]
        images = [(size, bmp_image(render(draw(size), size))) for size in SIZES]
        with open(os.path.join(folder, name + '.ico'), 'wb') as f:
            f.write(ico_file(images))


if __name__ == '__main__':
    main()
