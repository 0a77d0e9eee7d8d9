#!/usr/bin/env python3
"""Draws every picture Armsmith shows and writes them into pictures/ beside this script.

The written files are kept in the repository, so building never needs Python; run this
again (with Debian's python3 and python3-pil) only after changing a drawing.

The formats are deliberate: the tree and tool bar pictures are small palette bitmaps whose
silver background the image lists treat as transparent, and the icons carry their own
transparency mask. PIL writes neither 16-colour icons nor 4-bit bitmaps, so both are
written here byte by byte.

Every picture is also drawn at twice its size for screens scaled to 200 %: name@2x.png beside
a bitmap or GIF, name@2x.ico (32-bit, with alpha) beside an icon, each image exactly twice the
size of its small one. The large ones are drawn from the same shapes, smoothed, not enlarged.
The desktop's icon comes at every size launchers ask for, and as armsmith.svg.
"""
import struct
from pathlib import Path

from PIL import Image, ImageDraw, ImageFilter

OUT = Path(__file__).resolve().parent / "pictures"

BLACK, WHITE = (0, 0, 0), (255, 255, 255)
SILVER, GREY = (192, 192, 192), (128, 128, 128)
OLIVE, YELLOW, CYAN = (128, 128, 0), (255, 255, 0), (0, 255, 255)
GOLD, AMBER = (255, 204, 0), (204, 153, 0)
CLEAR = (0, 0, 0, 0)

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


class Pen:
    """Draws in a picture's own 1x pixel coordinates onto a canvas factor times larger.

    At factor 1 every call goes to PIL unchanged, so the small pictures stay exactly as they
    were. Larger, whole pixels become squares, outlines keep their share of the picture and
    lines run through the middle of the pixels they stood for."""

    def __init__(self, draw, factor):
        self.draw, self.f = draw, factor

    def box(self, x0, y0, x1, y1):
        f = self.f
        return (x0 * f, y0 * f, (x1 + 1) * f - 1, (y1 + 1) * f - 1)

    def at(self, x, y):
        return ((x + 0.5) * self.f - 0.5, (y + 0.5) * self.f - 0.5)

    def rectangle(self, xy, fill=None, outline=None):
        if self.f == 1:
            return self.draw.rectangle(xy, fill=fill, outline=outline)
        self.draw.rectangle(self.box(*xy), fill=fill, outline=outline, width=self.f)

    def rounded_rectangle(self, xy, radius, outline):
        if self.f == 1:
            return self.draw.rounded_rectangle(xy, radius=radius, outline=outline)
        self.draw.rounded_rectangle(self.box(*xy), radius=(radius + 0.5) * self.f,
                                    outline=outline, width=self.f)

    def ellipse(self, xy, fill=None, outline=None):
        if self.f == 1:
            return self.draw.ellipse(xy, fill=fill, outline=outline)
        self.draw.ellipse(self.box(*xy), fill=fill, outline=outline, width=self.f)

    def point(self, xy, fill):
        if self.f == 1:
            return self.draw.point(xy, fill=fill)
        self.draw.rectangle(self.box(*xy, *xy), fill=fill)

    def polygon(self, points, fill=None, outline=None):
        if self.f == 1:
            return self.draw.polygon(points, fill=fill, outline=outline)
        mapped = [self.at(x, y) for x, y in points]
        self.draw.polygon(mapped, fill=fill)
        if outline is not None:
            self.draw.line(mapped + mapped[:2], fill=outline, width=self.f, joint="curve")

    def line(self, xy, fill, width=0):
        if self.f == 1:
            return self.draw.line(xy, fill=fill, width=width)
        flat = list(xy) if not isinstance(xy[0], tuple) else [v for p in xy for v in p]
        points = list(zip(flat[0::2], flat[1::2]))
        # A 1x line covers its end pixels whole; reach half a pixel past each end to match.
        points[0] = reach(points[0], points[1])
        points[-1] = reach(points[-1], points[-2])
        self.draw.line([self.at(x, y) for x, y in points], fill=fill,
                       width=max(width, 1) * self.f, joint="curve")


def reach(end, towards):
    dx, dy = end[0] - towards[0], end[1] - towards[1]
    length = max(abs(dx), abs(dy)) * 2 or 1
    return (end[0] + dx / length, end[1] + dy / length)


class Canvas:
    """A picture width x height at scale. Scaled up, it is drawn SUPERSAMPLE times finer still
    on a clear background and averaged down, so slopes and curves come out smooth."""

    def __init__(self, width, height, scale, background):
        self.size = (width * scale, height * scale)
        factor = scale * SUPERSAMPLE if scale > 1 else 1
        self.image = Image.new("RGBA" if len(background) == 4 else "RGB",
                               (width * factor, height * factor), background)
        self.pen = Pen(ImageDraw.Draw(self.image), factor)

    def result(self):
        if self.image.size == self.size:
            return self.image
        return self.image.resize(self.size, Image.BOX)


def canvas(width, height, scale=1):
    """A bitmap on silver; scaled up it is clear instead, as it is kept as a PNG with alpha."""
    c = Canvas(width, height, scale, SILVER if scale == 1 else CLEAR)
    return c, c.pen


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


def write_bmp(name, image, palette, bits, scale=1):
    """A palette bitmap; the same picture drawn at twice the size goes beside it as a PNG."""
    if scale > 1:
        return image.save(OUT / name.replace(".bmp", "@2x.png"))
    indices = [nearest(palette, rgb) for rgb in image.getdata()]
    body = dib(image.width, image.height, bits, palette, indices)
    offset = 14 + 40 + 4 * len(palette)
    (OUT / name).write_bytes(struct.pack("<2sIHHI", b"BM", 14 + len(body), 0, 0, offset) + body)


def write_ico(name, images, deep=False):
    """An icon of 16 colours, whose pixels with alpha below half are transparent through the AND
    mask; deep, as the large drawings are kept, of 32-bit colour with alpha."""
    dibs = []
    for image in images:
        opaque = [a >= 128 for *_, a in image.getdata()]
        if deep:
            dibs.append(dib32(image, opaque))
            continue
        indices = [nearest(VGA16, rgba[:3]) if keep else 0
                   for rgba, keep in zip(image.getdata(), opaque)]
        dibs.append(dib(image.width, image.height, 4, VGA16, indices,
                        [0 if keep else 1 for keep in opaque]))
    data = struct.pack("<HHH", 0, 1, len(images))
    offset = 6 + 16 * len(images)
    for image, body in zip(images, dibs):
        colours, bits = (0, 32) if deep else (16, 4)
        data += struct.pack("<BBBBHHII", image.width % 256, image.height % 256, colours, 0, 1,
                            bits, len(body), offset)
        offset += len(body)
    (OUT / name).write_bytes(data + b"".join(dibs))


def dib32(image, opaque):
    width, height = image.size
    pixels = image.getdata()
    rows = b"".join(struct.pack("<BBBB", b, g, r, a) for y in reversed(range(height))
                    for r, g, b, a in (pixels[y * width + x] for x in range(width)))
    masks = rows_bottom_up([0 if keep else 1 for keep in opaque], width, height, 1)
    header = struct.pack("<IiiHHIIiiII", 40, width, height * 2, 1, 32, 0, len(rows) + len(masks),
                         3780, 3780, 0, 0)
    return header + rows + masks


def icon_canvas(size, scale=1):
    c = Canvas(size, size, scale, CLEAR)
    return c, c.pen


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


def pistol_cover(size):
    # The drawing spans y 5.3..28 of 32; one unit higher it sits in the middle of the square.
    cover = Image.new("L", (size, size), 0)
    cover.paste(coverage(pistol, size, 32), (0, -size // 32))
    return cover


def draw_pistol_32():
    cover = pistol_cover(32)
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
    # With alpha to spare, the large one lets its edges fade instead of lightening them.
    large = Image.new("RGBA", (64, 64), rgba(BLACK))
    large.putalpha(pistol_cover(64))
    large.save(OUT / "pistol_32@2x.png")


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
    # At 32 pixels the drawn pistol holds its shape; its outer two pixels take the edge grey.
    cover = pistol_cover(32)
    inner = cover.point(lambda v: 255 if v >= 128 else 0).filter(ImageFilter.MinFilter(5))
    large = Image.composite(Image.new("RGBA", (32, 32), rgba(fill)),
                            Image.new("RGBA", (32, 32), rgba(edge)), inner)
    large.putalpha(cover)
    large.save(OUT / name.replace(".gif", "@2x.png"))


def draw_paper_clip():
    def draw(size, scale=1):
        c, d = icon_canvas(size, scale)
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
        return c.result()
    write_ico("paper_clip.ico", [draw(32), draw(16)])
    write_ico("paper_clip@2x.ico", [draw(32, 2), draw(16, 2)], deep=True)


def draw_page(d, right, fold):
    outline = [(2, 0), (right - fold, 0), (right, fold), (right, 14), (2, 14)]
    d.polygon(outline, fill=WHITE, outline=BLACK)
    d.line([(right - fold, 0), (right - fold, fold), (right, fold)], fill=BLACK)


def draw_page_blank(scale):
    c, d = canvas(16, 15, scale)
    draw_page(d, 13, 4)
    write_bmp("page_blank.bmp", c.result(), PALETTE256, 8, scale)


def draw_page_magnifier(scale):
    c, d = canvas(16, 15, scale)
    draw_page(d, 12, 3)
    for y in (4, 6, 8):
        d.line((4, y, 8 if y > 4 else 7, y), fill=GREY)
    d.line((12, 11, 15, 14), fill=BLACK, width=2)
    d.ellipse((6, 5, 13, 12), fill=CYAN, outline=BLACK)
    d.point((8, 7), fill=WHITE)
    write_bmp("page_magnifier.bmp", c.result(), PALETTE256, 8, scale)


def draw_floppy(scale):
    c, d = canvas(24, 23, scale)
    d.polygon([(2, 1), (20, 1), (22, 3), (22, 21), (2, 21)], fill=OLIVE, outline=BLACK)
    d.rectangle((7, 1, 17, 8), fill=WHITE, outline=BLACK)
    d.rectangle((13, 3, 15, 7), fill=OLIVE)
    d.rectangle((5, 12, 19, 21), fill=WHITE, outline=BLACK)
    for y in (14, 16, 18):
        d.line((7, y, 17, y), fill=GREY)
    write_bmp("floppy.bmp", c.result(), PALETTE256, 8, scale)


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


def draw_folder_open(scale):
    c, d = canvas(24, 23, scale)
    d.polygon([(1, 9), (3, 7), (8, 7), (10, 9), (17, 9), (17, 12), (1, 21)],
              fill=AMBER, outline=BLACK)
    d.polygon([(1, 21), (5, 12), (22, 12), (18, 21)], fill=GOLD, outline=BLACK)
    if scale == 1:
        for x, y in art_pixels(OPEN_ARROW):
            d.point((9 + x, 1 + y), fill=BLACK)
    else:
        # With room for it, the same arrow is a smooth arc and a head.
        d.draw.arc(d.box(10, 1.5, 21, 8.5), 180, 360, fill=BLACK, width=2 * d.f)
        d.polygon([(18.5, 5), (23, 5), (20.75, 7.25)], fill=BLACK, outline=BLACK)
    write_bmp("folder_open.bmp", c.result(), PALETTE256, 8, scale)


def draw_minus_plus():
    def draw(size, plus, scale=1):
        c, d = icon_canvas(size, scale)
        k = size // 16
        lo, hi, thick_lo, thick_hi = 3 * k, 13 * k - 1, 6 * k + k // 2, 9 * k + k // 2 - 1
        if size == 16:
            thick_lo, thick_hi = 6, 8
        bars = [(lo, thick_lo, hi, thick_hi)] + ([(thick_lo, lo, thick_hi, hi)] if plus else [])
        for colour, shift in ((GREY, k), (BLACK, 0)):
            for x0, y0, x1, y1 in bars:
                d.rectangle((x0 + shift, y0 + shift, x1 + shift, y1 + shift), fill=rgba(colour))
        return c.result()
    for name, plus in (("minus", False), ("plus", True)):
        write_ico(f"{name}.ico", [draw(32, plus), draw(16, plus)])
        write_ico(f"{name}@2x.ico", [draw(32, plus, 2), draw(16, plus, 2)], deep=True)


def draw_small_folder(scale):
    c, d = canvas(13, 13, scale)
    d.polygon([(0, 2), (1, 1), (4, 1), (5, 2), (10, 2), (10, 11), (0, 11)], fill=OLIVE,
              outline=BLACK)
    for y in range(3, 11):
        for x in range(1, 10):
            d.point((x, y), fill=YELLOW if (x + y) % 2 else WHITE)
    d.polygon([(0, 11), (2, 7), (12, 7), (10, 11)], fill=OLIVE, outline=BLACK)
    write_bmp("small_folder.bmp", c.result(), VGA16, 4, scale)


def draw_small_plus(scale):
    c, d = canvas(13, 13, scale)
    d.polygon([(4, 1), (8, 1), (8, 4), (11, 4), (11, 8), (8, 8), (8, 11), (4, 11), (4, 8),
               (1, 8), (1, 4), (4, 4)], fill=WHITE, outline=BLACK)
    write_bmp("small_plus.bmp", c.result(), VGA16, 4, scale)


TICK = [(3, 16.5), (6.5, 13), (12, 18.5), (25.5, 5), (29, 8.5), (12, 25.5)]


def tick(draw, s):
    draw.polygon([(x * s, y * s) for x, y in TICK], fill=255)


# A white rim, in units of the 32-pixel grid, keeps the black tick readable on a dark panel or
# title bar; on a light one it disappears into the ground.
TICK_RIM = 1.25


def tick_with_rim(draw, s):
    points = [(x * s, y * s) for x, y in TICK]
    draw.polygon(points, fill=255)
    draw.line(points + [points[0]], fill=255, width=round(2 * TICK_RIM * s), joint="curve")


def tick_image(size):
    rim = Image.new("RGBA", (size, size), rgba(WHITE))
    rim.putalpha(coverage(tick_with_rim, size, 32))
    image = Image.new("RGBA", (size, size), rgba(BLACK))
    image.putalpha(coverage(tick, size, 32))
    return Image.alpha_composite(rim, image)


def draw_tick():
    """The program's own icon: in the window's icon file, and for the desktop at every size
    its launchers ask for, with a drawing that scales to any other."""
    write_ico("tick.ico", [tick_image(32), tick_image(16)])
    write_ico("tick@2x.ico", [tick_image(64), tick_image(32)], deep=True)
    for size in DESKTOP_ICON_SIZES:
        tick_image(size).save(OUT / f"armsmith_{size}.png")
    points = " ".join(f"{x:g},{y:g}" for x, y in TICK)
    (OUT / "armsmith.svg").write_text(
        '<svg xmlns="http://www.w3.org/2000/svg" width="32" height="32" viewBox="0 0 32 32">\n'
        f'  <polygon points="{points}" fill="#ffffff" stroke="#ffffff" '
        f'stroke-width="{2 * TICK_RIM:g}" stroke-linejoin="round"/>\n'
        f'  <polygon points="{points}" fill="#000000"/>\n</svg>\n')


DESKTOP_ICON_SIZES = (16, 24, 32, 48, 64, 128, 256)


def main():
    OUT.mkdir(exist_ok=True)
    draw_pistol_32()
    draw_pistol_16("pistol_grey_16.gif", fill=(128, 128, 128), edge=(64, 64, 64))
    draw_pistol_16("pistol_root_16.gif", fill=(168, 168, 168), edge=(120, 120, 120))
    draw_paper_clip()
    draw_minus_plus()
    draw_tick()
    for scale in (1, 2):
        draw_page_blank(scale)
        draw_page_magnifier(scale)
        draw_floppy(scale)
        draw_folder_open(scale)
        draw_small_folder(scale)
        draw_small_plus(scale)


if __name__ == "__main__":
    main()
