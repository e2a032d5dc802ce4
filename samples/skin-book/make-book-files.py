#!/usr/bin/env python3
"""Makes the skin book's pictures (skin, buttons, splash) and its font.

Run from this folder with Debian's Python (/usr/bin/python3) and python3-fonttools; the
outputs are committed, so this is only needed to change them. The font, "Folianto
Lantern", is a plain pixel face drawn here from the 5 x 7 letter table below.
"""
import importlib.util
import math
import os

from fontTools.fontBuilder import FontBuilder
from fontTools.misc.timeTools import timestampFromString
from fontTools.pens.ttGlyphPen import TTGlyphPen

HERE = os.path.dirname(os.path.abspath(__file__))
_source = importlib.util.spec_from_file_location("pictures", os.path.join(HERE, "..", "sample-book", "make-pictures.py"))
pictures = importlib.util.module_from_spec(_source)
_source.loader.exec_module(pictures)
png, mix = pictures.png, pictures.mix

# 5 x 7 letters, one string per row, "#" drawn.
LETTERS = {
    "A": [".###.", "#...#", "#...#", "#####", "#...#", "#...#", "#...#"],
    "B": ["####.", "#...#", "#...#", "####.", "#...#", "#...#", "####."],
    "C": [".###.", "#...#", "#....", "#....", "#....", "#...#", ".###."],
    "D": ["####.", "#...#", "#...#", "#...#", "#...#", "#...#", "####."],
    "E": ["#####", "#....", "#....", "####.", "#....", "#....", "#####"],
    "F": ["#####", "#....", "#....", "####.", "#....", "#....", "#...."],
    "G": [".###.", "#...#", "#....", "#.###", "#...#", "#...#", ".####"],
    "H": ["#...#", "#...#", "#...#", "#####", "#...#", "#...#", "#...#"],
    "I": [".###.", "..#..", "..#..", "..#..", "..#..", "..#..", ".###."],
    "J": ["..###", "...#.", "...#.", "...#.", "...#.", "#..#.", ".##.."],
    "K": ["#...#", "#..#.", "#.#..", "##...", "#.#..", "#..#.", "#...#"],
    "L": ["#....", "#....", "#....", "#....", "#....", "#....", "#####"],
    "M": ["#...#", "##.##", "#.#.#", "#.#.#", "#...#", "#...#", "#...#"],
    "N": ["#...#", "#...#", "##..#", "#.#.#", "#..##", "#...#", "#...#"],
    "O": [".###.", "#...#", "#...#", "#...#", "#...#", "#...#", ".###."],
    "P": ["####.", "#...#", "#...#", "####.", "#....", "#....", "#...."],
    "Q": [".###.", "#...#", "#...#", "#...#", "#.#.#", "#..#.", ".##.#"],
    "R": ["####.", "#...#", "#...#", "####.", "#.#..", "#..#.", "#...#"],
    "S": [".####", "#....", "#....", ".###.", "....#", "....#", "####."],
    "T": ["#####", "..#..", "..#..", "..#..", "..#..", "..#..", "..#.."],
    "U": ["#...#", "#...#", "#...#", "#...#", "#...#", "#...#", ".###."],
    "V": ["#...#", "#...#", "#...#", "#...#", "#...#", ".#.#.", "..#.."],
    "W": ["#...#", "#...#", "#...#", "#.#.#", "#.#.#", "#.#.#", ".#.#."],
    "X": ["#...#", "#...#", ".#.#.", "..#..", ".#.#.", "#...#", "#...#"],
    "Y": ["#...#", "#...#", ".#.#.", "..#..", "..#..", "..#..", "..#.."],
    "Z": ["#####", "....#", "...#.", "..#..", ".#...", "#....", "#####"],
    "0": [".###.", "#...#", "#..##", "#.#.#", "##..#", "#...#", ".###."],
    "1": ["..#..", ".##..", "..#..", "..#..", "..#..", "..#..", ".###."],
    "2": [".###.", "#...#", "....#", "...#.", "..#..", ".#...", "#####"],
    "3": ["####.", "....#", "....#", ".###.", "....#", "....#", "####."],
    "4": ["...#.", "..##.", ".#.#.", "#..#.", "#####", "...#.", "...#."],
    "5": ["#####", "#....", "####.", "....#", "....#", "#...#", ".###."],
    "6": [".###.", "#....", "#....", "####.", "#...#", "#...#", ".###."],
    "7": ["#####", "....#", "...#.", "..#..", ".#...", ".#...", ".#..."],
    "8": [".###.", "#...#", "#...#", ".###.", "#...#", "#...#", ".###."],
    "9": [".###.", "#...#", "#...#", ".####", "....#", "....#", ".###."],
    ".": [".....", ".....", ".....", ".....", ".....", ".##..", ".##.."],
    ",": [".....", ".....", ".....", ".....", ".##..", "..#..", ".#..."],
    "'": ["..#..", "..#..", ".#...", ".....", ".....", ".....", "....."],
    "-": [".....", ".....", ".....", ".###.", ".....", ".....", "....."],
    "!": ["..#..", "..#..", "..#..", "..#..", "..#..", ".....", "..#.."],
    "?": [".###.", "#...#", "....#", "...#.", "..#..", ".....", "..#.."],
    ":": [".....", ".##..", ".##..", ".....", ".##..", ".##..", "....."],
    ";": [".....", ".##..", ".##..", ".....", ".##..", "..#..", ".#..."],
    " ": [".....", ".....", ".....", ".....", ".....", ".....", "....."],
}

PIXEL = 110  # font units per letter pixel: letters 770 high, 660 apart


def glyph_name(char):
    return "space" if char == " " else "uni%04X" % ord(char)


def draw_letter(rows):
    pen = TTGlyphPen(None)
    for row, line in enumerate(rows):
        top = (7 - row) * PIXEL
        x = 0
        while x < 5:
            if line[x] != "#":
                x += 1
                continue
            start = x
            while x < 5 and line[x] == "#":
                x += 1
            left, right = start * PIXEL, x * PIXEL
            pen.moveTo((left, top - PIXEL))
            pen.lineTo((left, top))
            pen.lineTo((right, top))
            pen.lineTo((right, top - PIXEL))
            pen.closePath()
    return pen.glyph()


def make_font(path):
    names = [".notdef"] + [glyph_name(c) for c in LETTERS]
    glyphs = {".notdef": draw_letter(["#####", "#...#", "#...#", "#...#", "#...#", "#...#", "#####"])}
    cmap = {}
    for char, rows in LETTERS.items():
        glyphs[glyph_name(char)] = draw_letter(rows)
        cmap[ord(char)] = glyph_name(char)
        if char.isalpha():
            cmap[ord(char.lower())] = glyph_name(char)  # small letters as capitals
    advance = 6 * PIXEL
    builder = FontBuilder(1000, isTTF=True)
    builder.setupGlyphOrder(names)
    builder.setupCharacterMap(cmap)
    builder.setupGlyf(glyphs)
    builder.setupHorizontalMetrics({name: (advance, 0) for name in names})
    builder.setupHorizontalHeader(ascent=800, descent=-200)
    builder.setupNameTable({
        "familyName": "Folianto Lantern",
        "styleName": "Regular",
        "uniqueFontIdentifier": "Folianto Lantern Regular 1.0",
        "fullName": "Folianto Lantern Regular",
        "psName": "FoliantoLantern-Regular",
        "version": "Version 1.0",
        "copyright": "Made for the Folianto sample book; free to use and share.",
    })
    builder.setupOS2(sTypoAscender=800, sTypoDescender=-200, usWinAscent=800, usWinDescent=200,
                     achVendID="FOLI", fsType=0)
    builder.setupPost()
    # A fixed date, so that making the font again gives the same file.
    stamp = timestampFromString("Mon Jan  1 00:00:00 2024")
    builder.updateHead(created=stamp, modified=stamp)
    builder.font.recalcTimestamp = False
    builder.save(path)


def text_mask(text, scale):
    """(width, height, covered(x, y)) of the text in the letter table at scale pixels each."""
    width = (len(text) * 6 - 1) * scale
    height = 7 * scale

    def covered(x, y):
        if not (0 <= x < width and 0 <= y < height):
            return False
        index, column = divmod(x // scale, 6)
        return column < 5 and LETTERS[text[index]][y // scale][column] == "#"

    return width, height, covered


SKIN_W, SKIN_H = 760, 600
BROWSER = (24, 76, 736, 548)  # left, top, right, bottom (right and bottom exclusive)
BUTTON_W, BUTTON_H, BUTTON_TOP = 40, 30, 558
BUTTONS = ["back", "forward", "home", "find", "print", "about", "close"]
TITLE = "THE LANTERN ALMANAC"


def inside_rounded(x, y, w, h, r):
    cx = min(max(x, r), w - 1 - r)
    cy = min(max(y, r), h - 1 - r)
    return math.hypot(x - cx, y - cy) <= r


def skin():
    title_w, title_h, title = text_mask(TITLE, 3)
    title_left, title_top = (SKIN_W - title_w) // 2, 26

    def pixel(x, y):
        # The handle: a ring above the frame, open in the middle.
        ring = math.hypot(x - SKIN_W / 2, y - 22)
        if y < 22 and 10 <= ring <= 20:
            return (150, 110, 50, 255)
        if y < 22 or not inside_rounded(x, y - 22, SKIN_W, SKIN_H - 22, 30):
            return (0, 0, 0, 0)
        if title(x - title_left, y - title_top):
            return (255, 230, 160, 255)
        wood = mix((92, 54, 30), (58, 32, 18), (y - 22) / (SKIN_H - 22))
        grain = 0.06 * math.sin(x / 7.0 + math.sin(y / 23.0) * 3)
        colour = mix(wood, (120, 80, 40), max(0.0, grain))
        left, top, right, bottom = BROWSER
        if left - 4 <= x < right + 4 and top - 4 <= y < bottom + 4:
            colour = (196, 150, 70)  # the brass rim around the pages
        return colour + (255,)

    return png(SKIN_W, SKIN_H, pixel)


def button(name):
    glyph = pictures.GLYPHS[name]

    def pixel(x, y):
        if not inside_rounded(x, y, BUTTON_W, BUTTON_H, 8):
            return (0, 0, 0, 0)
        if glyph(x - 10, y - 5):
            return (60, 34, 18, 255)
        return mix((236, 200, 120), (176, 130, 60), y / BUTTON_H) + (255,)

    return png(BUTTON_W, BUTTON_H, pixel)


def splash():
    title_w, title_h, title = text_mask(TITLE, 3)
    left, top = (480 - title_w) // 2, 272

    def pixel(x, y):
        if title(x - left, y - top):
            return (255, 236, 170, 255)
        return pictures.lantern(x // 2, y // 2)

    return png(480, 320, pixel)


def main():
    os.chdir(HERE)
    os.makedirs("skin", exist_ok=True)
    os.makedirs("fonts", exist_ok=True)
    with open("skin/skin.png", "wb") as f:
        f.write(skin())
    for name in BUTTONS:
        with open(f"skin/{name}.png", "wb") as f:
            f.write(button(name))
    with open("skin/splash.png", "wb") as f:
        f.write(splash())
    make_font("fonts/lantern.ttf")


if __name__ == "__main__":
    main()
