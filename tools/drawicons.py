#!/usr/bin/env python3
# SPDX-License-Identifier: GPL-3.0-or-later
"""Draws the line-type icons of the visualization strip as uncompressed Windows BMP files.

Usage: tools/drawicons.py [output folder]   (default: resources/images next to this tool)

Only the standard library is used; every file is written byte by byte. Plain icons carry the
strip's gray background, selected ones the yellow of the selected-row mark.
"""

import os
import struct
import sys

WIDTH = 18

GRAY = (192, 192, 192)
LIGHTER_GRAY = (196, 196, 196)
SELECTED = (255, 255, 153)
YELLOW = (255, 255, 0)

# One colour per picture character; '.' is the background.
INK = {
    "B": (0, 0, 255),  # blue
    "b": (0, 0, 128),  # dark blue outline
    "W": (255, 255, 255),  # white
    "K": (0, 0, 0),  # black
    "G": (0, 160, 0),  # green
    "g": (0, 96, 0),  # dark green outline
    "R": (255, 0, 0),  # red
    "r": (128, 0, 0),  # dark red outline
    "S": (255, 204, 153),  # skin
    "s": (128, 64, 0),  # skin outline
    "C": (0, 128, 255),  # left sleeve
    "M": (160, 0, 160),  # right sleeve
}

QUESTION_BADGE = [
    "..................",
    ".......bbbb.......",
    ".....bbBBBBbb.....",
    "....bBBWWWWBBb....",
    "...bBBWWBBWWBBb...",
    "...bBBBBBBWWBBb...",
    "...bBBBBBWWBBBb...",
    "...bBBBBWWBBBBb...",
    "...bBBBBWWBBBBb...",
    "....bBBBBBBBBb....",
    ".....bBBWWBBb.....",
    ".......bbbb.......",
    "..................",
]

HANDSHAKE = [
    "..................",
    "..................",
    "CC..............MM",
    "CCsss........sssMM",
    "CCSSSsssssssSSSSMM",
    "CCSSSSSsSSsSSSSSMM",
    "CCSSSSsSSsSSSSSsMM",
    "CC.sSSSSSSSSSSs.MM",
    "CC..ssSSSSSSss..MM",
    "......ssssss......",
    "..................",
    "..................",
]

ARROW_LEFT = [
    "..................",
    "..................",
    "......B...........",
    ".....BB...........",
    "....BBBBBBBBBBBB..",
    "...BBBBBBBBBBBBB..",
    "...BBBBBBBBBBBBB..",
    "....BBBBBBBBBBBB..",
    ".....BB...........",
    "......B...........",
    "..................",
    "..................",
]

ARROW_INTO_D = [
    "..................",
    ".KKKKK............",
    ".KK..KK...........",
    ".KK...KK....B.....",
    ".KK...KK...BB.....",
    ".KK...KK..BBBBBBB.",
    ".KK...KK.BBBBBBBB.",
    ".KK...KK..BBBBBBB.",
    ".KK...KK...BB.....",
    ".KK..KK.....B.....",
    ".KKKKK............",
    "..................",
]

ARROW_RIGHT = [
    "..................",
    "..................",
    "...........G......",
    "...........GG.....",
    "..GGGGGGGGGGGG....",
    "..GGGGGGGGGGGGG...",
    "..GGGGGGGGGGGGG...",
    "..GGGGGGGGGGGG....",
    "...........GG.....",
    "...........G......",
    "..................",
    "..................",
]

CHECK_MARK = [
    "..................",
    "..............KK..",
    ".............KKK..",
    "............KKK...",
    "...........KKK....",
    "..KK......KKK.....",
    "..KKK....KKK......",
    "...KKK..KKK.......",
    "....KKKKKK........",
    ".....KKKK.........",
    "......KK..........",
    "..................",
]

NO_ENTRY = [
    "..................",
    ".......rrrr.......",
    ".....rrRRRRrr.....",
    "....rRRRRRRRRr....",
    "....rRRRRRRRRr....",
    "...rRWWWWWWWWRr...",
    "...rRWWWWWWWWRr...",
    "....rRRRRRRRRr....",
    "....rRRRRRRRRr....",
    ".....rrRRRRrr.....",
    ".......rrrr.......",
    "..................",
]

# File name, picture, background, bits per pixel.
ICONS = [
    ("PPO3Request.bmp", QUESTION_BADGE, GRAY, 24),
    ("Selected_PPO3Request.bmp", QUESTION_BADGE, SELECTED, 24),
    ("PPO3Response.bmp", HANDSHAKE, GRAY, 24),
    ("Selected_PPO3Response.bmp", HANDSHAKE, SELECTED, 24),
    ("Read.bmp", ARROW_LEFT, GRAY, 4),
    ("Selected_Read.bmp", ARROW_LEFT, SELECTED, 24),
    ("ReadDescription.bmp", ARROW_INTO_D, GRAY, 4),
    ("Selected_ReadDescription.bmp", ARROW_INTO_D, SELECTED, 24),
    ("Write.bmp", ARROW_RIGHT, LIGHTER_GRAY, 4),
    ("Selected_Write.bmp", ARROW_RIGHT, SELECTED, 24),
    ("WriteVolatile.bmp", ARROW_RIGHT, YELLOW, 4),
    ("ResponseOK.bmp", CHECK_MARK, GRAY, 4),
    ("Selected_ResponseOK.bmp", CHECK_MARK, SELECTED, 24),
    ("ResponseError.bmp", NO_ENTRY, GRAY, 4),
    ("Selected_ResponseError.bmp", NO_ENTRY, SELECTED, 24),
]


def colour_rows(picture, background):
    """The picture as rows of RGB tuples, top row first."""
    rows = []
    for line in picture:
        if len(line) != WIDTH:
            raise ValueError("picture row is not %d pixels wide: %r" % (WIDTH, line))
        rows.append([background if c == "." else INK[c] for c in line])
    return rows


def padded(row_bytes):
    return row_bytes + b"\0" * (-len(row_bytes) % 4)


def bmp_bytes(picture, background, bits):
    rows = colour_rows(picture, background)
    height = len(rows)
    if bits == 24:
        palette = b""
        # BMP pixels are stored blue, green, red.
        pixel_rows = [padded(b"".join(bytes((b, g, r)) for r, g, b in row)) for row in rows]
    elif bits == 4:
        colours = [background]
        for row in rows:
            for colour in row:
                if colour not in colours:
                    colours.append(colour)
        if len(colours) > 16:
            raise ValueError("more than 16 colours in a 4-bit picture")
        colours += [(0, 0, 0)] * (16 - len(colours))
        palette = b"".join(bytes((b, g, r, 0)) for r, g, b in colours)
        pixel_rows = []
        for row in rows:
            indexes = [colours.index(colour) for colour in row]
            if len(indexes) % 2:
                indexes.append(0)
            packed = bytes(indexes[i] << 4 | indexes[i + 1] for i in range(0, len(indexes), 2))
            pixel_rows.append(padded(packed))
    else:
        raise ValueError("unsupported depth %d" % bits)

    # Rows go bottom-up, which a positive height announces.
    pixels = b"".join(reversed(pixel_rows))
    offset = 14 + 40 + len(palette)
    file_header = b"BM" + struct.pack("<IHHI", offset + len(pixels), 0, 0, offset)
    info_header = struct.pack(
        "<IiiHHIIiiII",
        40,  # header size
        WIDTH,
        height,
        1,  # planes
        bits,
        0,  # BI_RGB: uncompressed
        len(pixels),
        2835,  # 72 dots per inch, in dots per metre
        2835,
        16 if bits == 4 else 0,
        0,
    )
    return file_header + info_header + palette + pixels


def main():
    here = os.path.dirname(os.path.abspath(__file__))
    folder = sys.argv[1] if len(sys.argv) > 1 else os.path.join(here, "..", "resources", "images")
    os.makedirs(folder, exist_ok=True)
    for name, picture, background, bits in ICONS:
        with open(os.path.join(folder, name), "wb") as out:
            out.write(bmp_bytes(picture, background, bits))


if __name__ == "__main__":
    main()
