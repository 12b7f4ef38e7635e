#!/usr/bin/env python3
"""Draws the textures of the control library's two skins (light and dark).

Uses the canvas and shapes of make-pictures.py, so the controls share the flat look of the
setup's pictures: plain fills, thin borders, the player's orange accent. Every texture is drawn at
twice its 96-DPI size (the skins say "scale=2"), so it stays sharp on a 144- or 192-DPI monitor;
the frames of a texture are stacked from top to bottom. The output is deterministic.

    python3 tools/make-skin-textures.py [--out lib/ui/skins]

Writes <name>_light.png and <name>_dark.png for:
    button       24 x 24, 5 frames: normal, hot, pressed, disabled, focused (9-slice, margins 4)
    button_w11   the same with the rounder corners and bottom stroke of Windows 11
    checkbox     16 x 16, 8 frames: unchecked normal, hot, pressed, disabled, then checked ones
    radiobox     16 x 16, 8 frames, as the check box
    editbutton   16 x 16, 4 frames: normal, hot, pressed, disabled (9-slice, margins 3)
    icons        16 x 16, 5 frames: success, warning, error, critical warning, information
    progress     12 x 12, 2 frames: track, bar (9-slice, margins 3)
    scroll       8 x 8, 2 frames: track, thumb (9-slice, margins 3)
    slider       16 x 16, 1 frame (and slider_w11)
"""
import argparse
import importlib.util
import os
import sys

HERE = os.path.dirname(os.path.abspath(__file__))
_spec = importlib.util.spec_from_file_location("pictures", os.path.join(HERE, "make-pictures.py"))
pictures = importlib.util.module_from_spec(_spec)
_spec.loader.exec_module(pictures)
Canvas, rounded_rect, circle, ring, polygon = (pictures.Canvas, pictures.rounded_rect, pictures.circle,
                                               pictures.ring, pictures.polygon)

S = 2  # pixels per 96-DPI pixel
ACCENT = (222, 140, 51)
ACCENT_DEEP = (154, 99, 44)
WHITE = (255, 255, 255)

PALETTES = {
    "light": {
        "face": (250, 250, 250), "face_hot": (253, 242, 230), "face_pressed": (246, 224, 199),
        "face_disabled": (243, 243, 243), "border": (188, 188, 188), "border_disabled": (218, 218, 218),
        "box": (255, 255, 255), "box_border": (134, 134, 134), "mark": WHITE, "track": (236, 236, 236),
        "shadow": (170, 170, 170),
    },
    "dark": {
        "face": (58, 58, 58), "face_hot": (74, 64, 54), "face_pressed": (92, 72, 50),
        "face_disabled": (48, 48, 48), "border": (104, 104, 104), "border_disabled": (70, 70, 70),
        "box": (47, 47, 47), "box_border": (150, 150, 150), "mark": (30, 30, 30), "track": (60, 60, 60),
        "shadow": (40, 40, 40),
    },
}


def frames(width, height, count):
    return Canvas(width * S, height * S * count)


def framed_box(c, index, width, height, radius, face, border, border_width=1.0, w11=False, shadow=None):
    """A filled rounded rectangle with a border, in frame `index`."""
    oy = index * height * S
    w, h, r, bw = width * S, height * S, radius * S, border_width * S
    c.shape(rounded_rect(0, oy, w, oy + h, r), border, bounds=(0, oy, w, oy + h))
    if w11 and shadow:
        # Windows 11 buttons carry a slightly darker stroke along the bottom edge.
        c.shape(rounded_rect(0, oy + h - r * 2, w, oy + h, r), shadow, bounds=(0, oy, w, oy + h))
    c.shape(rounded_rect(bw, oy + bw, w - bw, oy + h - bw, max(0.0, r - bw)), face, bounds=(0, oy, w, oy + h))


def button(p, w11=False):
    c = frames(24, 24, 5)
    radius = 4 if w11 else 3
    looks = [(p["face"], p["border"], 1), (p["face_hot"], ACCENT, 1), (p["face_pressed"], ACCENT_DEEP, 1),
             (p["face_disabled"], p["border_disabled"], 1), (p["face"], ACCENT, 2)]
    for i, (face, border, width) in enumerate(looks):
        framed_box(c, i, 24, 24, radius, face, border, width, w11, p["shadow"] if i in (0, 4) else None)
    return c


def check_mark(c, oy, color):
    pts = [(3.4, 8.2), (6.6, 11.4), (12.8, 4.6), (11.6, 3.5), (6.6, 9.0), (4.6, 7.0)]
    c.shape(polygon([(x * S, oy + y * S) for x, y in pts]), color, bounds=(0, oy, 16 * S, oy + 16 * S))


def checkbox(p):
    c = frames(16, 16, 8)
    for checked in (0, 1):
        for state in range(4):
            i = checked * 4 + state
            oy = i * 16 * S
            disabled = state == 3
            if checked:
                border = p["border_disabled"] if disabled else (ACCENT_DEEP if state == 2 else ACCENT)
                face = p["border_disabled"] if disabled else (ACCENT_DEEP if state == 2 else ACCENT)
            else:
                border = p["border_disabled"] if disabled else (ACCENT if state in (1, 2) else p["box_border"])
                face = p["face_pressed"] if state == 2 else (p["face_hot"] if state == 1 else p["box"])
            c.shape(rounded_rect(1 * S, oy + 1 * S, 15 * S, oy + 15 * S, 2.5 * S), border,
                    bounds=(0, oy, 16 * S, oy + 16 * S))
            c.shape(rounded_rect(2 * S, oy + 2 * S, 14 * S, oy + 14 * S, 1.5 * S), face,
                    bounds=(0, oy, 16 * S, oy + 16 * S))
            if checked:
                check_mark(c, oy, p["box"] if disabled else WHITE)
    return c


def radiobox(p):
    c = frames(16, 16, 8)
    for checked in (0, 1):
        for state in range(4):
            i = checked * 4 + state
            oy = i * 16 * S
            cx, cy = 8 * S, oy + 8 * S
            disabled = state == 3
            border = p["border_disabled"] if disabled else (
                ACCENT if (checked or state in (1, 2)) else p["box_border"])
            face = p["face_pressed"] if state == 2 else (p["face_hot"] if state == 1 else p["box"])
            box = (0, oy, 16 * S, oy + 16 * S)
            c.shape(circle(cx, cy, 7 * S), border, bounds=box)
            c.shape(circle(cx, cy, 6 * S), face, bounds=box)
            if checked:
                c.shape(circle(cx, cy, 3.5 * S), p["border_disabled"] if disabled else ACCENT, bounds=box)
    return c


def editbutton(p):
    c = frames(16, 16, 4)
    looks = [(p["face"], p["border"]), (p["face_hot"], ACCENT), (p["face_pressed"], ACCENT_DEEP),
             (p["face_disabled"], p["border_disabled"])]
    for i, (face, border) in enumerate(looks):
        framed_box(c, i, 16, 16, 2, face, border)
    return c


def exclamation(c, oy, cx, color, top=5.0, bottom=10.0, dot=12.2):
    c.shape(rounded_rect(cx - 0.9 * S, oy + top * S, cx + 0.9 * S, oy + bottom * S, 0.8 * S), color,
            bounds=(0, oy, 16 * S, oy + 16 * S))
    c.shape(circle(cx, oy + dot * S, 1.05 * S), color, bounds=(0, oy, 16 * S, oy + 16 * S))


def icons(p):
    c = frames(16, 16, 5)
    green, amber, red, blue = (46, 160, 67), (230, 160, 20), (210, 48, 40), (40, 120, 200)
    cx = 8 * S
    box = lambda oy: (0, oy, 16 * S, oy + 16 * S)
    # success: a green disc with a check mark
    oy = 0
    c.shape(circle(cx, oy + 8 * S, 7.5 * S), green, bounds=box(oy))
    check_mark(c, oy, WHITE)
    # warning: an amber triangle with an exclamation mark
    oy = 16 * S
    tri = [(8 * S, oy + 0.8 * S), (15.4 * S, oy + 14.8 * S), (0.6 * S, oy + 14.8 * S)]
    c.shape(polygon(tri), amber, bounds=box(oy))
    exclamation(c, oy, cx, (40, 30, 10), top=5.0, bottom=10.2, dot=12.6)
    # error: a red disc with a cross
    oy = 32 * S
    c.shape(circle(cx, oy + 8 * S, 7.5 * S), red, bounds=box(oy))
    bar = lambda x, y: abs((x - cx) - (y - oy - 8 * S)) < 1.3 * S and abs(x - cx) < 3.8 * S
    bar2 = lambda x, y: abs((x - cx) + (y - oy - 8 * S)) < 1.3 * S and abs(x - cx) < 3.8 * S
    c.shape(lambda x, y: bar(x, y) or bar2(x, y), WHITE, bounds=box(oy))
    # critical warning: a red triangle with a white exclamation mark
    oy = 48 * S
    tri = [(8 * S, oy + 0.8 * S), (15.4 * S, oy + 14.8 * S), (0.6 * S, oy + 14.8 * S)]
    c.shape(polygon(tri), red, bounds=box(oy))
    exclamation(c, oy, cx, WHITE, top=5.0, bottom=10.2, dot=12.6)
    # information: a blue disc with an "i"
    oy = 64 * S
    c.shape(circle(cx, oy + 8 * S, 7.5 * S), blue, bounds=box(oy))
    exclamation(c, oy, cx, WHITE, top=6.6, bottom=12.2, dot=4.2)
    return c


def progress(p):
    c = frames(12, 12, 2)
    framed_box(c, 0, 12, 12, 3, p["track"], p["border"])
    framed_box(c, 1, 12, 12, 3, ACCENT, ACCENT_DEEP)
    return c


def scroll(p):
    c = frames(8, 8, 2)
    framed_box(c, 0, 8, 8, 3, p["track"], p["track"])
    framed_box(c, 1, 8, 8, 3, p["border"], p["border"])
    return c


def slider(p, w11=False):
    c = frames(16, 16, 1)
    box = (0, 0, 16 * S, 16 * S)
    c.shape(circle(8 * S, 8 * S, 7 * S), p["border"], bounds=box)
    c.shape(circle(8 * S, 8 * S, 6 * S), p["box"], bounds=box)
    c.shape(circle(8 * S, 8 * S, (3 if w11 else 4) * S), ACCENT, bounds=box)
    return c


TEXTURES = {
    "button": button,
    "button_w11": lambda p: button(p, True),
    "checkbox": checkbox,
    "radiobox": radiobox,
    "editbutton": editbutton,
    "icons": icons,
    "progress": progress,
    "scroll": scroll,
    "slider": slider,
    "slider_w11": lambda p: slider(p, True),
}


def main(argv):
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--out", default=os.path.join(HERE, "..", "lib", "ui", "skins"))
    args = parser.parse_args(argv)
    os.makedirs(args.out, exist_ok=True)
    for name, draw in TEXTURES.items():
        for mode, palette in PALETTES.items():
            path = os.path.join(args.out, f"{name}_{mode}.png")
            with open(path, "wb") as f:
                f.write(draw(palette).png())
            print(path)
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
