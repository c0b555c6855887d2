#!/usr/bin/env python3
"""Writes the station's five colour tables (LUT files) into this folder.

Each file has 256 lines "<index>\t<red>\t<green>\t<blue>" for the display
values 0..255. Run it again after changing a formula and commit the files.
"""
import colorsys
import os


def clamp(v):
    return max(0, min(255, int(round(v))))


def gray(i):
    return i, i, i


def hue(h):
    r, g, b = colorsys.hsv_to_rgb(h % 1.0, 1.0, 1.0)
    return clamp(r * 255), clamp(g * 255), clamp(b * 255)


def rainbow(i):
    # Black at 0, then violet through blue, green and yellow to red.
    if i == 0:
        return 0, 0, 0
    return hue((1.0 - i / 255.0) * 0.75)


def spectrum(i):
    # The whole hue circle, red at both ends.
    return hue(i / 256.0)


def fire(i):
    # Black through red, orange and yellow to white.
    return clamp(3 * i), clamp(3 * i - 255), clamp(3 * i - 510)


def edges(i):
    # Grey levels with a red contour every 32 values.
    return (255, 0, 0) if i % 32 == 0 and i > 0 else (i, i, i)


TABLES = {
    "gray.lut": gray,
    "rainbow.lut": rainbow,
    "sprectrum.lut": spectrum,
    "fire.lut": fire,
    "edges.lut": edges,
}


def main():
    here = os.path.dirname(os.path.abspath(__file__))
    for name, colour in TABLES.items():
        with open(os.path.join(here, name), "w", newline="\n") as out:
            for i in range(256):
                out.write("%d\t%d\t%d\t%d\n" % ((i,) + colour(i)))


if __name__ == "__main__":
    main()
