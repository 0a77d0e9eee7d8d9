#!/usr/bin/env python3
"""Draws every picture Armsmith shows and writes them into pictures/ beside this script.

The written files are kept in the repository, so building never needs Python; run this
again (with Debian's python3 and python3-pil) only after changing a drawing.

The formats are deliberate: the tree and tool bar pictures are small palette bitmaps whose
silver background the image lists treat as transparent, and the icons carry their own
transparency mask. PIL writes neither 16-colour icons nor 4-bit bitmaps, so both are
written here byte by byte.
"""
import struct
from pathlib import Path

from PIL import Image, ImageDraw

OUT = Path(__file__).resolve().parent / "pictures"

BLACK, WHITE = (0, 0, 0), (255, 255, 255)
SILVER, GREY = (192, 192, 192), (128, 128, 128)
OLIVE, YELLOW, CYAN = (128, 128, 0), (255, 255, 0), (0, 255, 255)
GOLD, AMBER = (255, 204, 0), (204, 153, 0)

# The 16 colours every Windows palette bitmap shares, in their usual order.
VGA16 = [BLACK, (128, 0, 0), (0, 128, 0), OLIVE, (0, 0, 128), (128, 0, 128), (0, 128, 128),
         SILVER, GREY, (255, 0, 0), (0, 255, 0), YELLOW, (0, 0, 255), (255, 0, 255),
         CYAN, WHITE]
# 256 colours: the 16 above, a 6x6x6 colour cube and a ramp of greys to fill the rest.
PALETTE256 = (VGA16 + [(r, g, b) for r in range(0, 256, 51) for g in range(0, 256, 51)
                       for b in range(0, 256, 51)]
              + [(v, v, v) for v in range(8, 248, 10)])
assert len(PALETTE256) == 256

SUPERSAMPLE = 8


def nearest(palette, rgb):
    return min(range(len(palette)),
               key=lambda i: sum((a - b) ** 2 for a, b in zip(palette[i], rgb)))


def coverage(shape, size, grid):
    """How much of each pixel a shape covers (0-255), the shape drawn on a grid x grid raster."""
    big = Image.new("L", (size * SUPERSAMPLE, size * SUPERSAMPLE), 0)
    shape(ImageDraw.Draw(big), size * SUPERSAMPLE / grid)
    return big.resize((size, size), Image.BOX)


def canvas(width, height, background=SILVER):
    image = Image.new("RGB", (width, height), background)
    return image, ImageDraw.Draw(image)


def rows_bottom_up(pixels, width, height, bits):
    """Packs palette indices into DIB rows, bottom row first, each padded to 4 bytes."""
    stride = ((width * bits + 31) // 32) * 4
    data = bytearray()
    for y in reversed(range(height)):
        row = bytearray(stride)
        for x in range(width):
            value = pixels[y * width + x]
            per_byte = 8 // bits
            shift = (per_byte - 1 - x % per_byte) * bits
            row[x // per_byte] |= value << shift
        data += row
    return bytes(data)


def dib(width, height, bits, palette, indices, mask=None):
    """BITMAPINFOHEADER, palette and pixels; an icon's DIB also carries its AND mask."""
    pixels = rows_bottom_up(indices, width, height, bits)
    masks = rows_bottom_up(mask, width, height, 1) if mask is not None else b""
    header = struct.pack("<IiiHHIIiiII", 40, width, height * (2 if mask is not None else 1), 1, bits, 0,
                         len(pixels) + len(masks), 3780, 3780, len(palette), 0)
    table = b"".join(struct.pack("<BBBB", b, g, r, 0) for r, g, b in palette)
    return header + table + pixels + masks


def write_bmp(name, image, palette, bits):
    indices = [nearest(palette, rgb) for rgb in image.getdata()]
    body = dib(image.width, image.height, bits, palette, indices)
    offset = 14 + 40 + 4 * len(palette)
    (OUT / name).write_bytes(struct.pack("<2sIHHI", b"BM", 14 + len(body), 0, 0, offset) + body)


def write_ico16(name, images):
    """A 16-colour icon; pixels with alpha below half are transparent through the AND mask."""
    dibs = []
    for image in images:
        opaque = [a >= 128 for *_, a in image.getdata()]
        indices = [nearest(VGA16, rgba[:3]) if keep else 0
                   for rgba, keep in zip(image.getdata(), opaque)]
        dibs.append(dib(image.width, image.height, 4, VGA16, indices,
                        [0 if keep else 1 for keep in opaque]))
    data = struct.pack("<HHH", 0, 1, len(images))
    offset = 6 + 16 * len(images)
    for image, body in zip(images, dibs):
        data += struct.pack("<BBBBHHII", image.width % 256, image.height % 256, 16, 0, 1, 4,
                            len(body), offset)
        offset += len(body)
    (OUT / name).write_bytes(data + b"".join(dibs))


def icon_canvas(size):
    image = Image.new("RGBA", (size, size), (0, 0, 0, 0))
    return image, ImageDraw.Draw(image)


def rgba(rgb):
    return rgb + (255,)


def art_pixels(art):
    """The (x, y) of every '#' in a picture drawn as text, for shapes placed pixel by pixel."""
    rows = art.strip("\n").split("\n")
    return [(x, y) for y, row in enumerate(rows) for x, c in enumerate(row) if c == "#"]


# The pistol, pointing right, on a 32-unit grid.
def pistol(draw, s):
    def poly(points, fill=255):
        draw.polygon([(x * s, y * s) for x, y in points], fill=fill)
    poly([(3, 7), (29.5, 7), (29.5, 12.5), (3, 12.5)])                  # slide
    poly([(25.8, 7.2), (26.2, 5.3), (27.8, 5.3), (28.2, 7.2)])          # front sight
    poly([(1.2, 7.8), (3.2, 7), (3.2, 11), (1.2, 10.5)])                # hammer
    poly([(9, 12), (24.5, 12), (24.5, 14.8), (9, 14.8)])                # frame under the barrel
    poly([(3, 12), (11.2, 12), (11.2, 14.8), (8.8, 28), (1.2, 28), (0.8, 26.8), (3, 14)])
    poly([(10.5, 14), (20.8, 14), (20.8, 18.6), (18.2, 21.8), (9.8, 21.8)])  # trigger guard
    poly([(12.2, 14.8), (18.8, 14.8), (18.8, 18), (17.2, 19.9), (11.9, 19.9)], fill=0)
    poly([(13.6, 14.8), (15.2, 14.8), (15.5, 18.2), (14.4, 18.4)])      # trigger


def draw_pistol_32():
    # The drawing spans y 5.3..28; one pixel higher it sits in the middle of the square.
    cover = Image.new("L", (32, 32), 0)
    cover.paste(coverage(pistol, 32, 32), (0, -1))
    greys = [(round(i * 255 / 127),) * 3 for i in range(128)]
    transparent = 100
    image = Image.new("P", (32, 32), transparent)
    for index, value in enumerate(cover.getdata()):
        if value < 64:
            continue
        # Partly covered edge pixels take a lighter grey, so the outline looks smooth.
        grey = round((255 - value) * 127 / 255)
        image.putpixel((index % 32, index // 32), grey if grey != transparent else grey - 1)
    image.putpalette([v for rgb in greys for v in rgb])
    image.save(OUT / "pistol_32.gif", "GIF", transparency=transparent, optimize=False)


# At 16 pixels a scaled drawing smears the guard into the grip, so the small pistol is
# placed pixel by pixel instead.
PISTOL_16 = """
.............#..
.##############.
.##############.
.##############.
..############..
..#####...#.....
..####....#.....
..####...##.....
..#######.......
.#####..........
.#####..........
.####...........
.####...........
"""


def draw_pistol_16(name, fill, edge):
    """A flat grey pistol whose outline pixels are darker, so its shape holds on any background."""
    top = (16 - PISTOL_16.strip().count("\n") - 1) // 2
    solid = {(x, y + top) for x, y in art_pixels(PISTOL_16)}
    image = Image.new("P", (16, 16), 0)
    image.putpalette([*WHITE, *fill, *edge, *BLACK])
    for x, y in solid:
        inner = all(n in solid for n in ((x - 1, y), (x + 1, y), (x, y - 1), (x, y + 1)))
        image.putpixel((x, y), 1 if inner else 2)
    image.save(OUT / name, "GIF", transparency=0, optimize=False)


def draw_paper_clip():
    def draw(size):
        image, d = icon_canvas(size)
        if size == 32:
            d.rectangle((7, 6, 26, 30), fill=rgba(WHITE), outline=rgba(BLACK))
            lines = [(17, 11, 23), (17, 14, 23), (10, 18, 23), (10, 21, 23), (10, 24, 20)]
            clip_outer, clip_inner = (9, 1, 14, 17), (11, 4, 12, 14)
        else:
            d.rectangle((4, 3, 14, 15), fill=rgba(WHITE), outline=rgba(BLACK))
            lines = [(11, 6, 12), (6, 10, 12), (6, 12, 11)]
            clip_outer, clip_inner = (6, 0, 9, 8), (7, 2, 7, 6)
        for x0, y, x1 in lines:
            d.line((x0, y, x1, y), fill=rgba(GREY))
        d.rounded_rectangle(clip_outer, radius=2, outline=rgba(BLACK))
        d.rounded_rectangle(clip_inner, radius=1, outline=rgba(BLACK))
        return image
    write_ico16("paper_clip.ico", [draw(32), draw(16)])


def draw_page(d, right, fold):
    outline = [(2, 0), (right - fold, 0), (right, fold), (right, 14), (2, 14)]
    d.polygon(outline, fill=WHITE, outline=BLACK)
    d.line([(right - fold, 0), (right - fold, fold), (right, fold)], fill=BLACK)


def draw_page_blank():
    image, d = canvas(16, 15)
    draw_page(d, 13, 4)
    write_bmp("page_blank.bmp", image, PALETTE256, 8)


def draw_page_magnifier():
    image, d = canvas(16, 15)
    draw_page(d, 12, 3)
    for y in (4, 6, 8):
        d.line((4, y, 8 if y > 4 else 7, y), fill=GREY)
    d.line((12, 11, 15, 14), fill=BLACK, width=2)
    d.ellipse((6, 5, 13, 12), fill=CYAN, outline=BLACK)
    d.point((8, 7), fill=WHITE)
    write_bmp("page_magnifier.bmp", image, PALETTE256, 8)


def draw_floppy():
    image, d = canvas(24, 23)
    d.polygon([(2, 1), (20, 1), (22, 3), (22, 21), (2, 21)], fill=OLIVE, outline=BLACK)
    d.rectangle((7, 1, 17, 8), fill=WHITE, outline=BLACK)
    d.rectangle((13, 3, 15, 7), fill=OLIVE)
    d.rectangle((5, 12, 19, 21), fill=WHITE, outline=BLACK)
    for y in (14, 16, 18):
        d.line((7, y, 17, y), fill=GREY)
    write_bmp("floppy.bmp", image, PALETTE256, 8)


# A curved arrow drawn with PIL's arc comes out ragged at this size, so it is placed by hand.
OPEN_ARROW = """
.....####......
...########....
..###....###...
.##........##..
.#.......######
..........####.
...........##..
"""


def draw_folder_open():
    image, d = canvas(24, 23)
    d.polygon([(1, 9), (3, 7), (8, 7), (10, 9), (17, 9), (17, 12), (1, 21)],
              fill=AMBER, outline=BLACK)
    d.polygon([(1, 21), (5, 12), (22, 12), (18, 21)], fill=GOLD, outline=BLACK)
    for x, y in art_pixels(OPEN_ARROW):
        d.point((9 + x, 1 + y), fill=BLACK)
    write_bmp("folder_open.bmp", image, PALETTE256, 8)


def draw_minus_plus():
    def draw(size, plus):
        image, d = icon_canvas(size)
        k = size // 16
        lo, hi, thick_lo, thick_hi = 3 * k, 13 * k - 1, 6 * k + k // 2, 9 * k + k // 2 - 1
        if size == 16:
            thick_lo, thick_hi = 6, 8
        bars = [(lo, thick_lo, hi, thick_hi)] + ([(thick_lo, lo, thick_hi, hi)] if plus else [])
        for colour, shift in ((GREY, k), (BLACK, 0)):
            for x0, y0, x1, y1 in bars:
                d.rectangle((x0 + shift, y0 + shift, x1 + shift, y1 + shift), fill=rgba(colour))
        return image
    write_ico16("minus.ico", [draw(32, False), draw(16, False)])
    write_ico16("plus.ico", [draw(32, True), draw(16, True)])


def draw_small_folder():
    image, d = canvas(13, 13)
    d.polygon([(0, 2), (1, 1), (4, 1), (5, 2), (10, 2), (10, 11), (0, 11)], fill=OLIVE,
              outline=BLACK)
    for y in range(3, 11):
        for x in range(1, 10):
            d.point((x, y), fill=YELLOW if (x + y) % 2 else WHITE)
    d.polygon([(0, 11), (2, 7), (12, 7), (10, 11)], fill=OLIVE, outline=BLACK)
    write_bmp("small_folder.bmp", image, VGA16, 4)


def draw_small_plus():
    image, d = canvas(13, 13)
    d.polygon([(4, 1), (8, 1), (8, 4), (11, 4), (11, 8), (8, 8), (8, 11), (4, 11), (4, 8),
               (1, 8), (1, 4), (4, 4)], fill=WHITE, outline=BLACK)
    write_bmp("small_plus.bmp", image, VGA16, 4)


def tick(draw, s):
    draw.polygon([(x * s, y * s) for x, y in
                  [(3, 16.5), (6.5, 13), (12, 18.5), (25.5, 5), (29, 8.5), (12, 25.5)]], fill=255)


def draw_tick():
    images = []
    for size in (32, 16):
        cover = coverage(tick, size, 32)
        black = Image.new("RGBA", (size, size), rgba(BLACK))
        black.putalpha(cover)
        black.save(OUT / f"armsmith_{size}.png")
        images.append(black)
    write_ico16("tick.ico", images)


def main():
    OUT.mkdir(exist_ok=True)
    draw_pistol_32()
    draw_pistol_16("pistol_grey_16.gif", fill=(128, 128, 128), edge=(64, 64, 64))
    draw_pistol_16("pistol_root_16.gif", fill=(168, 168, 168), edge=(120, 120, 120))
    draw_paper_clip()
    draw_page_blank()
    draw_page_magnifier()
    draw_floppy()
    draw_folder_open()
    draw_minus_plus()
    draw_small_folder()
    draw_small_plus()
    draw_tick()


if __name__ == "__main__":
    main()
