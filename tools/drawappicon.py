#!/usr/bin/env python3
# SPDX-License-Identifier: GPL-3.0-or-later
"""Draws the application icon: PNG files for the hicolor sizes and one scalable SVG.

Usage: tools/drawappicon.py [output folder]   (default: resources/appicon next to this tool)

Only the standard library is used: shapes are rasterised here with 8 x 8 samples per pixel and
written as RGBA PNG through zlib. The picture is a log page with one selected (yellow) line and
the grey decoded strip beside it carrying the strip's read, write and error marks. The small
sizes get fewer, pixel-aligned rows so that they stay sharp.
"""

import os
import struct
import sys
import zlib

NAME = "org.velmora.Telvane"
SIZES = (16, 32, 48, 64, 128, 256)
SAMPLES = 8

BACKGROUND = (29, 53, 87)
PAGE = (255, 255, 255)
TEXT = (92, 100, 112)
SELECTED = (255, 255, 153)  # the selected-row yellow of the viewer
STRIP = (192, 192, 192)  # the decoded strip's light grey
BLUE = (0, 0, 255)
GREEN = (0, 160, 0)
RED = (255, 0, 0)


class RoundedRect:
    def __init__(self, x0, y0, x1, y1, radius, colour):
        self.box = (x0, y0, x1, y1)
        self.radius = min(radius, (x1 - x0) / 2, (y1 - y0) / 2)
        self.colour = colour

    def contains(self, x, y):
        x0, y0, x1, y1 = self.box
        if x < x0 or x >= x1 or y < y0 or y >= y1:
            return False
        r = self.radius
        dx = max(x0 + r - x, 0, x - (x1 - r))
        dy = max(y0 + r - y, 0, y - (y1 - r))
        return dx * dx + dy * dy <= r * r

    def svg(self):
        x0, y0, x1, y1 = self.box
        corner = ' rx="%s"' % number(self.radius) if self.radius else ""
        return '<rect x="%s" y="%s" width="%s" height="%s"%s fill="%s"/>' % (
            number(x0),
            number(y0),
            number(x1 - x0),
            number(y1 - y0),
            corner,
            hex_colour(self.colour),
        )


class Circle:
    def __init__(self, cx, cy, radius, colour):
        self.centre = (cx, cy)
        self.radius = radius
        self.box = (cx - radius, cy - radius, cx + radius, cy + radius)
        self.colour = colour

    def contains(self, x, y):
        dx = x - self.centre[0]
        dy = y - self.centre[1]
        return dx * dx + dy * dy <= self.radius * self.radius

    def svg(self):
        return '<circle cx="%s" cy="%s" r="%s" fill="%s"/>' % (
            number(self.centre[0]),
            number(self.centre[1]),
            number(self.radius),
            hex_colour(self.colour),
        )


class Polygon:
    def __init__(self, points, colour):
        self.points = points
        xs = [p[0] for p in points]
        ys = [p[1] for p in points]
        self.box = (min(xs), min(ys), max(xs), max(ys))
        self.colour = colour

    def contains(self, x, y):
        inside = False
        j = len(self.points) - 1
        for i, (xi, yi) in enumerate(self.points):
            xj, yj = self.points[j]
            if (yi > y) != (yj > y) and x < (xj - xi) * (y - yi) / (yj - yi) + xi:
                inside = not inside
            j = i
        return inside

    def svg(self):
        points = " ".join("%s,%s" % (number(x), number(y)) for x, y in self.points)
        return '<polygon points="%s" fill="%s"/>' % (points, hex_colour(self.colour))


def number(value):
    text = "%.2f" % value
    return text.rstrip("0").rstrip(".") if "." in text else text


def hex_colour(colour):
    return "#%02x%02x%02x" % colour


def arrow(x0, x1, cy, height, pointing_left, colour):
    """A block arrow between x0 and x1, like the strip's read and write marks."""
    head = min(height * 0.9, (x1 - x0) * 0.55)
    shaft = height * 0.22
    half = height / 2
    if pointing_left:
        points = [
            (x0, cy),
            (x0 + head, cy - half),
            (x0 + head, cy - shaft),
            (x1, cy - shaft),
            (x1, cy + shaft),
            (x0 + head, cy + shaft),
            (x0 + head, cy + half),
        ]
    else:
        points = [
            (x1, cy),
            (x1 - head, cy - half),
            (x1 - head, cy - shaft),
            (x0, cy - shaft),
            (x0, cy + shaft),
            (x1 - head, cy + shaft),
            (x1 - head, cy + half),
        ]
    return Polygon(points, colour)


# Per size: rows on the page, whether coordinates snap to whole pixels, and which rows carry a
# mark in the strip ("<" read, ">" write, "x" error; the selected row is the second one).
LAYOUTS = {
    16: (3, True, "<>x"),
    32: (4, True, "<>x>"),
    48: (5, True, "<>>x<"),
}
FULL_LAYOUT = (7, False, "<><x<>>")


def shapes_for(size):
    """The icon's shapes in pixel coordinates of a size x size picture, back to front."""
    rows, snap, marks = LAYOUTS.get(size, FULL_LAYOUT)
    unit = size / 256.0

    def at(value):
        scaled = value * unit
        return float(round(scaled)) if snap else scaled

    shapes = [RoundedRect(at(8), at(8), at(248), at(248), 44 * unit, BACKGROUND)]
    page = (at(34), at(38), at(166), at(218))
    strip = (at(172), page[1], at(222), page[3])
    if size <= 16:
        # Every pixel counts here: the picture fills the square and the strip gets 4 columns.
        shapes = [RoundedRect(0, 0, size, size, 3, BACKGROUND)]
        page = (1, 2, 10, 14)
        strip = (11, 2, 15, 14)
    shapes.append(RoundedRect(*page, max(12 * unit, 1), PAGE))
    shapes.append(RoundedRect(*strip, max(10 * unit, 1), STRIP))

    top = page[1] + at(12)
    pitch = (page[3] - at(12) - top) / rows
    if snap:
        pitch = float(int(pitch))
        top = page[1] + ((page[3] - page[1]) - pitch * rows) // 2
    bar = max(round(9 * unit), 1) if snap else 9 * unit
    lengths = (0.78, 0.55, 0.86, 0.64, 0.9, 0.48, 0.72)
    for row in range(rows):
        y0 = top + row * pitch
        cy = y0 + pitch / 2
        if row == 1:
            shapes.append(RoundedRect(page[0], y0, page[2], y0 + pitch, 0, SELECTED))
            shapes.append(RoundedRect(strip[0], y0, strip[2], y0 + pitch, 0, SELECTED))
        bar_top = round(cy - bar / 2) if snap else cy - bar / 2
        text_x0 = page[0] + at(14)
        text_x1 = text_x0 + (page[2] - at(14) - text_x0) * lengths[row]
        if snap:
            text_x1 = float(round(text_x1))
        ends = 0 if snap else bar / 2
        shapes.append(RoundedRect(text_x0, bar_top, text_x1, bar_top + bar, ends, TEXT))

        mark = marks[row]
        height = pitch * 0.7
        x0 = strip[0] + (strip[2] - strip[0]) * 0.18
        x1 = strip[2] - (strip[2] - strip[0]) * 0.18
        colour = RED if mark == "x" else BLUE if mark == "<" else GREEN
        if snap and pitch < 6:
            middle = round((strip[0] + strip[2]) / 2)
            shapes.append(RoundedRect(middle - 1, y0 + 1, middle + 1, y0 + pitch - 1, 0, colour))
        elif mark == "x":
            shapes.append(Circle((strip[0] + strip[2]) / 2, cy, height / 2, colour))
        else:
            shapes.append(arrow(x0, x1, cy, height, mark == "<", colour))
    return shapes


def rasterise(size):
    """Straight-alpha RGBA rows of the picture, covered by supersampling every shape."""
    # Premultiplied red, green, blue and alpha per pixel while compositing.
    canvas = [[0.0, 0.0, 0.0, 0.0] for _ in range(size * size)]
    offsets = [(i + 0.5) / SAMPLES for i in range(SAMPLES)]
    total = SAMPLES * SAMPLES
    for shape in shapes_for(size):
        x0, y0, x1, y1 = shape.box
        red, green, blue = (c / 255.0 for c in shape.colour)
        for py in range(max(int(y0), 0), min(int(y1) + 1, size)):
            for px in range(max(int(x0), 0), min(int(x1) + 1, size)):
                hits = 0
                for oy in offsets:
                    for ox in offsets:
                        if shape.contains(px + ox, py + oy):
                            hits += 1
                if not hits:
                    continue
                cover = hits / total
                pixel = canvas[py * size + px]
                keep = 1.0 - cover
                pixel[0] = red * cover + pixel[0] * keep
                pixel[1] = green * cover + pixel[1] * keep
                pixel[2] = blue * cover + pixel[2] * keep
                pixel[3] = cover + pixel[3] * keep

    rows = []
    for py in range(size):
        row = bytearray()
        for px in range(size):
            r, g, b, a = canvas[py * size + px]
            if a <= 0.0:
                row += b"\0\0\0\0"
                continue
            row += bytes(
                (
                    round(min(r / a, 1.0) * 255),
                    round(min(g / a, 1.0) * 255),
                    round(min(b / a, 1.0) * 255),
                    round(a * 255),
                )
            )
        rows.append(bytes(row))
    return rows


def png_chunk(kind, data):
    body = kind + data
    return struct.pack(">I", len(data)) + body + struct.pack(">I", zlib.crc32(body) & 0xFFFFFFFF)


def png_bytes(size, rows):
    header = struct.pack(">IIBBBBB", size, size, 8, 6, 0, 0, 0)  # 8-bit RGBA, not interlaced
    raw = b"".join(b"\0" + row for row in rows)  # filter type 0 on every row
    return (
        b"\x89PNG\r\n\x1a\n"
        + png_chunk(b"IHDR", header)
        + png_chunk(b"IDAT", zlib.compress(raw, 9))
        + png_chunk(b"IEND", b"")
    )


def svg_text():
    elements = "\n".join("  " + shape.svg() for shape in shapes_for(256))
    return (
        '<svg xmlns="http://www.w3.org/2000/svg" width="256" height="256" '
        'viewBox="0 0 256 256">\n%s\n</svg>\n' % elements
    )


def main():
    here = os.path.dirname(os.path.abspath(__file__))
    folder = sys.argv[1] if len(sys.argv) > 1 else os.path.join(here, "..", "resources", "appicon")
    os.makedirs(folder, exist_ok=True)
    for size in SIZES:
        with open(os.path.join(folder, "%s-%d.png" % (NAME, size)), "wb") as out:
            out.write(png_bytes(size, rasterise(size)))
    with open(os.path.join(folder, NAME + ".svg"), "w", encoding="ascii") as out:
        out.write(svg_text())


if __name__ == "__main__":
    main()
