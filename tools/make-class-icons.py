#!/usr/bin/env python3
"""Draws the file-class icons that the registrar names (a page holding a small picture for image
files, a page with a ribbon for bookmark files) with the program icon's renderer and writes them as
.ico files: make-class-icons.py resources/image_class.ico resources/bookmark_class.ico"""
import importlib.util
import os
import sys

spec = importlib.util.spec_from_file_location('make_icon', os.path.join(os.path.dirname(__file__), 'make-icon.py'))
make_icon = importlib.util.module_from_spec(spec)
spec.loader.exec_module(make_icon)

OUTLINE = (70, 80, 100, 255)
PAPER = (250, 250, 246, 255)


def page(u, v):
    """A sheet with its top right corner folded: RGBA or None outside it."""
    if not (0.16 <= u <= 0.84 and 0.06 <= v <= 0.94):
        return None
    if u > 0.62 and v < 0.28:
        if (u - 0.62) > (v - 0.06):
            return None
        return (200, 205, 215, 255)  # the fold
    if u < 0.21 or u > 0.79 or v < 0.11 or v > 0.89:
        return OUTLINE
    return PAPER


def image_class(u, v):
    c = page(u, v)
    if c is None or c != PAPER:
        return c
    if 0.28 <= u <= 0.72 and 0.40 <= v <= 0.78:
        if (u - 0.60) ** 2 + (v - 0.50) ** 2 <= 0.05 ** 2:
            return (250, 200, 60, 255)
        hill = 0.70 - 0.14 * max(0.0, 1.0 - abs(u - 0.42) / 0.16)
        return (60, 150, 80, 255) if v >= hill else (150, 205, 240, 255)
    return c


def bookmark_class(u, v):
    c = page(u, v)
    if c is None or c != PAPER:
        return c
    if 0.36 <= u <= 0.56 and 0.11 <= v <= 0.70:
        if v > 0.56 and abs(u - 0.46) < (v - 0.56) * 0.75:
            return c  # the notch of the ribbon
        return (200, 40, 50, 255)
    return c


def write(path, colour_at):
    make_icon.colour_at = colour_at
    make_icon.main(path)


if __name__ == '__main__':
    write(sys.argv[1], image_class)
    write(sys.argv[2], bookmark_class)
