#!/usr/bin/env python3
"""Draws every picture of the recorder as a 16-colour PNG into resources/icons/.

    python3 resources/tools/draw_icons.py [--out DIR] [--sheet FILE.png] [--qrc FILE]

--sheet also writes a contact sheet: each picture enlarged 4x, and beneath it the
picture box-filtered to 16 x 16 (as the tray shows it) on a light and a dark panel.
--qrc writes a resource file listing every picture under the prefix /icons, each
aliased by its name in capitals (":/icons/DISC3"), as the code looks icons up.
The application icon is also drawn larger for the desktop's launchers
(default_64.png, default_128.png): installed into the hicolor theme, not into
the resource file.

The tray animation turns the disc 60 degrees per frame, so the disc's pattern
must not repeat under a 60/120/180 degree turn or the spin would not show.
"""

import argparse
import os
import sys

sys.dont_write_bytecode = True  # keep the source tree free of __pycache__
sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))

from icon_canvas import (  # noqa: E402
    AQUA, BLACK, BLUE, CLEAR, FUCHSIA, GREY, LIME, RED, SILVER, WHITE,
    YELLOW, Canvas, capsule, circle, flipped_v, indexed_png, intersect,
    minus, polygon, rect, rgb_png, ring, rounded_rect, sector, transposed,
    union)

# Hot spot of hand.png (pixel column, row): the top of the index finger.
HAND_HOT_SPOT = (11, 0)


# Sizes of the application icon drawn for the desktop besides the 32 px original.
# Whole multiples of 32 only: the drawing is made on a 32-unit grid, so every
# stroke and slot then stays a whole number of pixels wide.
DESKTOP_ICON_SIZES = (64, 128)


def scaled(shape, factor):
    """The shape drawn on the 32-unit grid, enlarged factor times."""
    return lambda x, y: shape(x / factor, y / factor)


def _outlined(c, shape, fill, factor, diagonal=True):
    """Canvas.outlined with an edge as many pixels wide as the grid is enlarged."""
    if factor == 1:
        c.outlined(shape, fill, diagonal=diagonal)
        return
    inner = c.mask(scaled(shape, factor))
    edge = inner
    for _ in range(factor):
        edge = c.dilate(edge, diagonal)
    c.paint_mask(edge, BLACK)
    c.paint_mask(inner, fill)


def microphone(size=32):
    factor = size // 32
    c = Canvas(size, size)
    # Stand first: the U-shaped holder, the stem and the foot, grey edged in
    # black so that they show on light and on dark panels alike.
    holder = union(intersect(ring(16, 12.5, 8.8, 10.8), rect(0, 12.5, 32, 32)),
                   capsule(6.2, 10, 6.2, 12.5, 1.0), capsule(25.8, 10, 25.8, 12.5, 1.0))
    stand = union(holder, rect(14.5, 22, 17.5, 27.5), rounded_rect(8, 27, 24, 30.5, 1.2))
    _outlined(c, stand, GREY, factor, diagonal=False)
    # The head: a silver capsule with grille slots, a highlight and a red "on" light.
    head = capsule(16, 6.5, 16, 13.5, 5.5)
    _outlined(c, head, SILVER, factor)
    for y in (4, 7, 10, 13):
        c.paint(scaled(intersect(head, rect(13, y, 21, y + 1)), factor), GREY)
    c.paint(scaled(rect(12, 5, 13, 15), factor), WHITE)
    c.paint(scaled(rect(15, 16, 17, 18), factor), RED)
    return c


def disc(frame):
    """Frame 1..6; each frame turns the sheen 60 degrees clockwise."""
    c = Canvas()
    turn = (frame - 1) * 60
    body = minus(circle(16, 16, 15), circle(16, 16, 2.6))
    c.outlined(minus(circle(16, 16, 14.6), circle(16, 16, 3.2)), SILVER, GREY)
    band = intersect(ring(16, 16, 5.8, 13.6), body)
    rainbow = [RED, YELLOW, LIME, AQUA, BLUE, FUCHSIA]
    for i, colour in enumerate(rainbow):
        start = turn + i * 25
        c.paint(intersect(band, sector(16, 16, start, start + 25)), colour)
    # A white glint opposite the rainbow, narrower, so the picture has no symmetry.
    c.paint(intersect(band, sector(16, 16, turn + 215, turn + 245)), WHITE)
    # The clamping area around the hole.
    c.paint(ring(16, 16, 3.2, 5.8), WHITE)
    c.paint(ring(16, 16, 4.6, 5.8), SILVER)
    return c


def _speaker(c):
    body = rect(3, 11, 9, 21)
    cone = polygon([(9, 11), (16, 4), (16, 28), (9, 21)])
    c.paint_mask(c.dilate(c.mask(union(body, cone))), BLACK)
    c.paint(body, GREY)
    c.paint(cone, SILVER)
    c.paint(polygon([(9, 11), (16, 4), (16, 6), (9, 13)]), WHITE)
    c.paint(rect(9, 11, 10, 21), BLACK)


def _wave(c, r_in, r_out, colour):
    c.paint(intersect(ring(15, 16, r_in, r_out), sector(15, 16, -48, 48)), colour)


def speaker(waves):
    c = Canvas()
    _speaker(c)
    if waves >= 1:
        _wave(c, 4.6, 6.8, BLUE)
    if waves >= 2:
        _wave(c, 9.4, 11.6, BLUE)
    return c


def speaker_stopped(marked):
    c = Canvas()
    _speaker(c)
    if marked:
        cross = union(capsule(20.5, 11.5, 28.5, 19.5, 1.3), capsule(28.5, 11.5, 20.5, 19.5, 1.3))
        c.paint(cross, RED)
    return c


def button_play():
    c = Canvas()
    c.paint(polygon([(10, 9), (23, 16), (10, 23)]), BLACK)
    return c


def button_stop():
    c = Canvas()
    c.paint(rect(10, 10, 22, 22), BLACK)
    return c


def button_record():
    c = Canvas()
    c.paint(circle(16, 16, 7.4), RED)
    return c


def arrow_down_shape(size):
    if size == 32:
        return union(rect(12, 3, 20, 16), polygon([(3, 15), (29, 15), (16, 28)]))
    return union(rect(6, 1, 10, 8), polygon([(1, 7), (15, 7), (8, 14.2)]))


def arrow(direction, size):
    c = Canvas(size, size)
    down = arrow_down_shape(size)
    shape = {"down": down,
             "up": flipped_v(down, size),
             "right": transposed(down)}[direction]
    c.paint(shape, BLACK)
    return c


def hotkey(size):
    """A key cap seen from above, with a down arrow engraved on its face."""
    c = Canvas(size, size)
    if size == 32:
        c.outlined(rounded_rect(2, 4, 30, 29, 3), GREY)
        c.paint(rounded_rect(5, 5, 27, 24, 2), SILVER)
        c.paint(rect(6, 5, 26, 6), WHITE)
        c.paint(rect(5, 7, 6, 22), WHITE)
        c.paint(union(rect(14, 8, 18, 14), polygon([(10, 13), (22, 13), (16, 20)])), BLACK)
    else:
        c.outlined(rounded_rect(1, 2, 15, 15, 1.5), GREY)
        c.paint(rect(2, 2, 14, 12), SILVER)
        c.paint(rect(2, 2, 14, 3), WHITE)
        c.paint(union(rect(7, 4, 9, 7), polygon([(5, 7), (11, 7), (8, 10)])), BLACK)
    return c


def hand():
    """The link pointer: a white hand, index finger up, black outline."""
    c = Canvas()
    index = capsule(11.5, 3.4, 11.5, 16, 2.4)
    middle = capsule(16.2, 11.4, 16.2, 16, 2.3)
    ring_f = capsule(20.6, 12.6, 20.6, 16, 2.2)
    little = capsule(24.6, 14.4, 24.6, 17, 2.0)
    thumb = capsule(5.6, 16.2, 10.5, 21.5, 2.2)
    palm = union(rounded_rect(9.2, 14, 26.6, 25, 3.0), rounded_rect(11, 20, 25, 30, 2.0))
    # One outline round the whole hand, then the creases drawn in.
    c.outlined(union(index, middle, ring_f, little, thumb, palm), WHITE, BLACK, diagonal=False)
    c.paint(rect(14, 9, 15, 17), BLACK)    # index | middle
    c.paint(rect(18, 12, 19, 17), BLACK)   # middle | ring
    c.paint(rect(22, 13, 23, 17), BLACK)   # ring | little
    c.paint(capsule(9.5, 19.5, 11.5, 21.5, 0.5), BLACK)   # the thumb's crease
    return c


def all_pictures():
    pictures = {"default": microphone()}
    for i in range(1, 7):
        pictures[f"disc{i}"] = disc(i)
    for i in range(1, 4):
        pictures[f"play{i}"] = speaker(i - 1)
    pictures["stop1"] = speaker_stopped(True)
    pictures["stop2"] = speaker_stopped(False)
    pictures["btn_play"] = button_play()
    pictures["btn_stop"] = button_stop()
    pictures["btn_record"] = button_record()
    for d in ("down", "up", "right"):
        pictures[f"arrow_{d}"] = arrow(d, 32)
        pictures[f"arrow_{d}_16"] = arrow(d, 16)
    pictures["hotkey"] = hotkey(32)
    pictures["hotkey_16"] = hotkey(16)
    pictures["hand"] = hand()
    return pictures


def _over(px, bg):
    r, g, b, a = px
    return tuple((v * a + w * (255 - a)) // 255 for v, w in zip((r, g, b), bg))


def _half(rgba):
    """Box filter to half size: roughly what the tray does with a 32 px icon."""
    out = []
    for y in range(0, len(rgba), 2):
        row = []
        for x in range(0, len(rgba[0]), 2):
            quad = [rgba[y][x], rgba[y][x + 1], rgba[y + 1][x], rgba[y + 1][x + 1]]
            alpha = sum(p[3] for p in quad)
            if alpha == 0:
                row.append((0, 0, 0, 0))
                continue
            rgb = [sum(p[i] * p[3] for p in quad) // alpha for i in range(3)]
            row.append(tuple(rgb) + (alpha // 4,))
        out.append(row)
    return out


def contact_sheet(pictures):
    scale, cell_w, cell_h, cols = 4, 140, 210, 6
    names = list(pictures)
    rows_n = (len(names) + cols - 1) // cols
    width, height = cols * cell_w, rows_n * cell_h
    sheet = [[(96, 96, 96)] * width for _ in range(height)]

    def blit(rgba, ox, oy, factor, bg_of):
        for y, row in enumerate(rgba):
            for x, px in enumerate(row):
                for dy in range(factor):
                    for dx in range(factor):
                        sx, sy = ox + x * factor + dx, oy + y * factor + dy
                        sheet[sy][sx] = _over(px, bg_of(sx, sy))

    def checker(x, y):
        return (255, 255, 255) if ((x // 8) + (y // 8)) % 2 else (214, 214, 214)

    for n, name in enumerate(names):
        ox, oy = (n % cols) * cell_w + 6, (n // cols) * cell_h + 6
        rgba = pictures[name].rgba()
        blit(rgba, ox, oy, scale, checker)
        if len(rgba) == 32:
            small = _half(rgba)
            blit(small, ox, oy + 136, 4, lambda x, y: (236, 236, 236))
            blit(small, ox + 66, oy + 136, 4, lambda x, y: (40, 40, 48))
    return rgb_png(width, height, sheet)


def qrc_text(names, icons_dir_name="icons"):
    lines = ["<!DOCTYPE RCC>", '<RCC version="1.0">', '    <qresource prefix="/icons">']
    for name in names:
        lines.append(f'        <file alias="{name.upper()}">{icons_dir_name}/{name}.png</file>')
    lines += ["    </qresource>", "</RCC>", ""]
    return "\n".join(lines)


def main():
    here = os.path.dirname(os.path.abspath(__file__))
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--out", default=os.path.join(here, "..", "icons"))
    parser.add_argument("--sheet", help="also write an enlarged contact sheet here")
    parser.add_argument("--qrc", help="also write the resource file listing the pictures")
    args = parser.parse_args()

    pictures = all_pictures()
    os.makedirs(args.out, exist_ok=True)
    for name, canvas in pictures.items():
        with open(os.path.join(args.out, name + ".png"), "wb") as f:
            f.write(indexed_png(canvas))
    for size in DESKTOP_ICON_SIZES:
        with open(os.path.join(args.out, f"default_{size}.png"), "wb") as f:
            f.write(indexed_png(microphone(size)))
    hx, hy = HAND_HOT_SPOT
    assert pictures["hand"].pixels[hy][hx] != CLEAR, "hand hot spot is off the picture"
    if args.sheet:
        with open(args.sheet, "wb") as f:
            f.write(contact_sheet(pictures))
    if args.qrc:
        icons_rel = os.path.relpath(args.out, os.path.dirname(os.path.abspath(args.qrc)))
        with open(args.qrc, "w", encoding="utf-8") as f:
            f.write(qrc_text(pictures, icons_rel.replace(os.sep, "/")))
    print(f"wrote {len(pictures) + len(DESKTOP_ICON_SIZES)} pictures to {os.path.normpath(args.out)}")


if __name__ == "__main__":
    main()
