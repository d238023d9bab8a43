#!/usr/bin/env python3
"""Draws the picture of Tallyfold's own skin (DOR.Skin) and writes it as a
24-bit BMP: a calm slate frame with rounded top corners, flat caption buttons
and a light menu bar. Every piece sits where DOR.description.txt says.

    draw_dor_picture.py OUT.bmp

Magenta (FF00FF) is transparent: it cuts the rounded corners out of the
window and fills the unused parts of the picture."""
import struct
import sys

WIDTH, HEIGHT = 120, 162
MAGENTA = (0xFF, 0x00, 0xFF)

# Frame colours: the window's outer line, the frame face and a one-pixel
# highlight under the top of the caption.
ACTIVE = {"outline": (0x1C, 0x27, 0x34), "face": (0x2E, 0x40, 0x57), "highlight": (0x45, 0x5B, 0x77)}
INACTIVE = {"outline": (0x8E, 0x99, 0xA8), "face": (0xB9, 0xC2, 0xCE), "highlight": (0xC9, 0xD0, 0xDA)}

CAPTION_HEIGHT = 30
BORDER = 4
CORNER_RADIUS = 7
CAPTION_PIECES = [4, 8, 32, 8, 4]  # left start, top start, middle, top end, right start

BUTTON_W, BUTTON_H = 28, 20
BUTTONS_Y = 60
MENU_Y = 140
MENU_BAR_H = 22
MENU_ITEM_H = 18


class Canvas:
    def __init__(self, width, height):
        self.width, self.height = width, height
        self.rows = [[MAGENTA] * width for _ in range(height)]

    def put(self, x, y, colour):
        self.rows[y][x] = colour

    def fill(self, x0, y0, w, h, colour):
        for y in range(y0, y0 + h):
            for x in range(x0, x0 + w):
                self.rows[y][x] = colour

    def write_bmp(self, path):
        stride = (self.width * 3 + 3) // 4 * 4
        pixels = bytearray()
        for row in reversed(self.rows):
            line = bytearray()
            for r, g, b in row:
                line += bytes((b, g, r))
            pixels += line + bytes(stride - len(line))
        header = struct.pack("<2sIHHI", b"BM", 54 + len(pixels), 0, 0, 54)
        info = struct.pack("<IiiHHIIiiII", 40, self.width, self.height, 1, 24, 0, len(pixels), 3780, 3780, 0, 0)
        with open(path, "wb") as out:
            out.write(header + info + pixels)


def blend(under, over, alpha):
    return tuple(round(u + (o - u) * alpha) for u, o in zip(under, over))


def coverage(inside, x, y, samples=4):
    """The share of pixel (x, y) that inside(px, py) covers, from a grid of
    sample points; gives the glyphs smooth edges."""
    hits = 0
    for sy in range(samples):
        for sx in range(samples):
            if inside(x + (sx + 0.5) / samples, y + (sy + 0.5) / samples):
                hits += 1
    return hits / (samples * samples)


def paint(canvas, x0, y0, w, h, inside, colour, smooth=True):
    """Smooth edges blend into what is under them; over magenta they would
    leave pink fringes, so those shapes are painted hard (half coverage)."""
    for y in range(h):
        for x in range(w):
            a = coverage(inside, x, y)
            if smooth and a > 0:
                canvas.put(x0 + x, y0 + y, blend(canvas.rows[y0 + y][x0 + x], colour, a))
            elif not smooth and a >= 0.5:
                canvas.put(x0 + x, y0 + y, colour)


def in_rounded_top(x, y, w, radius, inset=0):
    """Pixel centre (x, y) inside a shape of width w whose top corners are
    rounded, shrunk by `inset` at the left, top and right."""
    cx, cy = x + 0.5, y + 0.5
    left, right, top, r = inset, w - inset, inset, radius - inset
    if cx < left or cx > right or cy < top:
        return False
    for corner_x in (left + r, right - r):
        if cy < top + r and (cx < left + r if corner_x == left + r else cx > right - r):
            if (cx - corner_x) ** 2 + (cy - (top + r)) ** 2 > r * r:
                return False
    return True


def draw_caption(canvas, y0, colours):
    """The five caption pieces side by side, one rounded shape. Corners are
    cut hard (no blending) because magenta decides the window's outline."""
    w = sum(CAPTION_PIECES)
    for y in range(CAPTION_HEIGHT):
        for x in range(w):
            if not in_rounded_top(x, y, w, CORNER_RADIUS):
                continue
            if not in_rounded_top(x, y, w, CORNER_RADIUS, inset=1):
                colour = colours["outline"]
            elif not in_rounded_top(x, y - 1, w, CORNER_RADIUS, inset=1):
                colour = colours["highlight"]
            else:
                colour = colours["face"]
            canvas.put(x, y0 + y, colour)


def draw_edges(canvas, y0, colours):
    """Sides and bottom at x 60..115: left middle and end, right middle and
    end, bottom start, middle and end. The outer line is on the window's
    outside."""
    face, line = colours["face"], colours["outline"]
    x = 60
    canvas.fill(x, y0, BORDER, CAPTION_HEIGHT, face)  # left middle
    canvas.fill(x, y0, 1, CAPTION_HEIGHT, line)
    x += BORDER
    canvas.fill(x, y0, BORDER, BORDER, face)  # left end: bottom-left corner
    canvas.fill(x, y0, 1, BORDER, line)
    canvas.fill(x, y0 + BORDER - 1, BORDER, 1, line)
    x += BORDER
    canvas.fill(x, y0, BORDER, CAPTION_HEIGHT, face)  # right middle
    canvas.fill(x + BORDER - 1, y0, 1, CAPTION_HEIGHT, line)
    x += BORDER
    canvas.fill(x, y0, BORDER, BORDER, face)  # right end: bottom-right corner
    canvas.fill(x + BORDER - 1, y0, 1, BORDER, line)
    canvas.fill(x, y0 + BORDER - 1, BORDER, 1, line)
    x += BORDER
    for width in (BORDER, 32, BORDER):  # bottom start, middle, end
        canvas.fill(x, y0, width, BORDER, face)
        canvas.fill(x, y0 + BORDER - 1, width, 1, line)
        x += width


def segment(x0, y0, x1, y1, half_width):
    def inside(px, py):
        dx, dy = x1 - x0, y1 - y0
        t = max(0.0, min(1.0, ((px - x0) * dx + (py - y0) * dy) / (dx * dx + dy * dy)))
        return (px - x0 - t * dx) ** 2 + (py - y0 - t * dy) ** 2 <= half_width ** 2
    return inside


def box_outline(left, top, right, bottom, stroke):
    def inside(px, py):
        outer = left <= px <= right and top <= py <= bottom
        inner = left + stroke < px < right - stroke and top + stroke < py < bottom - stroke
        return outer and not inner
    return inside


def box(left, top, right, bottom):
    return lambda px, py: left <= px <= right and top <= py <= bottom


def rounded_box(left, top, right, bottom, r):
    def inside(px, py):
        if not (left <= px <= right and top <= py <= bottom):
            return False
        cx = min(max(px, left + r), right - r)
        cy = min(max(py, top + r), bottom - r)
        return (px - cx) ** 2 + (py - cy) ** 2 <= r * r
    return inside


def draw_glyph(canvas, x0, y0, button, colour, background, smooth=True):
    """Glyphs are centred on (14, 10) of the 28 x 20 button."""
    if button == 0:  # minimise
        shapes = [box(9, 10, 19, 11)]
    elif button == 1:  # maximise
        shapes = [box_outline(9, 5, 19, 15, 1.0)]
    elif button == 2:  # restore: a front window over a back one
        paint(canvas, x0, y0, BUTTON_W, BUTTON_H, box_outline(11, 5, 19, 13, 1.0), colour, smooth)
        paint(canvas, x0, y0, BUTTON_W, BUTTON_H, box(9, 7, 17, 15), background, smooth)
        shapes = [box_outline(9, 7, 17, 15, 1.0)]
    else:  # close
        shapes = [segment(9.5, 5.5, 18.5, 14.5, 0.7), segment(18.5, 5.5, 9.5, 14.5, 0.7)]
    for shape in shapes:
        paint(canvas, x0, y0, BUTTON_W, BUTTON_H, shape, colour, smooth)


def draw_buttons(canvas):
    """Columns minimise, maximise, restore, close; rows normal, hot,
    pressed, inactive. The normal pieces are opaque: the hit region is the
    whole button. The inactive row serves both the inactive window (light
    caption) and a button the window lacks (dark caption), so its face is
    transparent and its glyph a dim tone that reads on both."""
    glyph = (0xE8, 0xEE, 0xF5)
    dim = (0x7C, 0x88, 0x98)
    hot, pressed = (0x45, 0x5E, 0x7E), (0x21, 0x2F, 0x41)
    close_hot, close_pressed = (0xD9, 0x3B, 0x30), (0xA8, 0x26, 0x1E)
    for button in range(4):
        x0 = button * BUTTON_W
        for state in range(4):
            y0 = BUTTONS_Y + state * BUTTON_H
            if state == 3:
                draw_glyph(canvas, x0, y0, button, dim, MAGENTA, smooth=False)
                continue
            face = ACTIVE["face"]
            canvas.fill(x0, y0, BUTTON_W, BUTTON_H, face)
            background = face
            if state in (1, 2):
                if button == 3:
                    background = close_hot if state == 1 else close_pressed
                else:
                    background = hot if state == 1 else pressed
                paint(canvas, x0, y0, BUTTON_W, BUTTON_H, rounded_box(1, 0, 27, 20, 4), background)
            colour = (0xFF, 0xFF, 0xFF) if state else glyph
            draw_glyph(canvas, x0, y0, button, colour, background)


def draw_menu(canvas):
    """Menu bar (start 2, middle 16, end 2 wide) and the hot and pressed item
    highlights (start 3, middle 8, end 3), which keep magenta corners."""
    bar, line = (0xEE, 0xF1, 0xF5), (0xD3, 0xD9, 0xE1)
    canvas.fill(0, MENU_Y, 20, MENU_BAR_H, bar)
    canvas.fill(0, MENU_Y + MENU_BAR_H - 1, 20, 1, line)
    highlights = [(24, (0xD5, 0xDF, 0xEB), (0xB4, 0xC3, 0xD6)), (42, ACTIVE["face"], ACTIVE["outline"])]
    for x0, fill, edge in highlights:
        y0 = MENU_Y + (MENU_BAR_H - MENU_ITEM_H) // 2
        for y in range(MENU_ITEM_H):
            for x in range(14):
                cx, cy = x + 0.5, y + 0.5
                if not rounded_box(0, 0, 14, MENU_ITEM_H, 3)(cx, cy):
                    continue
                border = not rounded_box(1, 1, 13, MENU_ITEM_H - 1, 2)(cx, cy)
                canvas.put(x0 + x, y0 + y, edge if border else fill)


def main():
    if len(sys.argv) != 2:
        sys.exit("usage: draw_dor_picture.py OUT.bmp")
    canvas = Canvas(WIDTH, HEIGHT)
    draw_caption(canvas, 0, ACTIVE)
    draw_caption(canvas, CAPTION_HEIGHT, INACTIVE)
    draw_edges(canvas, 0, ACTIVE)
    draw_edges(canvas, CAPTION_HEIGHT, INACTIVE)
    draw_buttons(canvas)
    draw_menu(canvas)
    canvas.write_bmp(sys.argv[1])


if __name__ == "__main__":
    main()
