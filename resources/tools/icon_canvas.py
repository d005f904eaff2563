"""Tiny 16-colour drawing kit for the program's icons: shapes, canvas, PNG writer.

Shapes are predicates over continuous coordinates; a pixel (x, y) belongs to a
shape when its centre (x + 0.5, y + 0.5) does. No anti-aliasing on purpose: the
pictures are 16-colour icons with a fully transparent surround.

Python standard library only (zlib, struct).
"""

import math
import struct
import zlib

# The standard 16-colour VGA / Windows palette, in its usual order.
PALETTE = [
    (0, 0, 0),        # 0 black
    (128, 0, 0),      # 1 maroon
    (0, 128, 0),      # 2 green
    (128, 128, 0),    # 3 olive
    (0, 0, 128),      # 4 navy
    (128, 0, 128),    # 5 purple
    (0, 128, 128),    # 6 teal
    (192, 192, 192),  # 7 silver
    (128, 128, 128),  # 8 grey
    (255, 0, 0),      # 9 red
    (0, 255, 0),      # 10 lime
    (255, 255, 0),    # 11 yellow
    (0, 0, 255),      # 12 blue
    (255, 0, 255),    # 13 fuchsia
    (0, 255, 255),    # 14 aqua
    (255, 255, 255),  # 15 white
]
BLACK, MAROON, GREEN, OLIVE, NAVY, PURPLE, TEAL, SILVER = range(8)
GREY, RED, LIME, YELLOW, BLUE, FUCHSIA, AQUA, WHITE = range(8, 16)
# Index 16 is the surround: fully transparent through the tRNS chunk.
CLEAR = 16


# --- shapes -----------------------------------------------------------------

def circle(cx, cy, r):
    return lambda x, y: (x - cx) ** 2 + (y - cy) ** 2 <= r * r


def ellipse(cx, cy, rx, ry):
    return lambda x, y: ((x - cx) / rx) ** 2 + ((y - cy) / ry) ** 2 <= 1.0


def ring(cx, cy, r_in, r_out):
    return lambda x, y: r_in * r_in < (x - cx) ** 2 + (y - cy) ** 2 <= r_out * r_out


def rect(x0, y0, x1, y1):
    return lambda x, y: x0 <= x < x1 and y0 <= y < y1


def rounded_rect(x0, y0, x1, y1, r):
    def inside(x, y):
        if not (x0 <= x < x1 and y0 <= y < y1):
            return False
        nx = min(max(x, x0 + r), x1 - r)
        ny = min(max(y, y0 + r), y1 - r)
        return (x - nx) ** 2 + (y - ny) ** 2 <= r * r
    return inside


def capsule(x0, y0, x1, y1, r):
    """Points within r of the segment (x0, y0)-(x1, y1): a thick stroke."""
    dx, dy = x1 - x0, y1 - y0
    length2 = dx * dx + dy * dy

    def inside(x, y):
        t = 0.0 if length2 == 0 else ((x - x0) * dx + (y - y0) * dy) / length2
        t = min(max(t, 0.0), 1.0)
        px, py = x0 + t * dx, y0 + t * dy
        return (x - px) ** 2 + (y - py) ** 2 <= r * r
    return inside


def polygon(points):
    """Even-odd fill of a closed polygon."""
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


def sector(cx, cy, a0, a1):
    """Angles in degrees, 0 = east, growing clockwise (screen y points down)."""
    span = (a1 - a0) % 360

    def inside(x, y):
        a = math.degrees(math.atan2(y - cy, x - cx))
        return (a - a0) % 360 < span
    return inside


def union(*shapes):
    return lambda x, y: any(s(x, y) for s in shapes)


def intersect(*shapes):
    return lambda x, y: all(s(x, y) for s in shapes)


def minus(a, b):
    return lambda x, y: a(x, y) and not b(x, y)


def transposed(shape):
    """Mirror across the main diagonal: turns a downward shape into a rightward one."""
    return lambda x, y: shape(y, x)


def flipped_v(shape, size):
    return lambda x, y: shape(x, size - y)


# --- canvas -----------------------------------------------------------------

class Canvas:
    def __init__(self, width=32, height=32):
        self.width = width
        self.height = height
        self.pixels = [[CLEAR] * width for _ in range(height)]

    def mask(self, shape):
        return [[shape(x + 0.5, y + 0.5) for x in range(self.width)]
                for y in range(self.height)]

    def paint(self, shape, colour):
        for y, row in enumerate(self.mask(shape)):
            for x, hit in enumerate(row):
                if hit:
                    self.pixels[y][x] = colour

    def paint_mask(self, mask, colour):
        for y, row in enumerate(mask):
            for x, hit in enumerate(row):
                if hit:
                    self.pixels[y][x] = colour

    def dilate(self, mask, diagonal=True):
        out = [row[:] for row in mask]
        steps = [(-1, 0), (1, 0), (0, -1), (0, 1)]
        if diagonal:
            steps += [(-1, -1), (1, -1), (-1, 1), (1, 1)]
        for y in range(self.height):
            for x in range(self.width):
                if mask[y][x]:
                    continue
                for dx, dy in steps:
                    nx, ny = x + dx, y + dy
                    if 0 <= nx < self.width and 0 <= ny < self.height and mask[ny][nx]:
                        out[y][x] = True
                        break
        return out

    def outlined(self, shape, fill, edge=BLACK, diagonal=True):
        """Fill the shape and ring it with a one-pixel edge."""
        inner = self.mask(shape)
        self.paint_mask(self.dilate(inner, diagonal), edge)
        self.paint_mask(inner, fill)

    def set(self, x, y, colour):
        self.pixels[y][x] = colour

    def rgba(self):
        """Rows of (r, g, b, a) tuples."""
        return [[(0, 0, 0, 0) if c == CLEAR else PALETTE[c] + (255,) for c in row]
                for row in self.pixels]


# --- PNG --------------------------------------------------------------------

def _chunk(kind, data):
    body = kind + data
    return struct.pack(">I", len(data)) + body + struct.pack(">I", zlib.crc32(body))


def indexed_png(canvas):
    """8-bit indexed PNG: the 16 palette colours plus the transparent index 16."""
    header = struct.pack(">IIBBBBB", canvas.width, canvas.height, 8, 3, 0, 0, 0)
    plte = b"".join(bytes(c) for c in PALETTE) + bytes((0, 0, 0))
    trns = bytes([255] * len(PALETTE) + [0])
    raw = b"".join(b"\x00" + bytes(row) for row in canvas.pixels)
    return (b"\x89PNG\r\n\x1a\n" + _chunk(b"IHDR", header) + _chunk(b"PLTE", plte)
            + _chunk(b"tRNS", trns) + _chunk(b"IDAT", zlib.compress(raw, 9))
            + _chunk(b"IEND", b""))


def rgb_png(width, height, rows):
    """Truecolour PNG from rows of (r, g, b) tuples (used for the contact sheet)."""
    header = struct.pack(">IIBBBBB", width, height, 8, 2, 0, 0, 0)
    raw = b"".join(b"\x00" + b"".join(bytes(p) for p in row) for row in rows)
    return (b"\x89PNG\r\n\x1a\n" + _chunk(b"IHDR", header)
            + _chunk(b"IDAT", zlib.compress(raw, 9)) + _chunk(b"IEND", b""))
