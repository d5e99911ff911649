#!/usr/bin/env python3
"""Draws the program's logo (logo.bmp, 166 x 37, 24-bit) and icon (main.ico, one 32 x 32
16-colour image) and writes them beside app.rc.

Standard library only. The output is deterministic: running the script again gives the same
bytes, so the committed files can be checked against it.

    python3 resources/art/make_art.py [output-dir]
"""

import math
import os
import struct
import sys

# ---------------------------------------------------------------------------------------
# Pixel fonts: '#' is ink.

BIG_GLYPHS = {  # 6 x 7 with two-pixel strokes, drawn at 3x
    "Z": ["######",
          "######",
          "   ## ",
          "  ##  ",
          " ##   ",
          "######",
          "######"],
    "E": ["######",
          "######",
          "##    ",
          "##### ",
          "##    ",
          "######",
          "######"],
    "L": ["##    ",
          "##    ",
          "##    ",
          "##    ",
          "##    ",
          "######",
          "######"],
    "T": ["######",
          "######",
          "  ##  ",
          "  ##  ",
          "  ##  ",
          "  ##  ",
          "  ##  "],
}

SMALL_GLYPHS = {  # 3 x 5, a few letters wider
    "A": ["###", "# #", "###", "# #", "# #"],
    "D": ["## ", "# #", "# #", "# #", "## "],
    "E": ["###", "#  ", "## ", "#  ", "###"],
    "F": ["###", "#  ", "## ", "#  ", "#  "],
    "I": ["###", " # ", " # ", " # ", "###"],
    "M": ["#   #", "## ##", "# # #", "#   #", "#   #"],
    "P": ["## ", "# #", "## ", "#  ", "#  "],
    "R": ["## ", "# #", "## ", "# #", "# #"],
    "T": ["###", " # ", " # ", " # ", " # "],
    "U": ["# #", "# #", "# #", "# #", "###"],
    "W": ["#   #", "#   #", "# # #", "## ##", "#   #"],
    "V": ["# #", "# #", "# #", "# #", " # "],
    "0": ["###", "# #", "# #", "# #", "###"],
    "2": ["## ", "  #", " # ", "#  ", "###"],
    ".": ["   ", "   ", "   ", "   ", " # "],
    " ": ["   ", "   ", "   ", "   ", "   "],
}


def lerp(a, b, t):
    return a + (b - a) * t


def mix(c1, c2, t):
    return tuple(lerp(x, y, t) for x, y in zip(c1, c2))


class Canvas:
    """RGB floats, origin top left."""

    def __init__(self, width, height, fill=(0, 0, 0)):
        self.width = width
        self.height = height
        self.px = [[tuple(fill) for _ in range(width)] for _ in range(height)]

    def blend(self, x, y, colour, alpha=1.0):
        if 0 <= x < self.width and 0 <= y < self.height and alpha > 0:
            self.px[y][x] = mix(self.px[y][x], colour, min(alpha, 1.0))

    def rect(self, x, y, w, h, colour, alpha=1.0):
        for yy in range(y, y + h):
            for xx in range(x, x + w):
                self.blend(xx, yy, colour, alpha)

    def text(self, glyphs, text, x, y, scale, colour, spacing, alpha=1.0):
        for ch in text:
            rows = glyphs[ch]
            for gy, row in enumerate(rows):
                for gx, cell in enumerate(row):
                    if cell == "#":
                        self.rect(x + gx * scale, y + gy * scale, scale, scale, colour, alpha)
            x += len(rows[0]) * scale + spacing
        return x

    def bytes_bgr_bottom_up(self):
        stride = (self.width * 3 + 3) & ~3
        out = bytearray()
        for y in reversed(range(self.height)):
            row = bytearray()
            for r, g, b in self.px[y]:
                row += bytes((clamp(b), clamp(g), clamp(r)))
            row += b"\0" * (stride - len(row))
            out += row
        return bytes(out)


def clamp(v):
    return max(0, min(255, int(round(v))))


def text_width(glyphs, text, scale, spacing):
    return sum(len(glyphs[c][0]) * scale for c in text) + spacing * (len(text) - 1)


def coverage(inside, x, y, samples=4):
    """Fraction of pixel (x, y) for which inside(px, py) holds, by supersampling."""
    hits = 0
    for sy in range(samples):
        for sx in range(samples):
            if inside(x + (sx + 0.5) / samples, y + (sy + 0.5) / samples):
                hits += 1
    return hits / (samples * samples)


# ---------------------------------------------------------------------------------------
# Logo

LOGO_W, LOGO_H = 166, 37

NAVY_TOP = (16, 42, 98)
NAVY_BOTTOM = (4, 14, 44)
ACCENT = (255, 150, 30)
SILVER = (214, 222, 236)
PALE_BLUE = (150, 185, 235)


def draw_disc(c, cx, cy, r_out, r_hole):
    def ring(px, py):
        d = math.hypot(px - cx, py - cy)
        return r_hole <= d <= r_out

    for y in range(int(cy - r_out) - 1, int(cy + r_out) + 2):
        for x in range(int(cx - r_out) - 1, int(cx + r_out) + 2):
            cov = coverage(ring, x, y)
            if cov == 0:
                continue
            px, py = x + 0.5, y + 0.5
            d = math.hypot(px - cx, py - cy)
            angle = math.atan2(py - cy, px - cx)
            # Silver with a soft sheen that runs across the disc, and a darker data band.
            sheen = 0.5 + 0.5 * math.cos(2 * (angle + 0.7))
            colour = mix((120, 138, 170), SILVER, 0.35 + 0.65 * sheen)
            if r_hole + 2.2 < d < r_hole + 3.4:
                colour = mix(colour, (90, 105, 140), 0.6)  # clamping ring
            if d > r_out - 1.2:
                colour = mix(colour, (235, 240, 250), 0.5)  # rim
            c.blend(x, y, colour, cov)


def make_logo():
    c = Canvas(LOGO_W, LOGO_H)
    for y in range(LOGO_H):
        for x in range(LOGO_W):
            t = y / (LOGO_H - 1)
            base = mix(NAVY_TOP, NAVY_BOTTOM, t)
            # A little lighter towards the left where the disc sits.
            glow = max(0.0, 1.0 - math.hypot(x - 18, y - 18) / 60.0)
            c.px[y][x] = mix(base, (40, 80, 160), 0.45 * glow * glow)

    draw_disc(c, 19.0, 18.5, 14.0, 4.0)

    # "ZELT": 5 x 7 glyphs at 3x, with a one-pixel shadow.
    text_x, text_y = 42, 4
    c.text(BIG_GLYPHS, "ZELT", text_x + 1, text_y + 1, 3, (0, 0, 16), 4, alpha=0.7)
    end_x = c.text(BIG_GLYPHS, "ZELT", text_x, text_y, 3, (255, 255, 255), 4)

    # Accent line under the name, fading out to the right.
    line_y = 28
    for x in range(text_x, LOGO_W - 6):
        t = (x - text_x) / (LOGO_W - 6 - text_x)
        c.blend(x, line_y, ACCENT, 1.0 - 0.85 * t)

    # Subtitle beneath the line, and the version on the right of the name.
    c.text(SMALL_GLYPHS, "FIRMWARE UPDATER", text_x, 31, 1, PALE_BLUE, 1)
    version = "V2.00"
    vx = LOGO_W - 6 - text_width(SMALL_GLYPHS, version, 1, 1)
    c.text(SMALL_GLYPHS, version, vx, 20, 1, SILVER, 1)
    assert end_x < vx, "name and version overlap"
    return c


def bmp_file(canvas):
    pixels = canvas.bytes_bgr_bottom_up()
    info = struct.pack("<IiiHHIIiiII", 40, canvas.width, canvas.height, 1, 24, 0,
                       len(pixels), 2835, 2835, 0, 0)
    offset = 14 + len(info)
    header = struct.pack("<2sIHHI", b"BM", offset + len(pixels), 0, 0, offset)
    return header + info + pixels


# ---------------------------------------------------------------------------------------
# Icon: the 16 standard colours, one 32 x 32 image with its transparency mask.

PALETTE = [
    (0, 0, 0), (128, 0, 0), (0, 128, 0), (128, 128, 0),
    (0, 0, 128), (128, 0, 128), (0, 128, 128), (192, 192, 192),
    (128, 128, 128), (255, 0, 0), (0, 255, 0), (255, 255, 0),
    (0, 0, 255), (255, 0, 255), (0, 255, 255), (255, 255, 255),
]
BLACK, DARK_RED, DARK_GREEN, OLIVE, NAVY, PURPLE, TEAL, LIGHT_GREY = range(8)
GREY, RED, GREEN, YELLOW, BLUE, MAGENTA, CYAN, WHITE = range(8, 16)

ICON_SIZE = 32


def make_icon_pixels():
    """Returns rows of palette indices (None = transparent), top row first."""
    n = ICON_SIZE
    img = [[None] * n for _ in range(n)]
    cx = cy = 14.5
    r_out, r_hole = 13.6, 3.2
    for y in range(n):
        for x in range(n):
            d = math.hypot(x - cx, y - cy)
            if d > r_out:
                continue
            if d < r_hole:
                continue  # the hole shows through
            angle = math.atan2(y - cy, x - cx)
            if d > r_out - 1.0 or d < r_hole + 1.0:
                img[y][x] = GREY
            elif d < r_hole + 3.0:
                img[y][x] = LIGHT_GREY
            elif d > r_hole + 4.0 and (-2.55 < angle < -1.75 or 0.6 < angle < 1.4):
                img[y][x] = WHITE  # light catching the surface
            else:
                img[y][x] = LIGHT_GREY

    # A green arrow pointing down into the disc's lower right: the update going in.
    ax = 24
    for y in range(14, 24):
        for x in range(ax - 2, ax + 2):
            img[y][x] = GREEN
    for i in range(6):
        y = 24 + i
        for x in range(ax - 6 + i, ax + 6 - i):
            img[y][x] = GREEN
    # Dark outline around the arrow so it reads on the grey disc.
    shaft = {(x, y) for y in range(n) for x in range(n) if img[y][x] == GREEN}
    for (x, y) in sorted(shaft):
        for dx, dy in ((-1, 0), (1, 0), (0, -1), (0, 1)):
            nx, ny = x + dx, y + dy
            if 0 <= nx < n and 0 <= ny < n and (nx, ny) not in shaft:
                img[ny][nx] = DARK_GREEN
    return img


def ico_file(img):
    n = ICON_SIZE
    xor = bytearray()
    mask = bytearray()
    for y in reversed(range(n)):  # bottom-up
        row = img[y]
        for x in range(0, n, 2):
            hi = row[x] if row[x] is not None else BLACK
            lo = row[x + 1] if row[x + 1] is not None else BLACK
            xor.append((hi << 4) | lo)
        bits = 0
        for x in range(n):
            bits = (bits << 1) | (1 if row[x] is None else 0)
        mask += struct.pack(">I", bits)  # 32 pixels: already a DWORD-wide row
    palette = b"".join(struct.pack("<BBBB", b, g, r, 0) for r, g, b in PALETTE)
    info = struct.pack("<IiiHHIIiiII", 40, n, 2 * n, 1, 4, 0, len(xor) + len(mask),
                       0, 0, 16, 0)
    image = info + palette + bytes(xor) + bytes(mask)
    directory = struct.pack("<HHH", 0, 1, 1)
    entry = struct.pack("<BBBBHHII", n, n, 16, 0, 1, 4, len(image), 6 + 16)
    return directory + entry + image


def main():
    out_dir = sys.argv[1] if len(sys.argv) > 1 else os.path.join(
        os.path.dirname(os.path.abspath(__file__)), "..")
    with open(os.path.join(out_dir, "logo.bmp"), "wb") as f:
        f.write(bmp_file(make_logo()))
    with open(os.path.join(out_dir, "main.ico"), "wb") as f:
        f.write(ico_file(make_icon_pixels()))


if __name__ == "__main__":
    main()
