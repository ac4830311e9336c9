#!/usr/bin/env python3
"""Checks the program's icon files.

    check_icons.py --generator make_icons.py --built FOLDER --png-sizes N... [--windres WINDRES]

The .ico and PNG files are read back with decoders written here, independently of the
generator, so a fault in how the generator lays out its bytes shows up as a failure.
"""

import argparse
import importlib.util
import os
import shutil
import struct
import subprocess
import sys
import tempfile
import unittest
import zlib

ARGS = None  # the command line; ARGS.png_sizes are the sizes the build renders

EXPECTED_ICO = [(48, 4), (32, 4), (16, 4), (48, 8), (32, 8), (16, 8),
                (128, 32), (48, 32), (32, 32), (16, 32)]

VGA16 = [
    (0, 0, 0), (128, 0, 0), (0, 128, 0), (128, 128, 0),
    (0, 0, 128), (128, 0, 128), (0, 128, 128), (192, 192, 192),
    (128, 128, 128), (255, 0, 0), (0, 255, 0), (255, 255, 0),
    (0, 0, 255), (255, 0, 255), (0, 255, 255), (255, 255, 255),
]


# ---------------------------------------------------------------- decoders

def stride(width, bpp):
    return (width * bpp + 31) // 32 * 4


def parse_ico(data):
    """The directory entries and, for each, the decoded image.

    Returns a list of dicts: the directory fields, the BITMAPINFOHEADER fields, the palette,
    and 'pixels' as rows (top row first) of (r, g, b, a, masked) with masked the AND bit.
    """
    reserved, kind, count = struct.unpack_from("<HHH", data, 0)
    if reserved != 0 or kind != 1:
        raise ValueError("not an icon file")
    entries = []
    for i in range(count):
        w, h, colours, res, planes, bpp, size, offset = struct.unpack_from("<BBBBHHII", data, 6 + 16 * i)
        e = dict(width=w or 256, height=h or 256, colours=colours, reserved=res, planes=planes,
                 bpp=bpp, size=size, offset=offset)
        if offset + size > len(data):
            raise ValueError("entry %d runs past the end of the file" % i)
        image = data[offset:offset + size]
        (hsize, bw, bh, bplanes, bbpp, compression, size_image,
         _, _, clr_used, _) = struct.unpack_from("<IiiHHIIiiII", image, 0)
        e.update(header_size=hsize, bmp_width=bw, bmp_height=bh, bmp_planes=bplanes, bmp_bpp=bbpp,
                 compression=compression, size_image=size_image, clr_used=clr_used)
        n_colours = (clr_used or 1 << bbpp) if bbpp <= 8 else 0
        pos = hsize
        palette = []
        for _ in range(n_colours):
            b, g, r, zero = struct.unpack_from("<BBBB", image, pos)
            palette.append((r, g, b))
            pos += 4
        e["palette"] = palette
        height = bh // 2
        xor_stride, and_stride = stride(bw, bbpp), stride(bw, 1)
        xor = image[pos:pos + xor_stride * height]
        mask = image[pos + xor_stride * height:pos + (xor_stride + and_stride) * height]
        e["expected_size"] = pos + (xor_stride + and_stride) * height
        e["xor_bytes"] = xor_stride * height
        e["and_bytes"] = and_stride * height
        rows = []
        for y in range(height):
            src = height - 1 - y  # rows are stored bottom-up
            xrow, arow = xor[src * xor_stride:], mask[src * and_stride:]
            row = []
            for x in range(bw):
                masked = (arow[x // 8] >> (7 - x % 8)) & 1
                if bbpp == 32:
                    b, g, r, a = xrow[4 * x:4 * x + 4]
                    row.append((r, g, b, a, masked))
                else:
                    per_byte = 8 // bbpp
                    shift = (per_byte - 1 - x % per_byte) * bbpp
                    index = (xrow[x // per_byte] >> shift) & ((1 << bbpp) - 1)
                    r, g, b = palette[index]
                    row.append((r, g, b, index, masked))
            rows.append(row)
        e["pixels"] = rows
        entries.append(e)
    return entries


def parse_png(data):
    """(width, height, rows of (r, g, b, a)) of an 8-bit RGBA PNG; checks every chunk's CRC."""
    if data[:8] != b"\x89PNG\r\n\x1a\n":
        raise ValueError("no PNG signature")
    pos, chunks = 8, []
    while pos < len(data):
        length, = struct.unpack_from(">I", data, pos)
        kind = data[pos + 4:pos + 8]
        body = data[pos + 8:pos + 8 + length]
        crc, = struct.unpack_from(">I", data, pos + 8 + length)
        if zlib.crc32(kind + body) != crc:
            raise ValueError("bad CRC in %r" % kind)
        chunks.append((kind, body))
        pos += 12 + length
    if chunks[0][0] != b"IHDR" or chunks[-1][0] != b"IEND":
        raise ValueError("chunks out of order")
    w, h, depth, colour_type, comp, flt, interlace = struct.unpack(">IIBBBBB", chunks[0][1])
    if (depth, colour_type, comp, flt, interlace) != (8, 6, 0, 0, 0):
        raise ValueError("not 8-bit non-interlaced RGBA")
    raw = zlib.decompress(b"".join(body for kind, body in chunks if kind == b"IDAT"))
    line = 4 * w
    if len(raw) != h * (line + 1):
        raise ValueError("image data has %d bytes, expected %d" % (len(raw), h * (line + 1)))
    prev = bytearray(line)
    rows = []
    for y in range(h):
        ftype, cur = raw[y * (line + 1)], bytearray(raw[y * (line + 1) + 1:(y + 1) * (line + 1)])
        for i in range(line):
            a = cur[i - 4] if i >= 4 else 0
            b = prev[i]
            c = prev[i - 4] if i >= 4 else 0
            if ftype == 1:
                cur[i] = (cur[i] + a) & 255
            elif ftype == 2:
                cur[i] = (cur[i] + b) & 255
            elif ftype == 3:
                cur[i] = (cur[i] + (a + b) // 2) & 255
            elif ftype == 4:
                p = a + b - c
                pa, pb, pc = abs(p - a), abs(p - b), abs(p - c)
                cur[i] = (cur[i] + (a if pa <= pb and pa <= pc else b if pb <= pc else c)) & 255
            elif ftype != 0:
                raise ValueError("unknown filter %d" % ftype)
        rows.append([tuple(cur[4 * x:4 * x + 4]) for x in range(w)])
        prev = cur
    return w, h, rows


def parse_res(data):
    """The resources of a compiled .res file as a list of (type, name, bytes)."""
    def ident(pos):
        if struct.unpack_from("<H", data, pos)[0] == 0xFFFF:
            return struct.unpack_from("<H", data, pos + 2)[0], pos + 4
        end = pos
        while struct.unpack_from("<H", data, end)[0] != 0:
            end += 2
        return data[pos:end].decode("utf-16-le"), end + 2

    out, pos = [], 0
    while pos + 8 <= len(data):
        data_size, header_size = struct.unpack_from("<II", data, pos)
        rtype, p = ident(pos + 8)
        name, p = ident(p)
        body = data[pos + header_size:pos + header_size + data_size]
        if data_size:
            out.append((rtype, name, body))
        pos += header_size + (data_size + 3) // 4 * 4
    return out


def load_generator():
    module_origin = importlib.util.spec_from_file_location("make_icons", ARGS.generator)
    module = importlib.util.module_from_spec(module_origin)
    module_origin.loader.exec_module(module)
    return module


def read(name):
    with open(os.path.join(ARGS.built, name), "rb") as f:
        return f.read()


# ---------------------------------------------------------------- tests

class IconGroup(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.data = read("kestrin.ico")
        cls.entries = parse_ico(cls.data)

    def test_holds_the_ten_images_in_order(self):
        self.assertEqual([(e["width"], e["bpp"]) for e in self.entries], EXPECTED_ICO)
        for e in self.entries:
            with self.subTest(size=e["width"], bpp=e["bpp"]):
                self.assertEqual(e["height"], e["width"])
                self.assertEqual(e["colours"], 16 if e["bpp"] == 4 else 0)
                self.assertEqual((e["reserved"], e["planes"]), (0, 1))

    def test_bitmap_headers_agree_with_the_directory(self):
        for e in self.entries:
            with self.subTest(size=e["width"], bpp=e["bpp"]):
                self.assertEqual(e["header_size"], 40)
                self.assertEqual((e["bmp_width"], e["bmp_height"]), (e["width"], 2 * e["height"]))
                self.assertEqual((e["bmp_planes"], e["bmp_bpp"], e["compression"]), (1, e["bpp"], 0))
                self.assertIn(e["size_image"], (0, e["xor_bytes"] + e["and_bytes"]))
                self.assertEqual(len(e["palette"]), {4: 16, 8: 256, 32: 0}[e["bpp"]])
                self.assertEqual(e["size"], e["expected_size"], "image size in the directory")

    def test_images_are_packed_back_to_back_without_overlap(self):
        pos = 6 + 16 * len(self.entries)
        for e in self.entries:
            self.assertEqual(e["offset"], pos)
            pos += e["size"]
        self.assertEqual(pos, len(self.data))

    def test_palettes(self):
        for e in self.entries:
            if e["bpp"] == 4:
                self.assertEqual(e["palette"], VGA16)
            elif e["bpp"] == 8:
                levels = (0, 51, 102, 153, 204, 255)
                cube = {(r, g, b) for r in levels for g in levels for b in levels}
                self.assertEqual(e["palette"][:16], VGA16)
                self.assertTrue(cube <= set(e["palette"]), "a 6x6x6 colour cube")

    def test_masks_show_the_picture_and_hide_the_corners(self):
        for e in self.entries:
            with self.subTest(size=e["width"], bpp=e["bpp"]):
                px = e["pixels"]
                n = e["width"]
                self.assertEqual(px[0][n - 1][4], 1, "top right corner is see-through")
                self.assertEqual(px[n // 2][n // 2][4], 0, "the middle is drawn")
                shown = sum(1 for row in px for p in row if not p[4]) / (n * n)
                self.assertTrue(0.5 < shown < 0.95, shown)

    def test_hidden_pixels_are_black_so_drawing_leaves_the_screen_alone(self):
        for e in self.entries:
            for row in e["pixels"]:
                for p in row:
                    if p[4]:
                        self.assertEqual(p[:4], (0, 0, 0, 0), (e["width"], e["bpp"]))

    def test_32_bit_mask_matches_alpha(self):
        for e in self.entries:
            if e["bpp"] == 32:
                for row in e["pixels"]:
                    for p in row:
                        self.assertEqual(p[4], int(p[3] == 0))

    def test_palette_images_look_like_the_full_colour_ones(self):
        full = {e["width"]: e for e in self.entries if e["bpp"] == 32}
        for e in self.entries:
            if e["bpp"] == 32:
                continue
            with self.subTest(size=e["width"], bpp=e["bpp"]):
                ref, n = full[e["width"]]["pixels"], e["width"]
                same_mask = close = 0
                for y in range(n):
                    for x in range(n):
                        p, q = e["pixels"][y][x], ref[y][x]
                        same_mask += p[4] == int(q[3] < 128)
                        if not p[4] and q[3] == 255:
                            close += sum(abs(p[i] - q[i]) for i in range(3)) < 200
                opaque = sum(1 for row in ref for q in row if q[3] == 255)
                self.assertGreater(same_mask / (n * n), 0.9)
                self.assertGreater(close / opaque, 0.85)


class Png(unittest.TestCase):
    def test_each_size_decodes_to_its_size(self):
        for size in ARGS.png_sizes:
            with self.subTest(size=size):
                w, h, rows = parse_png(read("kestrin-%d.png" % size))
                self.assertEqual((w, h, len(rows)), (size, size, size))
                self.assertEqual(rows[0][size - 1][3], 0, "top right corner is see-through")
                self.assertEqual(rows[size // 2][size // 2][3], 255)

    def test_pngs_and_32_bit_icon_images_are_the_same_picture(self):
        icons = {e["width"]: e["pixels"] for e in parse_ico(read("kestrin.ico")) if e["bpp"] == 32}
        for size in (16, 32, 48):
            with self.subTest(size=size):
                _, _, rows = parse_png(read("kestrin-%d.png" % size))
                for y in range(size):
                    for x in range(size):
                        r, g, b, a, _ = icons[size][y][x]
                        if a:
                            self.assertEqual(rows[y][x], (r, g, b, a), (x, y))
                        else:
                            self.assertEqual(rows[y][x][3], 0, (x, y))

    @unittest.skipUnless(shutil.which("identify"), "ImageMagick is not installed")
    def test_imagemagick_reads_every_file(self):
        for size in ARGS.png_sizes:
            out = subprocess.run(["identify", "-format", "%w %h %m",
                                  os.path.join(ARGS.built, "kestrin-%d.png" % size)],
                                 check=True, capture_output=True, text=True).stdout
            self.assertEqual(out, "%d %d PNG" % (size, size))
        out = subprocess.run(["identify", "-format", "%w %z\n", os.path.join(ARGS.built, "kestrin.ico")],
                             check=True, capture_output=True, text=True).stdout.split("\n")
        self.assertEqual([line.split()[0] for line in out if line], [str(s) for s, _ in EXPECTED_ICO])


class Generator(unittest.TestCase):
    """The generator's byte layout, checked on made-up pictures whose every pixel is known."""

    @classmethod
    def setUpClass(cls):
        cls.gen = load_generator()

    def picture(self, size, colours):
        # Colours run along rows and columns at different rates, so a swapped nibble, a flipped
        # row order or a channel mix-up changes the decoded picture; every fifth pixel is hidden.
        return [[(colours[(x + 3 * y) % len(colours)] + (255,)) if (x + y) % 5 else (9, 9, 9, 0)
                 for x in range(size)] for y in range(size)]

    def round_trip(self, pixels, bpp):
        size = len(pixels)
        data = self.gen.ico_file([(size, bpp, self.gen.ico_image(pixels, bpp))])
        e, = parse_ico(data)
        self.assertEqual(e["size"], e["expected_size"])
        return e["pixels"]

    def test_palette_images_round_trip_exactly(self):
        table = [(4, VGA16), (8, self.gen.palette256())]
        for bpp, palette in table:
            for size in (16, 20, 33):  # 20 and 33 need row padding
                with self.subTest(bpp=bpp, size=size):
                    pixels = self.picture(size, palette)
                    back = self.round_trip(pixels, bpp)
                    for y in range(size):
                        for x in range(size):
                            if pixels[y][x][3]:
                                self.assertEqual(back[y][x][:3], pixels[y][x][:3], (x, y))
                                self.assertEqual(back[y][x][4], 0)
                            else:
                                self.assertEqual(back[y][x][3:], (0, 1), (x, y))

    def test_32_bit_images_round_trip_exactly(self):
        colours = [(10, 20, 30), (200, 100, 50), (1, 2, 3), (255, 0, 128), (7, 250, 9)]
        for size in (16, 21):
            with self.subTest(size=size):
                pixels = [[c[:3] + ((x * 7 + y) % 256,) for x, c in enumerate(row)]
                          for y, row in enumerate(self.picture(size, colours))]
                back = self.round_trip(pixels, 32)
                for y in range(size):
                    for x in range(size):
                        p = pixels[y][x]
                        want = p + (0,) if p[3] else (0, 0, 0, 0, 1)
                        self.assertEqual(back[y][x], want, (x, y))

    def test_half_transparent_pixels_follow_the_mask_threshold(self):
        pixels = [[(250, 200, 70, a) for a in (0, 1, 127, 128, 200, 255)]] * 6
        for bpp in (4, 8):
            back = self.round_trip(pixels, bpp)
            self.assertEqual([p[4] for p in back[0]], [1, 1, 1, 0, 0, 0])
        back = self.round_trip(pixels, 32)
        self.assertEqual([p[4] for p in back[0]], [1, 0, 0, 0, 0, 0])

    def test_nearest_colour_picks_exact_matches(self):
        for i, c in enumerate(VGA16):
            self.assertEqual(self.gen.nearest(VGA16, c), i)
        self.assertEqual(VGA16[self.gen.nearest(VGA16, (250, 240, 20))], (255, 255, 0))

    def test_a_fresh_run_gives_the_built_files_byte_for_byte(self):
        with tempfile.TemporaryDirectory() as tmp:
            subprocess.run([sys.executable, ARGS.generator, tmp] + [str(s) for s in ARGS.png_sizes], check=True)
            names = sorted(os.listdir(tmp))
            self.assertEqual(names, sorted(["kestrin.ico"] + ["kestrin-%d.png" % s for s in ARGS.png_sizes]))
            for name in names:
                with open(os.path.join(tmp, name), "rb") as f:
                    self.assertEqual(f.read(), read(name), name)

    def test_usage_error_without_a_folder(self):
        run = subprocess.run([sys.executable, ARGS.generator], capture_output=True, text=True)
        self.assertEqual(run.returncode, 2)
        self.assertIn("usage", run.stderr)

    def test_writes_exactly_the_png_sizes_it_is_given(self):
        with tempfile.TemporaryDirectory() as tmp:
            subprocess.run([sys.executable, ARGS.generator, tmp, "20", "3"], check=True)
            self.assertEqual(sorted(os.listdir(tmp)), ["kestrin-20.png", "kestrin-3.png", "kestrin.ico"])
            for size in (20, 3):
                with open(os.path.join(tmp, "kestrin-%d.png" % size), "rb") as f:
                    width, height, _ = parse_png(f.read())
                self.assertEqual((width, height), (size, size))

    def test_usage_error_for_missing_or_bad_sizes_and_nothing_written(self):
        for sizes in ([], ["0"], ["1025"], ["-16"], ["16px"], ["\u00b2"], ["16", ""]):
            with self.subTest(sizes=sizes), tempfile.TemporaryDirectory() as tmp:
                out = os.path.join(tmp, "out")
                run = subprocess.run([sys.executable, ARGS.generator, out] + sizes, capture_output=True, text=True)
                self.assertEqual(run.returncode, 2)
                self.assertIn("usage", run.stderr)
                self.assertFalse(os.path.exists(out))


class WindowsResource(unittest.TestCase):
    def test_windres_compiles_the_icon_group(self):
        if not ARGS.windres:
            self.skipTest("windres is not installed")
        with tempfile.TemporaryDirectory() as tmp:
            rc = os.path.join(tmp, "icon.rc")
            with open(rc, "w") as f:
                f.write('128 ICON "%s"\n' % os.path.join(ARGS.built, "kestrin.ico").replace("\\", "/"))
            res = os.path.join(tmp, "icon.res")
            subprocess.run([ARGS.windres, "-O", "res", "-i", rc, "-o", res], check=True)
            with open(res, "rb") as f:
                resources = parse_res(f.read())
        RT_ICON, RT_GROUP_ICON = 3, 14
        groups = [(name, body) for rtype, name, body in resources if rtype == RT_GROUP_ICON]
        self.assertEqual([name for name, _ in groups], [128])
        body = groups[0][1]
        reserved, kind, count = struct.unpack_from("<HHH", body, 0)
        self.assertEqual((reserved, kind, count), (0, 1, 10))
        icons = {name: data for rtype, name, data in resources if rtype == RT_ICON}
        got = []
        for i in range(count):
            w, h, colours, _, planes, bpp, size, icon_id = struct.unpack_from("<BBBBHHIH", body, 6 + 14 * i)
            self.assertEqual(len(icons[icon_id]), size)
            self.assertEqual(struct.unpack_from("<i", icons[icon_id], 4)[0], w or 256)
            got.append((w or 256, bpp))
        self.assertEqual(got, EXPECTED_ICO)


if __name__ == "__main__":
    parser = argparse.ArgumentParser()
    parser.add_argument("--generator", required=True)
    parser.add_argument("--built", required=True)
    parser.add_argument("--png-sizes", type=int, nargs="+", required=True)
    parser.add_argument("--windres")
    ARGS, rest = parser.parse_known_args()
    unittest.main(argv=[sys.argv[0]] + rest, verbosity=2)
