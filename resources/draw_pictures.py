#!/usr/bin/env python3
"""Draws Tavrel's pictures as XPM files: the application icon (32 and 16
pixels) and the two arrow pictures of the conversion buttons; the icon also as
PNG files, which the desktop's icon theme installs.

The files are committed beside this script; run it again after changing a
drawing:  python3 resources/draw_pictures.py
"""

import os
import struct
import zlib

HERE = os.path.dirname(os.path.abspath(__file__))

CYAN = "#00FFFF"
BLACK = "#000000"
DARK_GREY = "#808080"
SILVER = "#C0C0C0"


def write_xpm(name, grid, palette):
    """grid: rows of palette keys (one character each); palette: key -> colour."""
    height = len(grid)
    width = len(grid[0])
    lines = ["/* XPM */", "static const char *%s[] = {" % name.replace("-", "_"),
             '"%d %d %d 1",' % (width, height, len(palette))]
    for key, colour in palette.items():
        lines.append('"%s c %s",' % (key, colour))
    for i, row in enumerate(grid):
        assert len(row) == width
        lines.append('"%s"%s' % ("".join(row), "," if i + 1 < height else ""))
    lines.append("};")
    with open(os.path.join(HERE, name + ".xpm"), "w", encoding="ascii") as out:
        out.write("\n".join(lines) + "\n")


def write_png(name, grid, palette):
    """The same grid as an 8-bit RGBA PNG; "None" is fully transparent."""
    def rgba(colour):
        if colour == "None":
            return b"\0\0\0\0"
        return bytes.fromhex(colour[1:]) + b"\xff"

    height = len(grid)
    width = len(grid[0])
    raw = b"".join(b"\0" + b"".join(rgba(palette[key]) for key in row) for row in grid)

    def chunk(kind, data):
        body = kind + data
        return struct.pack(">I", len(data)) + body + struct.pack(">I", zlib.crc32(body))

    png = (b"\x89PNG\r\n\x1a\n"
           + chunk(b"IHDR", struct.pack(">IIBBBBB", width, height, 8, 6, 0, 0, 0))
           + chunk(b"IDAT", zlib.compress(raw, 9))
           + chunk(b"IEND", b""))
    with open(os.path.join(HERE, name + ".png"), "wb") as out:
        out.write(png)


def blank(size, key):
    return [[key] * size for _ in range(size)]


def inside_right_arrow(x, y):
    """A broad arrow pointing right in a 32 by 32 square."""
    shaft = 4 <= x <= 17 and 12 <= y <= 19
    # The head: a triangle with its base at x = 16 and its tip at x = 28.
    half = (28 - x) * 12 / 12 if 16 <= x <= 28 else -1
    head = half >= 0 and abs(y - 15.5) <= half
    return shaft or head


def conversion_arrow(pointing_right):
    """A broad black arrow on a cyan face, shaded dark grey along its left and
    lower edges, with a silver highlight along its upper edges."""
    size = 32

    def inside(x, y):
        if not (0 <= x < size and 0 <= y < size):
            return False
        return inside_right_arrow(x if pointing_right else size - 1 - x, y)

    grid = blank(size, "c")
    for y in range(size):
        for x in range(size):
            if not inside(x, y):
                continue
            if not inside(x, y - 1):
                grid[y][x] = "s"
            elif not inside(x - 1, y) or not inside(x, y + 1):
                grid[y][x] = "d"
            else:
                grid[y][x] = "k"
    return grid


def application_icon(size):
    """Two opposed arrows in black line art on a transparent background: in
    the upper half one points left at a short bar near the left edge, in the
    lower half one points right at a short bar near the right edge."""
    grid = blank(size, " ")
    # Per size: bar reach above and below the shaft, head length, stroke width.
    reach, head, stroke = (5, 5, 2) if size == 32 else (3, 3, 1)
    margin = 1 if size == 16 else 2
    upper, lower = size // 4, size - 1 - size // 4

    def put(x, y):
        for dy in range(stroke):
            if 0 <= x < size and 0 <= y + dy < size:
                grid[y + dy][x] = "k"

    def arrow(row, bar_x, step):
        for y in range(row - reach, row + reach + stroke):
            for dx in range(stroke):
                if 0 <= y < size:
                    grid[y][bar_x + step * dx] = "k"
        tip = bar_x + step * (stroke + 1)
        tail = size - 1 - bar_x
        x = tip
        while x != tail + step:
            put(x, row)
            x += step
        for d in range(1, head + 1):
            put(tip + step * d, row - d)
            put(tip + step * d, row + d)

    arrow(upper - (stroke - 1), margin, 1)
    arrow(lower - (stroke - 1), size - 1 - margin, -1)
    return grid


def main():
    write_xpm("to_button", conversion_arrow(True),
              {"c": CYAN, "k": BLACK, "d": DARK_GREY, "s": SILVER})
    write_xpm("to_bmp", conversion_arrow(False),
              {"c": CYAN, "k": BLACK, "d": DARK_GREY, "s": SILVER})
    for size in (32, 16):
        name = "tavrel-%d" % size
        write_xpm(name, application_icon(size), {" ": "None", "k": BLACK})
        write_png(name, application_icon(size), {" ": "None", "k": BLACK})


if __name__ == "__main__":
    main()
