#!/usr/bin/env python3
"""Draws Pelmora's program icon (a picture lifted out of a blue pack) as PNG files and an
.ico for Windows. Run it after changing the drawing: python3 make_icon.py"""
import struct
import zlib

BLUE_TOP = (0x29, 0x8D, 0xEA)
BLUE_BOTTOM = (0x0B, 0x4F, 0xA8)
CARD = (0xFF, 0xFF, 0xFF)
SKY = (0xBB, 0xE1, 0xFF)
SUN = (0xFF, 0xC1, 0x2E)
HILL_BACK = (0x5D, 0xB1, 0x5F)
HILL_FRONT = (0x2E, 0x8B, 0x3E)
POCKET = (0x08, 0x3C, 0x82)


def inside_rounded(x, y, left, top, right, bottom, radius):
    if not (left <= x <= right and top <= y <= bottom):
        return False
    cx = min(max(x, left + radius), right - radius)
    cy = min(max(y, top + radius), bottom - radius)
    return (x - cx) ** 2 + (y - cy) ** 2 <= radius ** 2


def below_line(x, y, x0, y0, x1, y1):
    """True when (x, y) lies below the line through the two points (y grows downwards)."""
    return y >= y0 + (y1 - y0) * (x - x0) / (x1 - x0)


def colour_at(x, y):
    """The colour at (x, y) in the unit square, or None outside the icon."""
    if not inside_rounded(x, y, 0.04, 0.04, 0.96, 0.96, 0.18):
        return None
    t = (y - 0.04) / 0.92
    colour = tuple(round(a + (b - a) * t) for a, b in zip(BLUE_TOP, BLUE_BOTTOM))
    # The pack's pocket the picture comes out of.
    if inside_rounded(x, y, 0.14, 0.62, 0.86, 0.86, 0.06):
        colour = POCKET
    # The picture: a white card with sky, sun and two hills, tilted slightly by its layout.
    if inside_rounded(x, y, 0.2, 0.14, 0.8, 0.7, 0.04):
        colour = CARD
        if 0.25 <= x <= 0.75 and 0.19 <= y <= 0.65:
            colour = SKY
            if (x - 0.63) ** 2 + (y - 0.31) ** 2 <= 0.065 ** 2:
                colour = SUN
            if below_line(x, y, 0.25, 0.6, 0.5, 0.38) and below_line(x, y, 0.5, 0.38, 0.75, 0.62):
                colour = HILL_BACK
            if below_line(x, y, 0.38, 0.65, 0.6, 0.47) and below_line(x, y, 0.6, 0.47, 0.9, 0.7):
                colour = HILL_FRONT
    # The front lip of the pocket covers the foot of the picture.
    if inside_rounded(x, y, 0.14, 0.68, 0.86, 0.86, 0.06):
        colour = POCKET
        if 0.46 <= x <= 0.54 and 0.74 <= y <= 0.8:
            colour = CARD
    return colour


def render(size, samples=4):
    rows = []
    for py in range(size):
        row = bytearray([0])
        for px in range(size):
            total = [0, 0, 0]
            hits = 0
            for sy in range(samples):
                for sx in range(samples):
                    c = colour_at((px + (sx + 0.5) / samples) / size,
                                  (py + (sy + 0.5) / samples) / size)
                    if c is not None:
                        hits += 1
                        for i in range(3):
                            total[i] += c[i]
            if hits:
                row += bytes(round(v / hits) for v in total)
                row.append(round(255 * hits / samples ** 2))
            else:
                row += b"\0\0\0\0"
        rows.append(bytes(row))
    return png(size, b"".join(rows))


def png(size, raw):
    def chunk(kind, data):
        body = kind + data
        return struct.pack(">I", len(data)) + body + struct.pack(">I", zlib.crc32(body))
    header = struct.pack(">IIBBBBB", size, size, 8, 6, 0, 0, 0)
    return (b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", header) +
            chunk(b"IDAT", zlib.compress(raw, 9)) + chunk(b"IEND", b""))


def ico(images):
    """An .ico holding PNG images, largest last as Windows prefers any order."""
    out = struct.pack("<HHH", 0, 1, len(images))
    offset = 6 + 16 * len(images)
    for size, data in images:
        dim = 0 if size >= 256 else size
        out += struct.pack("<BBBBHHII", dim, dim, 0, 0, 1, 32, len(data), offset)
        offset += len(data)
    return out + b"".join(data for _, data in images)


if __name__ == "__main__":
    images = []
    for size in (16, 32, 48, 256):
        data = render(size)
        with open(f"pelmora-{size}.png", "wb") as f:
            f.write(data)
        images.append((size, data))
    with open("pelmora.ico", "wb") as f:
        f.write(ico(images))
