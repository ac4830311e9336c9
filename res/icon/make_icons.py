#!/usr/bin/env python3
"""Renders the Kestrin icon (design.py) into the files the front-ends use.

    make_icons.py OUTPUT_FOLDER PNG_SIZE...

writes into OUTPUT_FOLDER:
  kestrin.ico          the Windows icon group, ten images in this order:
                       48, 32, 16 px in 16 colours (4 bits per pixel, the VGA palette),
                       48, 32, 16 px in 256 colours (8 bits per pixel, a fixed palette),
                       128, 48, 32, 16 px in 32-bit colour (BGRA with alpha);
                       every image is a BMP entry with its colour (XOR) and mask (AND) bitmaps
  kestrin-N.png        one for each PNG_SIZE N (1 to 1024 pixels): the sizes a Linux desktop asks for,
                       which the build lists once (res/CMakeLists.txt) and passes on

Only the Python standard library is used, so the build needs nothing beyond python3.
The output depends on the design alone: running it twice gives identical bytes.
"""

import math
import os
import struct
import sys
import zlib

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import design  # noqa: E402  (the shapes, next to this script)

CANVAS = 256.0

# (size, bits per pixel) of the icon group's images, in the order they are stored.
ICO_IMAGES = [(48, 4), (32, 4), (16, 4),
              (48, 8), (32, 8), (16, 8),
              (128, 32), (48, 32), (32, 32), (16, 32)]
MAX_PNG_SIZE = 1024

# The standard 16-colour VGA palette, in the order Windows uses.
VGA16 = [
    (0, 0, 0), (128, 0, 0), (0, 128, 0), (128, 128, 0),
    (0, 0, 128), (128, 0, 128), (0, 128, 128), (192, 192, 192),
    (128, 128, 128), (255, 0, 0), (0, 255, 0), (255, 255, 0),
    (0, 0, 255), (255, 0, 255), (0, 255, 255), (255, 255, 255),
]


def palette256():
    """The 16 VGA colours, a 6x6x6 colour cube and 24 greys between the cube's levels."""
    levels = [0, 51, 102, 153, 204, 255]
    cube = [(r, g, b) for r in levels for g in levels for b in levels]
    greys = [(v, v, v) for v in (8 + 10 * i for i in range(24))]
    pal = VGA16 + cube + greys
    assert len(pal) == 256
    return pal


# ---------------------------------------------------------------- rendering

def _sd_rect(px, py, x0, y0, x1, y1, r):
    cx, cy = (x0 + x1) / 2, (y0 + y1) / 2
    qx = abs(px - cx) - ((x1 - x0) / 2 - r)
    qy = abs(py - cy) - ((y1 - y0) / 2 - r)
    outside = math.hypot(max(qx, 0.0), max(qy, 0.0))
    return outside + min(max(qx, qy), 0.0) - r


def _sd_segment(px, py, x0, y0, x1, y1, half_width):
    dx, dy = x1 - x0, y1 - y0
    length2 = dx * dx + dy * dy
    t = 0.0 if length2 == 0 else max(0.0, min(1.0, ((px - x0) * dx + (py - y0) * dy) / length2))
    return math.hypot(px - (x0 + t * dx), py - (y0 + t * dy)) - half_width


def _sd_arc(px, py, cx, cy, r, width, a0, a1):
    angle = math.degrees(math.atan2(py - cy, px - cx)) % 360.0
    lo, span = a0 % 360.0, (a1 - a0) % 360.0
    if (angle - lo) % 360.0 <= span:
        return abs(math.hypot(px - cx, py - cy) - r) - width / 2
    ends = [(cx + r * math.cos(math.radians(a)), cy + r * math.sin(math.radians(a))) for a in (a0, a1)]
    return min(math.hypot(px - ex, py - ey) for ex, ey in ends) - width / 2


def signed_distance(shape, px, py):
    """Distance from (px, py) to the shape's edge in canvas units, negative inside."""
    kind, args = shape[0], shape[1:-1]
    if kind == "rect":
        return _sd_rect(px, py, *args)
    if kind == "circle":
        cx, cy, r = args
        return math.hypot(px - cx, py - cy) - r
    if kind == "ring":
        cx, cy, r, width = args
        return abs(math.hypot(px - cx, py - cy) - r) - width / 2
    if kind == "capsule":
        x0, y0, x1, y1, width = args
        return _sd_segment(px, py, x0, y0, x1, y1, width / 2)
    if kind == "arc":
        return _sd_arc(px, py, *args)
    raise ValueError("unknown shape kind: %r" % (kind,))


def _bounds(shape):
    """A box in canvas units that holds the whole shape, to skip pixels far from it."""
    kind, a = shape[0], shape[1:-1]
    if kind == "rect":
        return a[0], a[1], a[2], a[3]
    if kind in ("circle", "ring", "arc"):
        reach = a[2] + (a[3] / 2 if kind != "circle" else 0)
        return a[0] - reach, a[1] - reach, a[0] + reach, a[1] + reach
    half = a[4] / 2
    return min(a[0], a[2]) - half, min(a[1], a[3]) - half, max(a[0], a[2]) + half, max(a[1], a[3]) + half


def render(size, smooth=True, shapes=None):
    """The design at size x size pixels: rows of (r, g, b, a) tuples, straight alpha, 0..255.

    Smooth: each shape covers a pixel by how far the pixel's centre lies inside its edge (one
    pixel of soft edge). Otherwise a shape covers exactly the pixels whose centre it holds:
    the hard edges that images with a small palette and a 1-bit mask need, since a blend of
    two colours would be replaced by some unrelated third one.
    Shapes are painted over what is below them with the usual 'over' rule.
    """
    shapes = design.SHAPES if shapes is None else shapes
    scale = CANVAS / size
    # Straight-alpha floating point canvas: [r, g, b, a] with a in 0..1.
    pixels = [[[0.0, 0.0, 0.0, 0.0] for _ in range(size)] for _ in range(size)]
    for shape in shapes:
        r, g, b, alpha = shape[-1]
        x0, y0, x1, y1 = _bounds(shape)
        cols = range(max(0, int(x0 / scale) - 1), min(size, int(x1 / scale) + 2))
        rows = range(max(0, int(y0 / scale) - 1), min(size, int(y1 / scale) + 2))
        for y in rows:
            row = pixels[y]
            for x in cols:
                d = signed_distance(shape, (x + 0.5) * scale, (y + 0.5) * scale) / scale
                cover = min(1.0, max(0.0, 0.5 - d)) if smooth else float(d <= 0.0)
                if cover <= 0.0:
                    continue
                sa = cover * alpha / 255.0
                dst = row[x]
                out_a = sa + dst[3] * (1.0 - sa)
                for i, c in enumerate((r, g, b)):
                    dst[i] = (c * sa + dst[i] * dst[3] * (1.0 - sa)) / out_a
                dst[3] = out_a
    return [[tuple(int(round(v)) for v in p[:3]) + (int(round(p[3] * 255)),) for p in row]
            for row in pixels]


# ---------------------------------------------------------------- palette images

def nearest(palette, rgb):
    """Index of the palette colour closest to rgb, weighted for how the eye sees the channels."""
    r, g, b = rgb
    best, best_d = 0, None
    for i, (pr, pg, pb) in enumerate(palette):
        d = 3 * (r - pr) ** 2 + 4 * (g - pg) ** 2 + 2 * (b - pb) ** 2
        if best_d is None or d < best_d:
            best, best_d = i, d
    return best


def opaque(pixel):
    """Whether a pixel is shown in an image that has only a 1-bit mask."""
    return pixel[3] >= 128


# ---------------------------------------------------------------- .ico

def _row_bytes(bits_per_row):
    return (bits_per_row + 31) // 32 * 4


def _pack_bits(values, bits):
    """Packs small integers into bytes, most significant bits first, padded to 4 bytes."""
    out = bytearray()
    acc, filled = 0, 0
    for v in values:
        acc = (acc << bits) | v
        filled += bits
        if filled == 8:
            out.append(acc)
            acc, filled = 0, 0
    if filled:
        out.append(acc << (8 - filled))
    out.extend(b"\0" * (_row_bytes(len(values) * bits) - len(out)))
    return bytes(out)


def ico_image(pixels, bpp):
    """One icon image: BITMAPINFOHEADER, palette, colour bitmap, mask bitmap (rows bottom-up).

    Transparent pixels have mask bit 1 and colour 0 (black), so drawing leaves the screen as it is.
    """
    size = len(pixels)
    rows = list(reversed(pixels))
    mask = b"".join(_pack_bits([0 if opaque(p) or (bpp == 32 and p[3]) else 1 for p in row], 1)
                    for row in rows)
    if bpp == 32:
        palette = b""
        # Rows of 4-byte pixels need no padding.
        colour = b"".join(struct.pack("<BBBB", p[2], p[1], p[0], p[3]) if p[3] else b"\0\0\0\0"
                          for row in rows for p in row)
    else:
        pal = VGA16 if bpp == 4 else palette256()
        palette = b"".join(struct.pack("<BBBB", b, g, r, 0) for r, g, b in pal)
        colour = b"".join(_pack_bits([nearest(pal, p[:3]) if opaque(p) else 0 for p in row], bpp)
                          for row in rows)
    header = struct.pack("<IiiHHIIiiII", 40, size, 2 * size, 1, bpp, 0,
                         len(colour) + len(mask), 0, 0, 0, 0)
    return header + palette + colour + mask


def ico_file(images):
    """An .ico holding images given as (size, bpp, image bytes)."""
    out = struct.pack("<HHH", 0, 1, len(images))
    offset = 6 + 16 * len(images)
    data = b""
    for size, bpp, image in images:
        colours = 1 << bpp if bpp < 8 else 0
        out += struct.pack("<BBBBHHII", size % 256, size % 256, colours, 0, 1, bpp,
                           len(image), offset + len(data))
        data += image
    return out + data


# ---------------------------------------------------------------- .png

def _chunk(kind, body):
    return struct.pack(">I", len(body)) + kind + body + struct.pack(">I", zlib.crc32(kind + body))


def png_file(pixels):
    """An 8-bit RGBA PNG, no filtering, best compression."""
    size = len(pixels)
    raw = b"".join(b"\0" + bytes(c for p in row for c in p) for row in pixels)
    return (b"\x89PNG\r\n\x1a\n"
            + _chunk(b"IHDR", struct.pack(">IIBBBBB", size, size, 8, 6, 0, 0, 0))
            + _chunk(b"IDAT", zlib.compress(raw, 9))
            + _chunk(b"IEND", b""))


# ---------------------------------------------------------------- main

def _write(path, data):
    # Write beside the target, then rename, so an interrupted build never leaves a half file.
    tmp = path + ".tmp"
    with open(tmp, "wb") as f:
        f.write(data)
    os.replace(tmp, path)


def png_sizes(words):
    """The sizes named on the command line, or None when one is not a whole number of pixels in range."""
    sizes = []
    for word in words:
        if not (word.isascii() and word.isdigit()) or not 1 <= int(word) <= MAX_PNG_SIZE:
            return None
        sizes.append(int(word))
    return sizes


def main(argv):
    sizes = png_sizes(argv[2:])
    if len(argv) < 3 or sizes is None:
        sys.stderr.write("usage: make_icons.py OUTPUT_FOLDER PNG_SIZE... (sizes 1 to %d)\n" % MAX_PNG_SIZE)
        return 2
    out_dir = argv[1]
    os.makedirs(out_dir, exist_ok=True)
    rendered = {}

    def at(size, smooth):
        if (size, smooth) not in rendered:
            rendered[size, smooth] = render(size, smooth)
        return rendered[size, smooth]

    _write(os.path.join(out_dir, "kestrin.ico"),
           ico_file([(size, bpp, ico_image(at(size, bpp == 32), bpp)) for size, bpp in ICO_IMAGES]))
    for size in sizes:
        _write(os.path.join(out_dir, "kestrin-%d.png" % size), png_file(at(size, True)))
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
