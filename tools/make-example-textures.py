#!/usr/bin/env python3
"""Draws the three textures of the example skin in examples/skin.

Each is an uncompressed true-colour TGA (image type 2) of 64 x 64 pixels,
stored bottom row first as TGA does by default, pixels as blue, green, red
(and alpha for 32 bits):

  t9.tex.big.tga   32 bits: a colour sweep, alpha rising from left to right
  t10.tex.big.tga  24 bits: a two-colour checkerboard with a diagonal stripe
  t11.tex.big.tga  32 bits with an image ID field: rings, opaque inside a
                   circle and fading out towards the corners

The patterns are computed, so the files come out the same on every run.
Usage: tools/make-example-textures.py [output folder]  (default examples/skin)
"""
import math
import os
import struct
import sys

SIZE = 64


def tga(width, height, depth, pixels, image_id=b"", descriptor=0):
    """A TGA file: 18-byte header, ID field, then the rows as given."""
    header = struct.pack(
        "<BBBHHBHHHHBB",
        len(image_id),  # ID length
        0,  # no colour map
        2,  # uncompressed true-colour
        0, 0, 0,  # colour-map first entry, length, entry size
        0, 0,  # X and Y origin
        width, height, depth, descriptor)
    return header + image_id + bytes(pixels)


def colour_sweep():
    out = []
    for y in range(SIZE):
        for x in range(SIZE):
            blue = 255 - 4 * y
            green = 4 * x
            red = 2 * (x + y)
            alpha = x * 255 // (SIZE - 1)
            out += [blue, green, red, alpha]
    return tga(SIZE, SIZE, 32, out, descriptor=8)


def checkerboard():
    out = []
    for y in range(SIZE):
        for x in range(SIZE):
            if abs(x - y) < 4:
                out += [40, 200, 250]  # the stripe: yellow
            elif (x // 8 + y // 8) % 2:
                out += [160, 60, 20]  # dark blue
            else:
                out += [230, 230, 230]  # off-white
    return tga(SIZE, SIZE, 24, out)


def rings():
    out = []
    centre = (SIZE - 1) / 2
    for y in range(SIZE):
        for x in range(SIZE):
            r = math.hypot(x - centre, y - centre)
            band = int(r) // 4 % 2
            blue, green, red = (30, 30, 200) if band else (200, 120, 30)
            alpha = 255 if r <= 24 else max(0, 255 - int((r - 24) * 32))
            out += [blue, green, red, alpha]
    return tga(SIZE, SIZE, 32, out, image_id=b"Gravelmax example skin", descriptor=8)


def main():
    folder = sys.argv[1] if len(sys.argv) > 1 else os.path.normpath(os.path.join(
        os.path.dirname(os.path.abspath(__file__)), "..", "examples", "skin"))
    os.makedirs(folder, exist_ok=True)
    for name, data in (("t9", colour_sweep()), ("t10", checkerboard()), ("t11", rings())):
        path = os.path.join(folder, name + ".tex.big.tga")
        with open(path, "wb") as f:
            f.write(data)
        print(f"{path}: {len(data)} bytes")


if __name__ == "__main__":
    main()
