#!/usr/bin/env python3
"""Draws the setup's pictures and the language files' 16 x 16 icons.

Standard library only (struct + zlib): the pictures are simple shapes and gradients in the
player's accent colours, rendered with 4 x 4 supersampling and written as PNG. The output is
deterministic, so running the script again changes no byte of the committed files.

    python3 tools/make-pictures.py [--out setup] [--lng]

Writes into the output folder (96-DPI sizes; the wizard scales them with the monitor):
    header.png, header_dark.png    640 x 53   header strip of the wizard window
    wizard_light.png, wizard_dark.png
                                   188 x 435  left picture of the welcome and finish pages
    addons.png                     256 x 88   picture of the add-ons page (transparent)
With --lng, also puts each language's icon (an .ico file as hexadecimal text) into the "Icon"
key of section "File" of English.lng, German.lng and Russian.lng in that folder.
"""
import argparse
import math
import os
import struct
import sys
import zlib

ACCENT_LIGHT = (222, 140, 51)
ACCENT_DARK = (172, 103, 28)
WHITE = (255, 255, 255)
SS = 4  # supersampling factor per axis


# --------------------------------------------------------------------------------------------
# Canvas

class Canvas:
    """RGBA picture with float channels 0..255 and straight (not premultiplied) alpha."""

    def __init__(self, width, height, fill=(0, 0, 0, 0)):
        self.width = width
        self.height = height
        self.pixels = [list(fill) for _ in range(width * height)]

    def blend(self, x, y, color, alpha):
        """Source-over blend of an RGB colour with coverage alpha 0..1."""
        if alpha <= 0 or not (0 <= x < self.width and 0 <= y < self.height):
            return
        p = self.pixels[y * self.width + x]
        a_dst = p[3] / 255.0
        a_out = alpha + a_dst * (1 - alpha)
        if a_out <= 0:
            return
        for i in range(3):
            p[i] = (color[i] * alpha + p[i] * a_dst * (1 - alpha)) / a_out
        p[3] = a_out * 255.0

    def gradient(self, top_left, bottom_right, horizontal=False, x0=0, y0=0, x1=None, y1=None):
        x1 = self.width if x1 is None else x1
        y1 = self.height if y1 is None else y1
        for y in range(y0, y1):
            for x in range(x0, x1):
                t = (x - x0) / max(1, x1 - x0 - 1) if horizontal else (y - y0) / max(1, y1 - y0 - 1)
                c = mix(top_left, bottom_right, t)
                self.blend(x, y, c, 1.0)

    def shape(self, inside, color, opacity=1.0, bounds=None):
        """Fills the points for which inside(x, y) holds, antialiased by supersampling."""
        bx0, by0, bx1, by1 = bounds if bounds else (0, 0, self.width, self.height)
        bx0, by0 = max(0, int(bx0)), max(0, int(by0))
        bx1, by1 = min(self.width, int(math.ceil(bx1))), min(self.height, int(math.ceil(by1)))
        step = 1.0 / SS
        for y in range(by0, by1):
            for x in range(bx0, bx1):
                hits = 0
                for sy in range(SS):
                    py = y + (sy + 0.5) * step
                    for sx in range(SS):
                        if inside(x + (sx + 0.5) * step, py):
                            hits += 1
                if hits:
                    self.blend(x, y, color, opacity * hits / (SS * SS))

    def png(self):
        raw = bytearray()
        for y in range(self.height):
            raw.append(0)  # filter: none
            for x in range(self.width):
                p = self.pixels[y * self.width + x]
                raw.extend(clamp(v) for v in p)
        return png_bytes(self.width, self.height, bytes(raw))


def clamp(v):
    return max(0, min(255, int(round(v))))


def mix(a, b, t):
    return tuple(a[i] + (b[i] - a[i]) * t for i in range(3))


def png_bytes(width, height, raw_rgba_rows):
    def chunk(kind, data):
        body = kind + data
        return struct.pack(">I", len(data)) + body + struct.pack(">I", zlib.crc32(body) & 0xFFFFFFFF)

    header = struct.pack(">IIBBBBB", width, height, 8, 6, 0, 0, 0)  # 8-bit RGBA
    return (b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", header) +
            chunk(b"IDAT", zlib.compress(raw_rgba_rows, 9)) + chunk(b"IEND", b""))


# --------------------------------------------------------------------------------------------
# Shapes (predicates on a point)

def circle(cx, cy, r):
    return lambda x, y: (x - cx) ** 2 + (y - cy) ** 2 <= r * r


def ring(cx, cy, r_in, r_out):
    return lambda x, y: r_in * r_in <= (x - cx) ** 2 + (y - cy) ** 2 <= r_out * r_out


def rounded_rect(x0, y0, x1, y1, r):
    def inside(x, y):
        if not (x0 <= x <= x1 and y0 <= y <= y1):
            return False
        cx = min(max(x, x0 + r), x1 - r)
        cy = min(max(y, y0 + r), y1 - r)
        return (x - cx) ** 2 + (y - cy) ** 2 <= r * r
    return inside


def polygon(points):
    def inside(x, y):
        result = False
        j = len(points) - 1
        for i in range(len(points)):
            xi, yi = points[i]
            xj, yj = points[j]
            if (yi > y) != (yj > y) and x < (xj - xi) * (y - yi) / (yj - yi) + xi:
                result = not result
            j = i
        return result
    return inside


def play_triangle(cx, cy, size):
    """A play symbol centred optically in a circle around (cx, cy)."""
    return polygon([(cx - size * 0.42, cy - size * 0.6), (cx - size * 0.42, cy + size * 0.6),
                    (cx + size * 0.62, cy)])


def bbox(cx, cy, r):
    return (cx - r - 1, cy - r - 1, cx + r + 2, cy + r + 2)


# Heights of the equalizer bars, as fractions; fixed so the pictures never change.
EQUALIZER = [0.35, 0.6, 0.85, 0.55, 1.0, 0.7, 0.45, 0.8, 0.5, 0.3, 0.65, 0.4]


def equalizer(canvas, x0, bottom, bar, gap, max_height, color, opacity, count=None):
    for i, h in enumerate(EQUALIZER[:count] if count else EQUALIZER):
        x = x0 + i * (bar + gap)
        top = bottom - max_height * h
        canvas.shape(rounded_rect(x, top, x + bar, bottom, bar / 2.0), color, opacity,
                     (x - 1, top - 1, x + bar + 2, bottom + 2))


# --------------------------------------------------------------------------------------------
# Pictures

def header(dark):
    """640 x 53. The title and description are drawn by the wizard from x = 144 on, in black
    (light) or white (dark), so that part stays calm; the logo sits left of it."""
    c = Canvas(640, 53)
    if dark:
        c.gradient((38, 38, 38), (50, 44, 38), horizontal=True)
        accent, logo_mark = ACCENT_DARK, (240, 240, 240)
    else:
        c.gradient((255, 255, 255), (253, 242, 229), horizontal=True)
        accent, logo_mark = ACCENT_LIGHT, WHITE
    # Logo: the play button with two sound waves.
    cx, cy, r = 44, 26.5, 17
    c.shape(circle(cx, cy, r), accent, 1.0, bbox(cx, cy, r))
    c.shape(play_triangle(cx + 1, cy, 13), logo_mark, 1.0, bbox(cx, cy, r))
    for i, rr in enumerate((23, 29)):
        c.shape(lambda x, y, rr=rr: ring(cx, cy, rr - 1.4, rr + 1.4)(x, y) and x > cx + 6 and
                abs(y - cy) < (x - cx) * 1.1, accent, 0.75 - 0.3 * i, bbox(cx, cy, rr + 2))
    # Faint equalizer behind the right end of the text box.
    equalizer(c, 452, 46, 8, 7, 34, accent, 0.16 if not dark else 0.28)
    return c


def wizard(dark):
    """188 x 435, stretched to the left of the welcome and finish pages."""
    c = Canvas(188, 435)
    if dark:
        c.gradient((92, 56, 20), (34, 32, 30))
        mark, waves = (240, 240, 240), (222, 140, 51)
    else:
        c.gradient((238, 164, 80), (190, 102, 28))
        mark, waves = WHITE, WHITE
    cx, cy = 94, 168
    # Sound waves spreading from the play button, fading outwards.
    for i, rr in enumerate((52, 68, 84, 100)):
        c.shape(ring(cx, cy, rr - 2.2, rr + 2.2), waves, 0.42 - i * 0.09, bbox(cx, cy, rr + 3))
    c.shape(circle(cx, cy, 36), mark, 1.0, bbox(cx, cy, 36))
    accent = ACCENT_DARK if dark else ACCENT_LIGHT
    c.shape(play_triangle(cx + 2, cy, 27), accent, 1.0, bbox(cx, cy, 36))
    # Equalizer along the bottom.
    equalizer(c, 16, 405, 9, 5, 70, mark, 0.35, count=11)
    return c


def addons():
    """256 x 88, transparent: three tiles for viewer, file types and shortcuts."""
    c = Canvas(256, 88)
    tiles = [(8, 8), (92, 8), (176, 8)]
    for i, (x, y) in enumerate(tiles):
        top = mix(ACCENT_LIGHT, (245, 190, 120), 0.35)
        bottom = ACCENT_DARK
        for row in range(y, y + 72):
            t = (row - y) / 71.0
            tile = rounded_rect(x, y, x + 72, y + 72, 12)
            c.shape(lambda px, py, row=row, tile=tile: row <= py < row + 1 and tile(px, py),
                    mix(top, bottom, t), 1.0, (x - 1, row, x + 74, row + 1))
    # Viewer: a framed picture with a hill and a sun.
    x, y = tiles[0]
    frame = rounded_rect(x + 14, y + 18, x + 58, y + 54, 4)
    hole = rounded_rect(x + 18, y + 22, x + 54, y + 50, 2)
    c.shape(lambda px, py: frame(px, py) and not hole(px, py), WHITE, 1.0, (x, y, x + 72, y + 72))
    c.shape(polygon([(x + 19, y + 50), (x + 33, y + 32), (x + 43, y + 44), (x + 47, y + 39), (x + 54, y + 50)]),
            WHITE, 1.0, (x, y, x + 72, y + 72))
    c.shape(circle(x + 46, y + 29, 3.5), WHITE, 1.0, (x, y, x + 72, y + 72))
    # File types: a document with a music note.
    x, y = tiles[1]
    c.shape(polygon([(x + 22, y + 14), (x + 42, y + 14), (x + 52, y + 24), (x + 52, y + 58), (x + 22, y + 58)]),
            WHITE, 1.0, (x, y, x + 72, y + 72))
    c.shape(circle(x + 33, y + 47, 4.5), ACCENT_DARK, 1.0, (x, y, x + 72, y + 72))
    c.shape(rounded_rect(x + 36, y + 28, x + 38.5, y + 47, 1), ACCENT_DARK, 1.0, (x, y, x + 72, y + 72))
    c.shape(polygon([(x + 36, y + 28), (x + 45, y + 31), (x + 45, y + 35), (x + 36, y + 32)]),
            ACCENT_DARK, 1.0, (x, y, x + 72, y + 72))
    # Shortcuts: an arrow leaving a box.
    x, y = tiles[2]
    box = rounded_rect(x + 16, y + 24, x + 48, y + 56, 4)
    inner = rounded_rect(x + 20, y + 28, x + 44, y + 52, 2)
    c.shape(lambda px, py: box(px, py) and not inner(px, py) and not (px > x + 30 and py < y + 42),
            WHITE, 1.0, (x, y, x + 72, y + 72))
    c.shape(polygon([(x + 29, y + 40), (x + 45, y + 24), (x + 39, y + 18), (x + 56, y + 16), (x + 54, y + 33),
                     (x + 48, y + 27), (x + 32, y + 43)]), WHITE, 1.0, (x, y, x + 72, y + 72))
    return c


# --------------------------------------------------------------------------------------------
# Language icons (16 x 16, .ico with one 32-bit bitmap)

def flag_english():
    """A simplified Union Flag, 16 x 12 in the middle of the 16 x 16 icon."""
    flag = Canvas(16, 12, (1, 33, 105, 255))
    red, white = (200, 16, 46), WHITE
    slope = 12.0 / 16.0
    on_diagonal = lambda x, y, w: abs((x - 8) * slope - (y - 6)) < w or abs((x - 8) * slope + (y - 6)) < w
    flag.shape(lambda x, y: on_diagonal(x, y, 1.8), white)
    flag.shape(lambda x, y: on_diagonal(x, y, 0.7), red)
    flag.shape(lambda x, y: abs(x - 8) < 2.6 or abs(y - 6) < 2.6, white)
    flag.shape(lambda x, y: abs(x - 8) < 1.5 or abs(y - 6) < 1.5, red)
    c = Canvas(16, 16)
    c.pixels[2 * 16:14 * 16] = flag.pixels
    return c


def flag_stripes(colors):
    """Horizontal bands; two rows stay transparent at the top and bottom, since flags are wider
    than high."""
    c = Canvas(16, 16)
    for y in range(2, 14):
        band = (y - 2) * len(colors) // 12
        for x in range(16):
            c.pixels[y * 16 + x] = list(colors[band]) + [255]
    return c


def ico_bytes(canvas):
    w, h = canvas.width, canvas.height
    pixels = bytearray()
    for y in range(h - 1, -1, -1):  # bottom-up
        for x in range(w):
            r, g, b, a = (clamp(v) for v in canvas.pixels[y * w + x])
            pixels.extend((b, g, r, a))
    mask_row = ((w + 31) // 32) * 4
    mask = bytes(mask_row * h)  # all visible; transparency comes from the alpha channel
    info = struct.pack("<IiiHHIIiiII", 40, w, h * 2, 1, 32, 0, len(pixels) + len(mask), 0, 0, 0, 0)
    image = info + bytes(pixels) + mask
    directory = struct.pack("<HHH", 0, 1, 1)
    entry = struct.pack("<BBBBHHII", w, h, 0, 0, 1, 32, len(image), 6 + 16)
    return directory + entry + image


LANGUAGE_ICONS = {
    "English.lng": flag_english,
    "German.lng": lambda: flag_stripes([(0, 0, 0), (221, 0, 0), (255, 206, 0)]),
    "Russian.lng": lambda: flag_stripes([WHITE, (0, 57, 166), (213, 43, 30)]),
}


def put_icon(path, hex_text):
    """Sets File/Icon of a language file, keeping its encoding (UTF-8 with BOM) and CR LF."""
    with open(path, "rb") as f:
        data = f.read()
    bom = b"\xef\xbb\xbf"
    text = data[len(bom):].decode("utf-8") if data.startswith(bom) else data.decode("utf-8")
    lines = text.split("\r\n")
    section = None
    done = False
    for i, line in enumerate(lines):
        if line.startswith("["):
            if section == "file" and not done:
                lines.insert(i, "Icon=" + hex_text)
                done = True
                break
            section = line[1:-1].lower()
        elif section == "file" and line.startswith("Icon="):
            lines[i] = "Icon=" + hex_text
            done = True
            break
    if not done:
        raise SystemExit("%s: no [File] section to put the icon into" % path)
    out = bom + "\r\n".join(lines).encode("utf-8")
    if out != data:
        with open(path, "wb") as f:
            f.write(out)


def main(argv):
    parser = argparse.ArgumentParser(description="Draws the setup's pictures.")
    parser.add_argument("--out", default=os.path.join(os.path.dirname(__file__), "..", "setup"))
    parser.add_argument("--lng", action="store_true", help="also put the icons into the language files")
    args = parser.parse_args(argv)
    os.makedirs(args.out, exist_ok=True)
    pictures = {
        "header.png": lambda: header(False),
        "header_dark.png": lambda: header(True),
        "wizard_light.png": lambda: wizard(False),
        "wizard_dark.png": lambda: wizard(True),
        "addons.png": addons,
    }
    for name, draw in pictures.items():
        with open(os.path.join(args.out, name), "wb") as f:
            f.write(draw().png())
        print("wrote", name)
    if args.lng:
        for name, draw in LANGUAGE_ICONS.items():
            put_icon(os.path.join(args.out, name), ico_bytes(draw()).hex().upper())
            print("icon into", name)


if __name__ == "__main__":
    main(sys.argv[1:])
