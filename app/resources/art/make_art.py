#!/usr/bin/env python3
"""Draws Orvane's own art: the About picture of Brix the dog and the application icon.

Writes, next to this folder's parent (app/resources/):
  picture.bmp  89 x 85, 24-bit, bottom-up BMP
  orvane.ico   three images: 32 x 32 in 16 colours, 48 x 48 in 256 colours, 32 x 32 in 256 colours
  orvane.png   48 x 48 RGBA, the same icon for the Linux desktop entry

Plain python3 (struct and zlib only); the output is the same byte for byte on every run.
Usage: make_art.py [OUTPUT_DIR]
"""

import math
import os
import struct
import sys
import zlib

# ---------------------------------------------------------------- shapes
# Every shape answers "is this point inside?" for a point in unit coordinates (0..1 across the
# image, y downwards), so one drawing renders at any size.


def circle(cx, cy, r):
    return lambda x, y: (x - cx) ** 2 + (y - cy) ** 2 <= r * r


def ellipse(cx, cy, rx, ry, angle=0.0):
    ca, sa = math.cos(angle), math.sin(angle)

    def inside(x, y):
        dx, dy = x - cx, y - cy
        u = dx * ca + dy * sa
        v = -dx * sa + dy * ca
        return (u / rx) ** 2 + (v / ry) ** 2 <= 1.0

    return inside


def rect(x0, y0, x1, y1):
    return lambda x, y: x0 <= x <= x1 and y0 <= y <= y1


def rounded_rect(x0, y0, x1, y1, r):
    def inside(x, y):
        if not (x0 <= x <= x1 and y0 <= y <= y1):
            return False
        nx = min(max(x, x0 + r), x1 - r)
        ny = min(max(y, y0 + r), y1 - r)
        return (x - nx) ** 2 + (y - ny) ** 2 <= r * r

    return inside


def segment(ax, ay, bx, by, width):
    half = width / 2.0
    lx, ly = bx - ax, by - ay
    length2 = lx * lx + ly * ly

    def inside(x, y):
        t = 0.0 if length2 == 0 else max(0.0, min(1.0, ((x - ax) * lx + (y - ay) * ly) / length2))
        px, py = ax + t * lx, ay + t * ly
        return (x - px) ** 2 + (y - py) ** 2 <= half * half

    return inside


def polygon(points):
    def inside(x, y):
        hit = False
        n = len(points)
        for i in range(n):
            x0, y0 = points[i]
            x1, y1 = points[(i + 1) % n]
            if (y0 > y) != (y1 > y):
                if x < x0 + (y - y0) * (x1 - x0) / (y1 - y0):
                    hit = not hit
        return hit

    return inside


def band(y0, y1, top, bottom):
    """A vertical gradient from colour top at y0 to colour bottom at y1, as a colour function."""

    def colour(x, y):
        t = min(1.0, max(0.0, (y - y0) / (y1 - y0)))
        return tuple(round(a + (b - a) * t) for a, b in zip(top, bottom))

    return colour


def render(shapes, width, height, samples):
    """Returns rows of (r, g, b, coverage) pixels; the last shape that covers a sample wins.

    With samples == 1 every pixel takes the colour at its centre (no blending), which keeps
    the 16-colour icon on its palette.
    """
    rows = []
    for py in range(height):
        row = []
        for px in range(width):
            acc = [0.0, 0.0, 0.0]
            covered = 0
            for sy in range(samples):
                for sx in range(samples):
                    x = (px + (sx + 0.5) / samples) / width
                    y = (py + (sy + 0.5) / samples) / height
                    colour = None
                    for inside, paint in shapes:
                        if inside(x, y):
                            colour = paint(x, y) if callable(paint) else paint
                    if colour is not None:
                        covered += 1
                        for i in range(3):
                            acc[i] += colour[i]
            n = samples * samples
            if covered:
                row.append((round(acc[0] / covered), round(acc[1] / covered), round(acc[2] / covered),
                            covered / n))
            else:
                row.append((0, 0, 0, 0.0))
        rows.append(row)
    return rows


# ---------------------------------------------------------------- Brix, the About picture

SKY_TOP = (120, 180, 235)
SKY_BOTTOM = (200, 228, 250)
GRASS = (92, 160, 70)
GRASS_DARK = (70, 130, 55)
FUR = (176, 112, 58)
FUR_DARK = (120, 72, 36)
FUR_LIGHT = (228, 190, 140)
NOSE = (40, 28, 24)
EYE = (30, 24, 22)
WHITE = (255, 255, 255)
COLLAR = (200, 40, 40)
TAG = (240, 200, 60)
SUN = (255, 222, 90)


def brix_shapes(width, height):
    # Coordinates are laid out on the 89 x 85 grid and scaled into unit space.
    def p(x, y):
        return x / width, y / height

    def s(v):
        return v / width

    def sy(v):
        return v / height

    everything = lambda x, y: True  # noqa: E731
    shapes = [
        (everything, band(0.0, 0.7, SKY_TOP, SKY_BOTTOM)),
        (circle(*p(74, 14), s(8)), SUN),
        (ellipse(*p(30, 88), s(70), sy(28)), GRASS_DARK),
        (rect(0, 0.78, 1, 1), GRASS),
        (ellipse(*p(62, 80), s(40), sy(8)), GRASS_DARK),
        # tail, curled up behind the body
        (segment(*p(60, 56), *p(72, 44), s(5)), FUR_DARK),
        (segment(*p(72, 44), *p(70, 36), s(4)), FUR_DARK),
        # body, sitting
        (ellipse(*p(48, 58), s(17), sy(16), -0.35), FUR),
        (ellipse(*p(42, 62), s(9), sy(10), -0.2), FUR_LIGHT),
        # back leg and paw
        (ellipse(*p(58, 68), s(9), sy(8)), FUR_DARK),
        (ellipse(*p(56, 75), s(8), sy(3.5)), FUR),
        # front legs
        (rounded_rect(*p(35, 58), *p(41, 76), s(3)), FUR),
        (rounded_rect(*p(43, 60), *p(49, 76), s(3)), FUR),
        (ellipse(*p(37, 76), s(5), sy(3)), FUR_LIGHT),
        (ellipse(*p(46, 76), s(5), sy(3)), FUR_LIGHT),
        # collar and tag
        (segment(*p(30, 45), *p(46, 47), s(4)), COLLAR),
        (circle(*p(37, 51), s(2.6)), TAG),
        # head
        (circle(*p(34, 32), s(13)), FUR),
        (ellipse(*p(22, 38), s(10), sy(7), 0.15), FUR_LIGHT),
        (ellipse(*p(13, 36), s(3.6), sy(3)), NOSE),
        (segment(*p(16, 44), *p(24, 44), s(1.5)), FUR_DARK),
        # ear, floppy
        (polygon([p(36, 20), p(48, 18), p(50, 38), p(44, 42)]), FUR_DARK),
        # eye with a glint
        (circle(*p(29, 28), s(2.8)), EYE),
        (circle(*p(28.2, 27.0), s(0.9)), WHITE),
        # eyebrow
        (segment(*p(25, 23), *p(31, 22), s(1.4)), FUR_DARK),
    ]
    return shapes


def bmp_24(rows):
    height = len(rows)
    width = len(rows[0])
    stride = (width * 3 + 3) & ~3
    pixels = bytearray()
    for row in reversed(rows):  # bottom-up
        line = bytearray()
        for r, g, b, _ in row:
            line += bytes((b, g, r))
        line += bytes(stride - len(line))
        pixels += line
    info = struct.pack("<IiiHHIIiiII", 40, width, height, 1, 24, 0, len(pixels), 2835, 2835, 0, 0)
    header = struct.pack("<2sIHHI", b"BM", 14 + len(info) + len(pixels), 0, 0, 14 + len(info))
    return header + info + bytes(pixels)


# ---------------------------------------------------------------- the icon: one server, four hosts
# A blue disc with a white server node in the middle, linked to four yellow hosts: the network
# that Orvane asks "who hands out addresses here?".

# The 16 colours of the classic VGA palette, the palette of every 16-colour Windows icon.
VGA16 = [
    (0, 0, 0), (128, 0, 0), (0, 128, 0), (128, 128, 0),
    (0, 0, 128), (128, 0, 128), (0, 128, 128), (192, 192, 192),
    (128, 128, 128), (255, 0, 0), (0, 255, 0), (255, 255, 0),
    (0, 0, 255), (255, 0, 255), (0, 255, 255), (255, 255, 255),
]


def icon_shapes(sixteen):
    navy = (0, 0, 128)
    blue = (0, 0, 255) if sixteen else (40, 100, 210)
    link = (0, 255, 255) if sixteen else (150, 220, 255)
    host = (255, 255, 0) if sixteen else (255, 205, 60)
    host_rim = (128, 128, 0) if sixteen else (190, 130, 20)
    server = (255, 255, 255)
    server_rim = (128, 128, 128) if sixteen else (110, 120, 150)
    disc = blue if sixteen else band(0.05, 0.95, (70, 140, 235), (20, 60, 160))
    c = 0.5
    hosts = [(0.22, 0.24), (0.78, 0.24), (0.22, 0.76), (0.78, 0.76)]
    shapes = [
        (circle(c, c, 0.48), navy),
        (circle(c, c, 0.43), disc),
    ]
    for hx, hy in hosts:
        shapes.append((segment(c, c, hx, hy, 0.07), link))
    for hx, hy in hosts:
        shapes.append((circle(hx, hy, 0.10), host_rim))
        shapes.append((circle(hx, hy, 0.075), host))
    shapes.append((rounded_rect(0.34, 0.36, 0.66, 0.64, 0.05), server_rim))
    shapes.append((rounded_rect(0.37, 0.39, 0.63, 0.61, 0.03), server))
    shapes.append((rect(0.41, 0.44, 0.59, 0.48), server_rim))
    shapes.append((rect(0.41, 0.52, 0.59, 0.56), server_rim))
    return shapes


def nearest(palette, colour):
    best, best_d = 0, None
    for i, p in enumerate(palette):
        d = sum((a - b) ** 2 for a, b in zip(p, colour))
        if best_d is None or d < best_d:
            best, best_d = i, d
    return best


def palette_of(rows):
    colours = sorted({(r, g, b) for row in rows for r, g, b, a in row if a >= 0.5})
    if len(colours) > 255:
        # Snap to a coarser grid until the picture fits; index 0 stays black for masked pixels.
        step = 2
        while True:
            snapped = sorted({tuple(min(255, (v // step) * step) for v in c) for c in colours})
            if len(snapped) <= 255:
                colours = snapped
                break
            step *= 2
    palette = [(0, 0, 0)] + [c for c in colours if c != (0, 0, 0)]
    return palette + [(0, 0, 0)] * (256 - len(palette))


def icon_image(rows, bits, palette):
    """One icon image: BITMAPINFOHEADER (height doubled), palette, XOR bits and AND mask."""
    size = len(rows)
    xor_stride = ((size * bits + 31) // 32) * 4
    and_stride = ((size + 31) // 32) * 4
    lookup = {}
    xor = bytearray()
    mask = bytearray()
    for row in reversed(rows):
        indices = []
        mask_bits = []
        for r, g, b, a in row:
            opaque = a >= 0.5
            if opaque:
                key = (r, g, b)
                if key not in lookup:
                    lookup[key] = nearest(palette, key)
                indices.append(lookup[key])
            else:
                indices.append(0)
            mask_bits.append(0 if opaque else 1)
        line = bytearray()
        if bits == 4:
            for i in range(0, size, 2):
                line.append((indices[i] << 4) | indices[i + 1])
        else:
            line += bytes(indices)
        xor += line + bytes(xor_stride - len(line))
        mline = bytearray()
        for i in range(0, size, 8):
            byte = 0
            for j in range(8):
                byte = (byte << 1) | mask_bits[i + j]
            mline.append(byte)
        mask += mline + bytes(and_stride - len(mline))
    info = struct.pack("<IiiHHIIiiII", 40, size, size * 2, 1, bits, 0, len(xor) + len(mask), 0, 0,
                       len(palette), 0)
    pal = b"".join(struct.pack("<BBBB", b, g, r, 0) for r, g, b in palette)
    return info + pal + bytes(xor) + bytes(mask)


def ico(images):
    """images: list of (size, colour_count, bits, data)."""
    out = struct.pack("<HHH", 0, 1, len(images))
    offset = 6 + 16 * len(images)
    body = b""
    for size, colour_count, bits, data in images:
        out += struct.pack("<BBBBHHII", size % 256, size % 256, colour_count % 256, 0, 1, bits, len(data),
                           offset + len(body))
        body += data
    return out + body


def png_rgba(rows):
    height = len(rows)
    width = len(rows[0])
    raw = bytearray()
    for row in rows:
        raw.append(0)  # no filter
        for r, g, b, a in row:
            raw += bytes((r, g, b, round(a * 255)))

    def chunk(kind, data):
        return struct.pack(">I", len(data)) + kind + data + struct.pack(">I", zlib.crc32(kind + data) & 0xFFFFFFFF)

    header = struct.pack(">IIBBBBB", width, height, 8, 6, 0, 0, 0)
    return (b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", header) + chunk(b"IDAT", zlib.compress(bytes(raw), 9))
            + chunk(b"IEND", b""))


def main():
    here = os.path.dirname(os.path.abspath(__file__))
    out_dir = sys.argv[1] if len(sys.argv) > 1 else os.path.dirname(here)

    picture = render(brix_shapes(89, 85), 89, 85, 4)
    with open(os.path.join(out_dir, "picture.bmp"), "wb") as f:
        f.write(bmp_24(picture))

    rows16 = render(icon_shapes(True), 32, 32, 1)
    rows48 = render(icon_shapes(False), 48, 48, 4)
    rows32 = render(icon_shapes(False), 32, 32, 4)
    images = [
        (32, 16, 4, icon_image(rows16, 4, VGA16)),
        (48, 0, 8, icon_image(rows48, 8, palette_of(rows48))),
        (32, 0, 8, icon_image(rows32, 8, palette_of(rows32))),
    ]
    with open(os.path.join(out_dir, "orvane.ico"), "wb") as f:
        f.write(ico(images))
    with open(os.path.join(out_dir, "orvane.png"), "wb") as f:
        f.write(png_rgba(rows48))


if __name__ == "__main__":
    main()
