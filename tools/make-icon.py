#!/usr/bin/env python3
"""Draws the program icon (a framed picture of hills under a sun) at 16, 32 and 48 pixels and
writes it as a Windows .ico file: make-icon.py resources/kanoru2.ico"""
import struct
import sys

SIZES = (16, 32, 48)
SAMPLES = 4  # per axis, for smooth edges


def inside_rounded_rect(x, y, left, top, right, bottom, radius):
    if not (left <= x <= right and top <= y <= bottom):
        return False
    cx = min(max(x, left + radius), right - radius)
    cy = min(max(y, top + radius), bottom - radius)
    return (x - cx) ** 2 + (y - cy) ** 2 <= radius ** 2


def colour_at(u, v):
    """The picture in unit coordinates (0..1, y downwards): RGBA or None for transparent."""
    if not inside_rounded_rect(u, v, 0.04, 0.10, 0.96, 0.90, 0.10):
        return None
    if not inside_rounded_rect(u, v, 0.12, 0.18, 0.88, 0.82, 0.04):
        return (40, 52, 96, 255)  # frame
    if (u - 0.66) ** 2 + (v - 0.36) ** 2 <= 0.085 ** 2:
        return (250, 200, 60, 255)  # sun
    far_hill = 0.62 - 0.16 * max(0.0, 1.0 - abs(u - 0.36) / 0.30)
    near_hill = 0.70 - 0.12 * max(0.0, 1.0 - abs(u - 0.72) / 0.26)
    if v >= near_hill:
        return (46, 140, 70, 255)
    if v >= far_hill:
        return (90, 175, 95, 255)
    return (150, 205, 240, 255)  # sky


def render(size):
    pixels = []
    for y in range(size):
        row = []
        for x in range(size):
            total = [0, 0, 0, 0]
            for sy in range(SAMPLES):
                for sx in range(SAMPLES):
                    c = colour_at((x + (sx + 0.5) / SAMPLES) / size, (y + (sy + 0.5) / SAMPLES) / size)
                    if c:
                        for i in range(3):
                            total[i] += c[i] * c[3]
                        total[3] += c[3]
            alpha = total[3] / (SAMPLES * SAMPLES)
            if total[3]:
                row.append(tuple(round(total[i] / total[3]) for i in range(3)) + (round(alpha),))
            else:
                row.append((0, 0, 0, 0))
        pixels.append(row)
    return pixels


def icon_image(size):
    pixels = render(size)
    header = struct.pack('<IiiHHIIiiII', 40, size, size * 2, 1, 32, 0, 0, 0, 0, 0, 0)
    colour = b''.join(bytes((b, g, r, a)) for row in reversed(pixels) for (r, g, b, a) in row)
    mask_row = ((size + 31) // 32) * 4
    mask = bytearray()
    for row in reversed(pixels):
        bits = bytearray(mask_row)
        for x, (_, _, _, a) in enumerate(row):
            if a == 0:
                bits[x // 8] |= 0x80 >> (x % 8)
        mask += bits
    return header + colour + bytes(mask)


def main(path):
    images = [icon_image(size) for size in SIZES]
    directory = struct.pack('<HHH', 0, 1, len(SIZES))
    offset = 6 + 16 * len(SIZES)
    for size, image in zip(SIZES, images):
        directory += struct.pack('<BBBBHHII', size, size, 0, 0, 1, 32, len(image), offset)
        offset += len(image)
    with open(path, 'wb') as out:
        out.write(directory + b''.join(images))


if __name__ == '__main__':
    main(sys.argv[1])
