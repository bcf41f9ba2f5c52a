#!/usr/bin/env python3
"""Draws Orvanta's images and writes them as PNG files and the tray icon.

    python3 tools/artwork/make_artwork.py            # write everything
    python3 tools/artwork/make_artwork.py --check    # verify what is on disk

Every picture is also drawn at twice its size ("NAME_2X.PNG") from the same
shapes, for screens above 100 %; the tray icon holds 16, 20, 24, 32 and 48
pixel images, one per common scale of the notification area.

Only the standard library is used so that any machine with python3 can
regenerate the artwork.  Shapes are rendered on a supersampled grid and box
filtered down, which gives smooth anti-aliased edges.  Output is deterministic:
two runs give byte-identical files.
"""

import argparse
import math
import os
import struct
import sys
import zlib

ROOT = os.path.abspath(os.path.join(os.path.dirname(__file__), "..", ".."))
PNG_DIR = os.path.join(ROOT, "resources", "png")
ICO_PATH = os.path.join(ROOT, "resources", "Orvanta.ico")
DOCS_DIR = os.path.join(ROOT, "docs")

SS = 4  # samples per pixel along each axis
SS_2X = 2  # at twice the size: the same samples per shape unit, half the time

# The widget face.  The corner radius is shared by SHADOW and OVERLAY so the
# glass follows the panel outline exactly.
FACE_W, FACE_H = 79, 74
FACE_RADIUS = 8.0
FACE_ALPHA = 232
RIM = 3.0  # width of the soft fade at the panel's edge, in pixels

GREEN = (0x00, 0xFF, 0x00)
RED = (0xFF, 0x00, 0x00)
YELLOW = (0xFF, 0xFF, 0x00)
IDLE_GREY = (0x5B, 0x5B, 0x5B)
BUSY_ORANGE = (0xFF, 0x80, 0x00)


# ---------------------------------------------------------------------------
# Raster: premultiplied float RGBA at SS x SS samples per pixel.

class Canvas:
    """Shapes are given in picture units; Scale output pixels make one unit."""

    def __init__(self, width, height, ss=SS, scale=1):
        if scale != 1:
            ss = SS_2X
        self.w, self.h, self.ss = width * scale, height * scale, ss
        self.k = ss * scale  # samples per unit
        self.sw, self.sh = self.w * ss, self.h * ss
        n = self.sw * self.sh
        self.r = [0.0] * n
        self.g = [0.0] * n
        self.b = [0.0] * n
        self.a = [0.0] * n

    def fill(self, shape, paint, bbox=None):
        """Composites paint over the canvas wherever shape(x, y) > 0.

        shape returns coverage 0..1 at a point in pixel coordinates; paint is
        an (r, g, b, a) tuple of 0..1 floats, or a function of (x, y)
        returning one.  bbox (x0, y0, x1, y1) limits the work.
        """
        ss = self.k
        if bbox is None:
            bbox = (0, 0, self.sw / ss, self.sh / ss)
        x0 = max(0, int(math.floor(bbox[0] * ss)))
        y0 = max(0, int(math.floor(bbox[1] * ss)))
        x1 = min(self.sw, int(math.ceil(bbox[2] * ss)))
        y1 = min(self.sh, int(math.ceil(bbox[3] * ss)))
        const = not callable(paint)
        if const:
            pr, pg, pb, pa = paint
        R, G, B, A = self.r, self.g, self.b, self.a
        inv = 1.0 / ss
        for sy in range(y0, y1):
            y = (sy + 0.5) * inv
            row = sy * self.sw
            for sx in range(x0, x1):
                x = (sx + 0.5) * inv
                c = shape(x, y)
                if c <= 0.0:
                    continue
                if not const:
                    pr, pg, pb, pa = paint(x, y)
                k = pa * (c if c < 1.0 else 1.0)
                if k <= 0.0:
                    continue
                i = row + sx
                rest = 1.0 - k
                R[i] = pr * k + R[i] * rest
                G[i] = pg * k + G[i] * rest
                B[i] = pb * k + B[i] * rest
                A[i] = k + A[i] * rest

    def pixels(self):
        """Box-filters down to 8-bit straight (non-premultiplied) RGBA rows."""
        ss, sw = self.ss, self.sw
        n = float(ss * ss)
        out = []
        for py in range(self.h):
            row = bytearray()
            for px in range(self.w):
                r = g = b = a = 0.0
                for sy in range(py * ss, py * ss + ss):
                    base = sy * sw + px * ss
                    for i in range(base, base + ss):
                        r += self.r[i]
                        g += self.g[i]
                        b += self.b[i]
                        a += self.a[i]
                a /= n
                a8 = int(round(a * 255.0))
                if a8 <= 0:
                    row += b"\0\0\0\0"
                    continue
                # Unpremultiply with the unrounded alpha so colours stay exact.
                s = 255.0 / (a * n)
                row += bytes((clamp8(r * s), clamp8(g * s), clamp8(b * s), a8))
            out.append(bytes(row))
        return out


def clamp8(v):
    v = int(round(v))
    return 0 if v < 0 else 255 if v > 255 else v


def rgba(rgb, alpha=255):
    return (rgb[0] / 255.0, rgb[1] / 255.0, rgb[2] / 255.0, alpha / 255.0)


def smoothstep(e0, e1, x):
    t = (x - e0) / (e1 - e0)
    t = 0.0 if t < 0.0 else 1.0 if t > 1.0 else t
    return t * t * (3.0 - 2.0 * t)


# ---------------------------------------------------------------------------
# Shapes.  Each returns a coverage function of (x, y).

def sd_round_rect(x, y, x0, y0, x1, y1, r):
    """Signed distance to a rounded rectangle, negative inside."""
    hx, hy = (x1 - x0) * 0.5, (y1 - y0) * 0.5
    qx = abs(x - (x0 + hx)) - (hx - r)
    qy = abs(y - (y0 + hy)) - (hy - r)
    ox, oy = max(qx, 0.0), max(qy, 0.0)
    return math.hypot(ox, oy) + min(max(qx, qy), 0.0) - r


def round_rect(x0, y0, x1, y1, r):
    return lambda x, y: 1.0 if sd_round_rect(x, y, x0, y0, x1, y1, r) < 0.0 else 0.0


def soft_round_rect(x0, y0, x1, y1, r, rim):
    """Rounded rectangle whose opacity eases in over rim pixels from its edge."""
    def f(x, y):
        return smoothstep(0.0, rim, -sd_round_rect(x, y, x0, y0, x1, y1, r))
    return f


def rect(x0, y0, x1, y1):
    return lambda x, y: 1.0 if x0 <= x < x1 and y0 <= y < y1 else 0.0


def circle(cx, cy, r):
    r2 = r * r
    return lambda x, y: 1.0 if (x - cx) ** 2 + (y - cy) ** 2 < r2 else 0.0


def polygon(points):
    """Even-odd point-in-polygon."""
    pts = list(points)
    edges = list(zip(pts, pts[1:] + pts[:1]))

    def f(x, y):
        inside = False
        for (ax, ay), (bx, by) in edges:
            if (ay > y) != (by > y):
                if x < ax + (y - ay) * (bx - ax) / (by - ay):
                    inside = not inside
        return 1.0 if inside else 0.0
    return f


def dist_to_segment(x, y, ax, ay, bx, by):
    dx, dy = bx - ax, by - ay
    ll = dx * dx + dy * dy
    t = 0.0 if ll == 0 else max(0.0, min(1.0, ((x - ax) * dx + (y - ay) * dy) / ll))
    return math.hypot(x - ax - t * dx, y - ay - t * dy)


def polyline(points, width, soft=0.0):
    """A stroked open path with round joins and caps."""
    segs = list(zip(points, points[1:]))
    half = width * 0.5

    def f(x, y):
        d = min(dist_to_segment(x, y, a[0], a[1], b[0], b[1]) for a, b in segs)
        if soft > 0.0:
            return 1.0 - smoothstep(half - soft, half + soft, d)
        return 1.0 if d < half else 0.0
    return f


def intersect(*shapes):
    def f(x, y):
        c = 1.0
        for s in shapes:
            c *= s(x, y)
            if c <= 0.0:
                return 0.0
        return c
    return f


def up_arrow(cx, top, bottom, head_w, head_h, stem_w):
    """An upward arrow: a triangular head on a rectangular stem."""
    hw, sw = head_w * 0.5, stem_w * 0.5
    base = top + head_h
    return polygon([(cx, top), (cx + hw, base), (cx + sw, base), (cx + sw, bottom),
                    (cx - sw, bottom), (cx - sw, base), (cx - hw, base)])


def flip_v(shape, height):
    return lambda x, y: shape(x, height - y)


# ---------------------------------------------------------------------------
# The images.

def draw_shadow(scale=1):
    # All shape lives in alpha: the program tints RGB to the tracker's colour.
    c = Canvas(FACE_W, FACE_H, scale=scale)
    c.fill(soft_round_rect(0, 0, FACE_W, FACE_H, FACE_RADIUS, RIM),
           (0.0, 0.0, 0.0, FACE_ALPHA / 255.0))
    return c


def face_glass_alpha(y, top, bottom, a_top, a_bottom):
    t = (y - top) / (bottom - top)
    return (a_top + (a_bottom - a_top) * t) / 255.0


def draw_overlay(scale=1):
    c = Canvas(FACE_W, FACE_H, scale=scale)
    # Inset by a pixel so the glass sits inside the rim and its top corners
    # follow the panel's curve.
    panel = round_rect(1, 1, FACE_W - 1, FACE_H - 1, FACE_RADIUS - 1)
    c.fill(intersect(panel, rect(0, 1, FACE_W, 20)),
           lambda x, y: (1.0, 1.0, 1.0, face_glass_alpha(y, 1.5, 19.5, 161, 52)),
           (0, 1, FACE_W, 20))
    # A soft dark line near the bottom gives the face some depth.
    line = lambda x, y: (0.0, 0.0, 0.0, 109 / 255.0 * math.exp(-((y - 69.5) / 1.6) ** 2))
    c.fill(intersect(panel, rect(0, 67, FACE_W, 72)), line, (0, 67, FACE_W, 72))
    return c


ARROW = dict(cx=6.0, top=0.75, bottom=11.25, head_w=11.0, head_h=5.75, stem_w=4.5)


def draw_inc(scale=1):
    c = Canvas(12, 12, scale=scale)
    c.fill(up_arrow(**ARROW), rgba(GREEN))
    return c


def draw_dec(scale=1):
    c = Canvas(12, 12, scale=scale)
    c.fill(flip_v(up_arrow(**ARROW), 12.0), rgba(RED))
    return c


def draw_equal(scale=1):
    c = Canvas(12, 12, scale=scale)
    c.fill(rect(3, 5, 9, 7), rgba(YELLOW))
    return c


def draw_dot(rgb, scale=1):
    c = Canvas(6, 6, scale=scale)
    c.fill(circle(3.0, 3.0, 2.5), rgba(rgb))
    return c


ABOUT_W, ABOUT_H = 343, 197
ABOUT_RADIUS = 14.0


def lerp3(a, b, t):
    return tuple(a[i] + (b[i] - a[i]) * t for i in range(3))


def draw_about(scale=1):
    W, H = ABOUT_W, ABOUT_H
    c = Canvas(W, H, scale=scale)
    top_rgb, bottom_rgb = (0x26, 0x32, 0x4A), (0x10, 0x15, 0x21)

    def panel_paint(x, y):
        r, g, b = lerp3(top_rgb, bottom_rgb, y / H)
        return (r / 255.0, g / 255.0, b / 255.0, 240 / 255.0)
    c.fill(soft_round_rect(0, 0, W, H, ABOUT_RADIUS, RIM), panel_paint)

    inner = round_rect(1, 1, W - 1, H - 1, ABOUT_RADIUS - 1)

    # Faint grid behind the chart.  The chart keeps to the lower left so the
    # program's right-aligned title and text lines have the rest.
    grid = (1.0, 1.0, 1.0, 0.06)
    chart_x0, chart_x1, base_y = 18.0, 132.0, 176.0
    for gy in (116.0, 136.0, 156.0):
        c.fill(rect(chart_x0, gy, chart_x1, gy + 1), grid, (chart_x0, gy, chart_x1, gy + 1))

    # Rising bars, deepening from slate to the product blue.
    bars = [(24, 20), (46, 32), (68, 46), (90, 60)]
    bar_w = 16.0
    lo, hi = (0x3A, 0x56, 0x88), (0x2D, 0x6C, 0xDF)
    for i, (bx, bh) in enumerate(bars):
        t = i / (len(bars) - 1)
        col = lerp3(lo, hi, t)
        top = base_y - bh
        light = lerp3(col, (0xFF, 0xFF, 0xFF), 0.25)

        def paint(x, y, top=top, col=col, light=light):
            u = (y - top) / (base_y - top)
            r, g, b = lerp3(light, col, min(1.0, u * 1.6))
            return (r / 255.0, g / 255.0, b / 255.0, 0.92)
        c.fill(round_rect(bx, top, bx + bar_w, base_y + 3, 2.5), paint,
               (bx, top, bx + bar_w, base_y))
    # Baseline.
    c.fill(rect(chart_x0, base_y, chart_x1, base_y + 1.5), (1.0, 1.0, 1.0, 0.35),
           (chart_x0, base_y, chart_x1, base_y + 2))

    # A pulse line: one heartbeat, then climbing over the bar tops into the
    # green arrow.
    pulse = [(16, 150), (28, 150), (33, 140), (39, 162), (44, 134), (50, 144),
             (54, 138), (76, 123), (98, 107), (112, 95)]
    area = (8, 70, 130, 172)
    c.fill(polyline(pulse, 7.0, soft=2.5), (0.45, 1.0, 0.45, 0.18), area)
    c.fill(polyline(pulse, 2.4, soft=0.35), (0.78, 1.0, 0.78, 1.0), area)

    # Green arrow continuing the last stretch of the pulse.
    (ax, ay), (bx, by) = pulse[-2], pulse[-1]
    ang = math.atan2(by - ay, bx - ax)
    arrow = up_arrow(0.0, -16.0, 3.0, 19.0, 11.0, 6.0)
    ca, sa = math.cos(ang + math.pi / 2), math.sin(ang + math.pi / 2)
    ox, oy = bx, by

    def rotated(x, y):
        dx, dy = x - ox, y - oy
        # Inverse rotation into the arrow's own frame.
        return arrow(dx * ca + dy * sa, -dx * sa + dy * ca)

    c.fill(lambda x, y: rotated(x + 1.0, y - 1.5), (0.0, 0.0, 0.0, 0.35), (90, 60, 145, 110))
    c.fill(rotated, rgba(GREEN), (90, 60, 145, 110))

    # Glass highlight across the top, fainter than the widget's so the white
    # title drawn over it keeps its contrast.
    c.fill(intersect(inner, rect(0, 1, W, 64)),
           lambda x, y: (1.0, 1.0, 1.0, face_glass_alpha(y, 1.5, 63.5, 62, 10)),
           (0, 1, W, 64))
    # Soft dark line near the bottom, as on the face.
    line = lambda x, y: (0.0, 0.0, 0.0, 0.42 * math.exp(-((y - (H - 5.5)) / 1.6) ** 2))
    c.fill(intersect(inner, rect(0, H - 8, W, H - 3)), line, (0, H - 8, W, H - 3))
    return c


# Icon geometry per size, snapped to whole pixels so the 16 px tray icon
# stays crisp: tile inset and radius, the two bars (x0, x1, top), bar bottom,
# and the arrow (centre x, top, bottom, head width, head height, stem width).
ICON_GEOMETRY = {
    16: dict(inset=0.0, radius=3.5, bars=((2, 5, 9), (6, 9, 6)), bar_bottom=14,
             arrow=(11.5, 1.0, 14.0, 7.0, 5.0, 3.0)),
    20: dict(inset=0.0, radius=4.0, bars=((3, 6, 12), (7, 10, 9)), bar_bottom=17,
             arrow=(14.5, 2.0, 17.0, 9.0, 6.0, 3.0)),
    24: dict(inset=0.0, radius=4.5, bars=((4, 7, 14), (9, 13, 10)), bar_bottom=20,
             arrow=(17.5, 3.0, 20.0, 9.0, 6.0, 3.0)),
    32: dict(inset=0.5, radius=6.0, bars=((5, 10, 19), (12, 17, 14)), bar_bottom=27,
             arrow=(23.5, 4.0, 27.0, 12.0, 8.0, 5.0)),
    48: dict(inset=1.0, radius=9.0, bars=((7, 15, 28), (18, 25, 21)), bar_bottom=40,
             arrow=(35.0, 6.0, 40.0, 18.0, 12.0, 8.0)),
}


def draw_icon(size):
    geo = ICON_GEOMETRY[size]
    c = Canvas(size, size)
    top_rgb, bottom_rgb = (0x2A, 0x37, 0x50), (0x12, 0x18, 0x25)

    def tile_paint(x, y):
        r, g, b = lerp3(top_rgb, bottom_rgb, y / size)
        return (r / 255.0, g / 255.0, b / 255.0, 1.0)
    i = geo["inset"]
    tile = round_rect(i, i, size - i, size - i, geo["radius"])
    c.fill(tile, tile_paint)
    # Two blue bars leading up to the green arrow: a tiny rising chart.
    blue = rgba((0x4A, 0x86, 0xF0))
    for x0, x1, top in geo["bars"]:
        c.fill(rect(x0, top, x1, geo["bar_bottom"]), blue)
    cx, top, bottom, head_w, head_h, stem_w = geo["arrow"]
    c.fill(up_arrow(cx, top, bottom, head_w, head_h, stem_w), rgba(GREEN))
    # Faint glass on the top of the tile, as on the widget face.
    c.fill(intersect(tile, rect(0, 0, size, size * 0.45)),
           lambda x, y: (1.0, 1.0, 1.0, 0.10 * (1.0 - y / (size * 0.45))))
    return c


IMAGES = [
    ("SHADOW.PNG", draw_shadow),
    ("OVERLAY.PNG", draw_overlay),
    ("INC.PNG", draw_inc),
    ("DEC.PNG", draw_dec),
    ("EQUAL.PNG", draw_equal),
    ("IDLE.PNG", lambda scale=1: draw_dot(IDLE_GREY, scale)),
    ("BUSY.PNG", lambda scale=1: draw_dot(BUSY_ORANGE, scale)),
    ("ABOUT.PNG", draw_about),
]

EXPECTED_SIZES = {
    "SHADOW.PNG": (79, 74), "OVERLAY.PNG": (79, 74), "INC.PNG": (12, 12),
    "DEC.PNG": (12, 12), "EQUAL.PNG": (12, 12), "IDLE.PNG": (6, 6),
    "BUSY.PNG": (6, 6), "ABOUT.PNG": (343, 197),
}


def large_name(name):
    """The resource name of a picture's double-size rendering."""
    base, ext = os.path.splitext(name)
    return base + "_2X" + ext


EXPECTED_SIZES.update({large_name(n): (2 * w, 2 * h) for n, (w, h) in list(EXPECTED_SIZES.items())})
ICON_SIZES = (16, 20, 24, 32, 48)


# ---------------------------------------------------------------------------
# File formats.

def png_bytes(rows, width, height):
    def chunk(kind, data):
        return (struct.pack(">I", len(data)) + kind + data
                + struct.pack(">I", zlib.crc32(kind + data) & 0xFFFFFFFF))
    raw = b"".join(b"\0" + r for r in rows)  # filter type 0 on every row
    ihdr = struct.pack(">IIBBBBB", width, height, 8, 6, 0, 0, 0)
    return (b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", ihdr)
            + chunk(b"IDAT", zlib.compress(raw, 9)) + chunk(b"IEND", b""))


def ico_bytes(images):
    """A .ico of 32-bit BMP entries (BGRA plus the 1-bit AND mask).

    BMP entries rather than PNG ones, since older Windows and some resource
    compilers only understand those.
    """
    entries, blobs = [], []
    offset = 6 + 16 * len(images)
    for size, rows in images:
        xor = bytearray()
        mask = bytearray()
        mask_stride = ((size + 31) // 32) * 4
        for row in reversed(rows):  # bottom-up
            bits = bytearray(mask_stride)
            for x in range(size):
                r, g, b, a = row[4 * x:4 * x + 4]
                xor += bytes((b, g, r, a))
                if a == 0:
                    bits[x >> 3] |= 0x80 >> (x & 7)
            mask += bits
        header = struct.pack("<IiiHHIIiiII", 40, size, size * 2, 1, 32, 0,
                             len(xor) + len(mask), 0, 0, 0, 0)
        blob = header + bytes(xor) + bytes(mask)
        entries.append(struct.pack("<BBBBHHII", size, size, 0, 0, 1, 32, len(blob), offset))
        blobs.append(blob)
        offset += len(blob)
    return struct.pack("<HHH", 0, 1, len(images)) + b"".join(entries) + b"".join(blobs)


def read_png(path):
    """Returns (width, height, rows of RGBA bytes) of one of our own PNGs."""
    with open(path, "rb") as f:
        data = f.read()
    if data[:8] != b"\x89PNG\r\n\x1a\n":
        raise ValueError("not a PNG")
    pos, idat, ihdr = 8, b"", None
    while pos < len(data):
        (length,) = struct.unpack(">I", data[pos:pos + 4])
        kind = data[pos + 4:pos + 8]
        body = data[pos + 8:pos + 8 + length]
        (crc,) = struct.unpack(">I", data[pos + 8 + length:pos + 12 + length])
        if zlib.crc32(kind + body) & 0xFFFFFFFF != crc:
            raise ValueError("bad CRC in %s" % kind.decode())
        if kind == b"IHDR":
            ihdr = struct.unpack(">IIBBBBB", body)
        elif kind == b"IDAT":
            idat += body
        pos += 12 + length
    if ihdr is None:
        raise ValueError("no IHDR")
    w, h, depth, ctype, comp, filt, interlace = ihdr
    if (depth, ctype, comp, filt, interlace) != (8, 6, 0, 0, 0):
        raise ValueError("want 8-bit RGBA non-interlaced, got depth %d colour type %d"
                         % (depth, ctype))
    raw = zlib.decompress(idat)
    stride = w * 4
    rows = []
    for y in range(h):
        line = raw[y * (stride + 1):(y + 1) * (stride + 1)]
        if line[0] != 0:
            raise ValueError("unexpected row filter %d" % line[0])
        rows.append(bytes(line[1:]))
    return w, h, rows


# ---------------------------------------------------------------------------
# Preview sheets for the README.  Labels use a tiny built-in pixel font so no
# font files are needed.

FONT = {
    "A": "01110 10001 10001 11111 10001 10001 10001",
    "B": "11110 10001 10001 11110 10001 10001 11110",
    "C": "01111 10000 10000 10000 10000 10000 01111",
    "D": "11110 10001 10001 10001 10001 10001 11110",
    "E": "11111 10000 10000 11110 10000 10000 11111",
    "G": "01111 10000 10000 10011 10001 10001 01111",
    "H": "10001 10001 10001 11111 10001 10001 10001",
    "I": "11111 00100 00100 00100 00100 00100 11111",
    "L": "10000 10000 10000 10000 10000 10000 11111",
    "N": "10001 11001 10101 10011 10001 10001 10001",
    "O": "01110 10001 10001 10001 10001 10001 01110",
    "P": "11110 10001 10001 11110 10000 10000 10000",
    "Q": "01110 10001 10001 10001 10101 10010 01101",
    "R": "11110 10001 10001 11110 10100 10010 10001",
    "S": "01111 10000 10000 01110 00001 00001 11110",
    "T": "11111 00100 00100 00100 00100 00100 00100",
    "U": "10001 10001 10001 10001 10001 10001 01110",
    "V": "10001 10001 10001 10001 10001 01010 00100",
    "W": "10001 10001 10001 10101 10101 10101 01010",
    "X": "10001 10001 01010 00100 01010 10001 10001",
    "Y": "10001 10001 01010 00100 00100 00100 00100",
    "0": "01110 10001 10011 10101 11001 10001 01110",
    "1": "00100 01100 00100 00100 00100 00100 01110",
    "2": "01110 10001 00001 00010 00100 01000 11111",
    "3": "11110 00001 00001 01110 00001 00001 11110",
    "4": "00010 00110 01010 10010 11111 00010 00010",
    "5": "11111 10000 11110 00001 00001 10001 01110",
    "6": "00110 01000 10000 11110 10001 10001 01110",
    "7": "11111 00001 00010 00100 01000 01000 01000",
    "8": "01110 10001 10001 01110 10001 10001 01110",
    "9": "01110 10001 10001 01111 00001 00010 01100",
    ".": "00000 00000 00000 00000 00000 01100 01100",
    "x": "00000 00000 10001 01010 00100 01010 10001",
    " ": "00000 00000 00000 00000 00000 00000 00000",
}


class Sheet:
    """An opaque 8-bit RGB image with straight-alpha compositing helpers."""

    def __init__(self, w, h, rgb):
        self.w, self.h = w, h
        self.px = [list(rgb) for _ in range(w * h)]

    def put(self, x, y, rgb, alpha=255):
        if 0 <= x < self.w and 0 <= y < self.h:
            p = self.px[y * self.w + x]
            for i in range(3):
                p[i] = (rgb[i] * alpha + p[i] * (255 - alpha) + 127) // 255

    def checker(self, x0, y0, w, h, cell, c1, c2):
        for y in range(h):
            for x in range(w):
                self.put(x0 + x, y0 + y, c1 if ((x // cell) + (y // cell)) % 2 == 0 else c2)

    def blit(self, rows, w, h, x0, y0, scale):
        for y in range(h):
            for x in range(w):
                r, g, b, a = rows[y][4 * x:4 * x + 4]
                if a == 0:
                    continue
                for dy in range(scale):
                    for dx in range(scale):
                        self.put(x0 + x * scale + dx, y0 + y * scale + dy, (r, g, b), a)

    def text(self, s, x0, y0, rgb, scale=2):
        for ch in s:
            glyph = FONT.get(ch, FONT[" "]).split()
            for gy, line in enumerate(glyph):
                for gx, bit in enumerate(line):
                    if bit == "1":
                        for dy in range(scale):
                            for dx in range(scale):
                                self.put(x0 + gx * scale + dx, y0 + gy * scale + dy, rgb)
            x0 += 6 * scale

    def rows(self):
        return [bytes(v for p in self.px[y * self.w:(y + 1) * self.w] for v in (*p, 255))
                for y in range(self.h)]


def text_width(s, scale=2):
    return len(s) * 6 * scale - scale


def make_sheet(pngs, icons):
    """Every image at 4x over a checker, labelled, in the order of the table."""
    Z, PAD, LABEL = 4, 16, 22
    bg, label_rgb = (0x2B, 0x2F, 0x36), (0xE6, 0xE9, 0xEE)
    items = [(name, w, h, rows) for name, (w, h, rows) in pngs]
    items += [("ORVANTA.ICO %d" % s, s, s, rows) for s, rows in icons]
    # Row layout: the face pair, the small glyphs, the About picture, the icons.
    layout = [items[0:2], items[2:7], items[7:8], items[8:]]
    cells = []
    y = PAD
    width = 0
    for line in layout:
        x = PAD
        line_h = 0
        for name, w, h, rows in line:
            label = "%s %dx%d" % (name, w, h) if not name.startswith("ORVANTA") else name
            cw = max(w * Z + 16, text_width(label) + 8)
            ch = h * Z + 16
            cells.append((label, x, y, cw, ch, w, h, rows))
            x += cw + PAD
            line_h = max(line_h, ch + LABEL)
        width = max(width, x)
        y += line_h + PAD
    sheet = Sheet(width, y, bg)
    for label, x, y, cw, ch, w, h, rows in cells:
        sheet.text(label, x, y, label_rgb)
        sheet.checker(x, y + LABEL, cw, ch, 8, (0x80, 0x80, 0x80), (0x99, 0x99, 0x99))
        sheet.blit(rows, w, h, x + (cw - w * Z) // 2, y + LABEL + 8, Z)
    return sheet


def make_face_preview(shadow, overlay, inc, idle, tint=(0x2D, 0x6C, 0xDF)):
    """A mock face at 4x on a grey desktop: tinted SHADOW, OVERLAY, arrow, dot."""
    Z, MARGIN = 4, 12
    W, H = FACE_W + 2 * MARGIN, FACE_H + 2 * MARGIN
    # Build the layered window in premultiplied floats, as the program does.
    layer = [[0.0, 0.0, 0.0, 0.0] for _ in range(FACE_W * FACE_H)]

    def over(rows, w, h, ox, oy, rgb_override=None):
        for y in range(h):
            for x in range(w):
                r, g, b, a = rows[y][4 * x:4 * x + 4]
                if rgb_override:
                    r, g, b = rgb_override
                k = a / 255.0
                p = layer[(oy + y) * FACE_W + ox + x]
                p[0] = r * k + p[0] * (1 - k)
                p[1] = g * k + p[1] * (1 - k)
                p[2] = b * k + p[2] * (1 - k)
                p[3] = k + p[3] * (1 - k)

    over(shadow[2], FACE_W, FACE_H, 0, 0, tint)
    over(overlay[2], FACE_W, FACE_H, 0, 0)
    over(inc[2], inc[0], inc[1], 63, 23)
    over(idle[2], idle[0], idle[1], 67, 61)
    desk = (0x6E, 0x72, 0x78)
    small = Sheet(W, H, desk)
    for y in range(FACE_H):
        for x in range(FACE_W):
            r, g, b, a = layer[y * FACE_W + x]
            p = small.px[(MARGIN + y) * W + MARGIN + x]
            for i, v in enumerate((r, g, b)):
                p[i] = clamp8(v + p[i] * (1 - a))
    big = Sheet(W * Z, H * Z, desk)
    for y in range(H):
        for x in range(W):
            src = small.px[y * W + x]
            for dy in range(Z):
                row = (y * Z + dy) * W * Z
                for dx in range(Z):
                    big.px[row + x * Z + dx] = list(src)
    return big


# ---------------------------------------------------------------------------

def render_all():
    """Returns {path: bytes} for every output file."""
    out = {}
    pngs = []
    for name, draw in IMAGES:
        canvas = draw()
        rows = canvas.pixels()
        pngs.append((name, (canvas.w, canvas.h, rows)))
        out[os.path.join(PNG_DIR, name)] = png_bytes(rows, canvas.w, canvas.h)
        large = draw(scale=2)
        out[os.path.join(PNG_DIR, large_name(name))] = png_bytes(large.pixels(), large.w, large.h)
    icons = [(s, draw_icon(s).pixels()) for s in ICON_SIZES]
    out[ICO_PATH] = ico_bytes(icons)
    sheet = make_sheet(pngs, icons)
    out[os.path.join(DOCS_DIR, "artwork.png")] = png_bytes(sheet.rows(), sheet.w, sheet.h)
    by_name = dict(pngs)
    face = make_face_preview(by_name["SHADOW.PNG"], by_name["OVERLAY.PNG"],
                             by_name["INC.PNG"], by_name["IDLE.PNG"])
    out[os.path.join(DOCS_DIR, "face-preview.png")] = png_bytes(face.rows(), face.w, face.h)
    return out


def check_ico(path):
    with open(path, "rb") as f:
        data = f.read()
    reserved, kind, count = struct.unpack("<HHH", data[:6])
    if (reserved, kind, count) != (0, 1, len(ICON_SIZES)):
        raise ValueError("bad icon directory")
    for i, want in enumerate(ICON_SIZES):
        w, h, _, _, planes, bpp, size, offset = struct.unpack(
            "<BBBBHHII", data[6 + 16 * i:22 + 16 * i])
        if (w, h, planes, bpp) != (want, want, 1, 32):
            raise ValueError("entry %d is %dx%d %d bpp" % (i, w, h, bpp))
        if data[offset:offset + 8] == b"\x89PNG\r\n\x1a\n":
            raise ValueError("entry %d is PNG-compressed" % i)
        hdr = struct.unpack("<IiiHHI", data[offset:offset + 20])
        mask_stride = ((want + 31) // 32) * 4
        if hdr != (40, want, want * 2, 1, 32, 0) or \
                size != 40 + want * want * 4 + mask_stride * want:
            raise ValueError("entry %d has a bad bitmap header" % i)


def check(strict):
    problems = 0
    for name, (w, h) in EXPECTED_SIZES.items():
        path = os.path.join(PNG_DIR, name)
        try:
            pw, ph, _ = read_png(path)
            if (pw, ph) != (w, h):
                raise ValueError("is %dx%d, want %dx%d" % (pw, ph, w, h))
            print("ok   %-15s %3d x %-3d 8-bit RGBA" % (name, w, h))
        except (OSError, ValueError) as e:
            print("FAIL %-15s %s" % (name, e))
            problems += 1
    try:
        check_ico(ICO_PATH)
        print("ok   Orvanta.ico     %s, 32-bit BMP entries" % " + ".join(map(str, ICON_SIZES)))
    except (OSError, ValueError) as e:
        print("FAIL Orvanta.ico  %s" % e)
        problems += 1
    if strict:
        # Regenerate in memory: the committed files must be what this script draws.
        for path, data in sorted(render_all().items()):
            try:
                with open(path, "rb") as f:
                    same = f.read() == data
            except OSError:
                same = False
            if not same:
                print("FAIL %s is out of date; rerun the generator" % os.path.relpath(path, ROOT))
                problems += 1
    return problems == 0


def main():
    ap = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    ap.add_argument("--check", action="store_true",
                    help="verify sizes and formats of the files on disk")
    ap.add_argument("--strict", action="store_true",
                    help="with --check, also verify the files are up to date")
    args = ap.parse_args()
    if args.check:
        return 0 if check(args.strict) else 1
    for path, data in sorted(render_all().items()):
        os.makedirs(os.path.dirname(path), exist_ok=True)
        with open(path, "wb") as f:
            f.write(data)
        print("wrote %s (%d bytes)" % (os.path.relpath(path, ROOT), len(data)))
    return 0 if check(False) else 1


if __name__ == "__main__":
    sys.exit(main())
