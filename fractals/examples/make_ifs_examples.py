#!/usr/bin/env python3
"""Writes the IFS example documents of this folder.

Each example is a list of frames (vertex, side 1, side 2 in frame units, where the bounding
square is 0..10000 in x and y, y upward), written in the program's file form so the files can
be opened as they are. Run it from anywhere; it writes beside itself.
"""
import math
import os
import struct

HERE = os.path.dirname(os.path.abspath(__file__))


def text(s):
    b = s.encode("cp1252")
    assert len(b) < 255
    return bytes([len(b)]) + b


def header():
    return (text("Kaleidra") + struct.pack("<i", 41000) + struct.pack("<4i", 7, 0, 0, 0) +
            text("Merrowin") + text("Copyright \u00a9 Calvetra. Free to use, copy and share.") +
            text("Calvetra"))


def rgb(r, g, b):
    return r | g << 8 | b << 16


def document(frames, name, author="Kaleidra examples", bkgrd=rgb(255, 255, 255),
             border=rgb(128, 128, 128), defframe=rgb(0, 0, 255), samecolor=0, showframes=0):
    out = header() + struct.pack("<H", len(frames))
    for k, (vertex, side1, side2, color) in enumerate(frames):
        if k == 0:
            out += struct.pack("<HHH", 0xFFFF, 4, 9) + b"CIfsFrame"
        else:
            out += struct.pack("<H", 0x8001)
        values = [round(v) for v in (*vertex, *side1, *side2)]
        out += struct.pack("<6i", *values) + struct.pack("<Ii", color, 0)
    out += struct.pack("<IIIii", border, bkgrd, defframe, samecolor, showframes)
    return out + text(name) + text(author)


def affine(a, b, c, d, e, f, color, scale=1000.0, origin=(5000.0, 0.0)):
    """The map (x, y) -> (a x + b y + e, c x + d y + f) of a picture drawn in units where
    `scale` frame units are one, with the picture's origin at `origin`, as a frame."""
    ox, oy = origin
    vx = ox - (a * ox + b * oy) + scale * e
    vy = oy - (c * ox + d * oy) + scale * f
    return ((vx, vy), (10000 * a, 10000 * c), (10000 * b, 10000 * d), color)


def turn(scale, degrees, centre, color):
    """A turn about `centre` by `degrees` (counter-clockwise) shrunk by `scale`."""
    t = math.radians(degrees)
    a, b, c, d = (scale * math.cos(t), -scale * math.sin(t), scale * math.sin(t),
                  scale * math.cos(t))
    return affine(a, b, c, d, 0, 0, color, scale=1.0, origin=centre)


def koch_part(degrees, tx, ty, base=2000):
    """A third of the Koch curve over the line y = base: shrink by 3, turn, move by (tx, ty)."""
    t = math.radians(degrees)
    a, b, c, d = (math.cos(t) / 3, -math.sin(t) / 3, math.sin(t) / 3, math.cos(t) / 3)
    return affine(a, b, c, d, tx, ty, rgb(0, 0, 200), scale=1.0, origin=(0.0, base))


EXAMPLES = {
    "sierpinski.ifs": document([
        ((0, 0), (5000, 0), (0, 5000), rgb(200, 0, 0)),
        ((5000, 0), (5000, 0), (0, 5000), rgb(0, 140, 0)),
        ((2500, 5000), (5000, 0), (0, 5000), rgb(0, 0, 220)),
    ], "Sierpinski triangle"),
    # Four maps of a fern, every one equally likely as the game picks them; the stem keeps a
    # little width so that its frame is a true parallelogram.
    "fern.ifs": document([
        affine(0.01, 0.0, 0.0, 0.16, 0.0, 0.0, rgb(120, 80, 20)),
        affine(0.85, 0.04, -0.04, 0.85, 0.0, 1.6, rgb(0, 150, 0)),
        affine(0.20, -0.26, 0.23, 0.22, 0.0, 1.6, rgb(0, 110, 40)),
        affine(-0.15, 0.28, 0.26, 0.24, 0.0, 0.44, rgb(40, 170, 60)),
    ], "Fern leaf"),
    # The Koch curve over the line y = 2000: four thirds, the middle two turned by 60 degrees.
    "koch.ifs": document([
        koch_part(0, 0, 0), koch_part(60, 10000 / 3, 0),
        koch_part(-60, 5000, 10000 / 3 * math.sin(math.pi / 3)), koch_part(0, 20000 / 3, 0),
    ], "Koch curve"),
    # A slow turn towards the centre and a small copy of the square far out: the copy is
    # carried round and round into a spiral arm.
    "spiral.ifs": document([
        turn(0.92, 20, (5000, 5000), rgb(160, 0, 160)),
        ((8200, 4300), (1200, 0), (0, 1200), rgb(230, 120, 0)),
    ], "Spiral"),
}

for name, data in EXAMPLES.items():
    with open(os.path.join(HERE, name), "wb") as f:
        f.write(data)
