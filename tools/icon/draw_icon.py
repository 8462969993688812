#!/usr/bin/env python3
"""Draws Lumpwright's icon from the shapes in art/lumpwright-icon.json.

Writes PNG files at any size (RGBA, anti-aliased by supersampling) and the
Windows icon: one 32 x 32 image with 256 colours in an ICO file. Python's
standard library only, so any machine with python3 can regenerate the icon,
and the same input always gives the same bytes.

    python3 tools/icon/draw_icon.py --ico src/ui/win32/res/Lumpwright.ico
    python3 tools/icon/draw_icon.py --png 32 lw32.png --png 256 lw256.png
    python3 tools/icon/draw_icon.py --png-dir out/icons
"""

import argparse
import json
import math
import os
import struct
import sys
import zlib

kRepoRoot = os.path.normpath(os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", ".."))
kDefaultSource = os.path.join(kRepoRoot, "art", "lumpwright-icon.json")

# The sizes a Linux desktop looks for in the hicolor icon theme.
kLinuxSizes = (16, 22, 24, 32, 48, 64, 128, 256)

# The Windows icon resource holds one image of this size.
kIcoSize = 32
kIcoPaletteSize = 256
# Index 0 of the palette stands under the transparent pixels, so 255 are left for colours.
kIcoMaxColours = kIcoPaletteSize - 1
kBitmapInfoHeaderSize = 40
kIconDirSize = 6
kIconDirEntrySize = 16

# Enough subsamples that even a 16 px edge gets smooth, few enough that a 256 px render stays quick.
kMaxSupersampledSide = 2048
kMinSubsamples = 4
# Quadratic curves are drawn as this many straight pieces.
kCurvePieces = 16


class IconError(Exception):
    pass


# ---------------------------------------------------------------- the source picture


def ParseColour(text):
    """'#rrggbb' or '#rrggbbaa' to an (r, g, b, a) tuple of 0..255."""
    if not isinstance(text, str) or not text.startswith("#") or len(text) not in (7, 9):
        raise IconError("bad colour %r: write #rrggbb or #rrggbbaa" % (text,))
    try:
        values = [int(text[i:i + 2], 16) for i in range(1, len(text), 2)]
    except ValueError:
        raise IconError("bad colour %r" % (text,))
    if len(values) == 3:
        values.append(255)
    return tuple(values)


def FlattenPath(path, place):
    """Turns a path of [x, y] points and {"q": [cx, cy, x, y]} quadratic curves into points.

    `place` moves each given point onto the render's pixel grid before the curves are cut
    into pieces, so a curve stays smooth however its ends were moved.
    """
    points = []
    for step in path:
        if isinstance(step, dict):
            if not points:
                raise IconError("a path must start with a point, not a curve")
            cx, cy = place(step["q"][0], step["q"][1])
            x, y = place(step["q"][2], step["q"][3])
            x0, y0 = points[-1]
            for i in range(1, kCurvePieces + 1):
                t = i / kCurvePieces
                u = 1.0 - t
                points.append((u * u * x0 + 2 * u * t * cx + t * t * x, u * u * y0 + 2 * u * t * cy + t * t * y))
        else:
            points.append(place(step[0], step[1]))
    return points


class PixelGrid:
    """Moves the picture's grid lines onto whole pixels of one render size.

    The picture is laid out on a grid of `step` units. At sizes where a grid cell is a
    whole number of pixels nothing moves; at 22 or 24 px each grid line goes to the
    nearest pixel edge, rounding toward the middle so the picture stays symmetric, and
    what lies between two grid lines is stretched to fit. Without this a one-cell stroke
    smears over two half-lit pixels at those sizes.
    """

    def __init__(self, canvas, size, step):
        self.canvas = canvas
        self.size = size
        self.unitsPerPixel = canvas / size
        self.step = float(step) if step else 0.0

    def SnapLine(self, u):
        position = u / self.unitsPerPixel
        if position * 2 < self.size:
            snapped = math.floor(position + 0.5)
        else:
            snapped = math.ceil(position - 0.5)
        return snapped * self.unitsPerPixel

    def Map(self, u):
        if not self.step:
            return float(u)
        below = math.floor(u / self.step) * self.step
        above = below + self.step
        start, end = self.SnapLine(below), self.SnapLine(above)
        return start + (u - below) * (end - start) / self.step

    def Point(self, x, y):
        return self.Map(x), self.Map(y)

    def ThinPixels(self, units):
        """How many whole pixels a stroke or a bar one grid cell thick gets: at least one,
        and rounded down from a half, so that at 24 px the braces and the bars stay alike."""
        return max(1, math.ceil(units / self.unitsPerPixel - 0.5))

    def PenWidth(self, width):
        if not self.step:
            return float(width)
        return self.ThinPixels(width) * self.unitsPerPixel

    def Span(self, start, length):
        """Places an edge-to-edge span. One grid cell or less keeps its own thickness in
        whole pixels (the grid's cells come out one or two pixels wide at 22 px); the edge
        farther from the middle gives way."""
        a, b = self.Map(start), self.Map(start + length)
        if not self.step or length > self.step:
            return a, b
        size = self.ThinPixels(length) * self.unitsPerPixel
        if abs(a - self.canvas / 2) > abs(b - self.canvas / 2):
            return b - size, b
        return a, a + size

    def PenPoint(self, penWidth):
        """Places a pen's path so that its edges fall on pixel edges: an odd pen runs
        through pixel centres, an even one along pixel edges."""
        if not self.step:
            return self.Point
        pixels = round(penWidth / self.unitsPerPixel)
        offset = 0.5 if pixels % 2 else 0.0

        def Place(x, y):
            return tuple((math.floor(self.Map(u) / self.unitsPerPixel - offset + 0.5) + offset) * self.unitsPerPixel
                         for u in (x, y))

        return Place


kShapeFields = {
    "rect": ("x", "y", "w", "h"),
    "roundrect": ("x", "y", "w", "h"),
    "circle": ("cx", "cy", "r"),
    "polygon": ("points",),
    "stroke": ("path", "width"),
}


def LoadPicture(path):
    """Reads and checks the picture; returns (canvas, grid step, [(shape, colour)])."""
    with open(path, "r", encoding="utf-8") as f:
        picture = json.load(f)
    if not isinstance(picture, dict) or not isinstance(picture.get("shapes"), list):
        raise IconError("%s: expected an object with a list of \"shapes\"" % path)
    canvas = float(picture.get("canvas", 256))
    step = float(picture.get("grid", 0))
    shapes = []
    for number, shape in enumerate(picture["shapes"], 1):
        kind = shape.get("type") if isinstance(shape, dict) else None
        if kind not in kShapeFields:
            raise IconError("%s: shape %d: unknown shape type %r" % (path, number, kind))
        missing = [name for name in kShapeFields[kind] + ("fill",) if name not in shape]
        if missing:
            raise IconError("%s: shape %d (%s) lacks %s" % (path, number, kind, ", ".join(missing)))
        try:
            colour = ParseColour(shape["fill"])
            # Build it once at full size so that a bad path shows up now, not at some render size.
            MakeGeometry(shape, PixelGrid(canvas, int(canvas), 0))
        except (IconError, KeyError, TypeError, ValueError) as error:
            raise IconError("%s: shape %d (%s): %s" % (path, number, kind, error))
        shapes.append((shape, colour))
    return canvas, step, shapes


def MakeGeometry(shape, grid):
    kind = shape["type"]
    if kind in ("rect", "roundrect"):
        x0, x1 = grid.Span(shape["x"], shape["w"])
        y0, y1 = grid.Span(shape["y"], shape["h"])
        return RoundRect(x0, y0, x1 - x0, y1 - y0, shape.get("r", 0) if kind == "roundrect" else 0)
    if kind == "circle":
        cx, cy = grid.Point(shape["cx"], shape["cy"])
        return Circle(cx, cy, shape["r"])
    if kind == "polygon":
        return Polygon(FlattenPath(shape["points"], grid.Point))
    width = grid.PenWidth(shape["width"])
    return Stroke(FlattenPath(shape["path"], grid.PenPoint(width)), width)


# ---------------------------------------------------------------- shapes as spans per row
#
# Every shape answers one question: which x intervals does it cover on the horizontal
# line at height y? Filling those spans row by row is far quicker in pure Python than
# testing every subsample against every shape.


class RoundRect:
    def __init__(self, x, y, w, h, r):
        self.x0, self.y0, self.x1, self.y1 = float(x), float(y), float(x + w), float(y + h)
        self.r = min(float(r), w / 2.0, h / 2.0)

    def Bounds(self):
        return self.y0, self.y1

    def Spans(self, y):
        if y < self.y0 or y >= self.y1:
            return []
        dy = max(self.y0 + self.r - y, y - (self.y1 - self.r), 0.0)
        inset = self.r - math.sqrt(max(self.r * self.r - dy * dy, 0.0))
        return [(self.x0 + inset, self.x1 - inset)]


class Circle:
    def __init__(self, cx, cy, r):
        self.cx, self.cy, self.r = float(cx), float(cy), float(r)

    def Bounds(self):
        return self.cy - self.r, self.cy + self.r

    def Spans(self, y):
        dy = y - self.cy
        if abs(dy) >= self.r:
            return []
        dx = math.sqrt(self.r * self.r - dy * dy)
        return [(self.cx - dx, self.cx + dx)]


class Polygon:
    """Filled by the nonzero winding rule, so a path that crosses itself stays solid."""

    def __init__(self, points):
        if len(points) < 3:
            raise IconError("a polygon needs three points")
        self.points = points

    def Bounds(self):
        ys = [p[1] for p in self.points]
        return min(ys), max(ys)

    def Spans(self, y):
        crossings = []
        n = len(self.points)
        for i in range(n):
            (xa, ya), (xb, yb) = self.points[i], self.points[(i + 1) % n]
            if ya == yb:
                continue
            if (ya <= y < yb) or (yb <= y < ya):
                x = xa + (y - ya) * (xb - xa) / (yb - ya)
                crossings.append((x, 1 if yb > ya else -1))
        crossings.sort()
        spans = []
        winding = 0
        start = 0.0
        for x, direction in crossings:
            before = winding
            winding += direction
            if before == 0 and winding != 0:
                start = x
            elif before != 0 and winding == 0:
                spans.append((start, x))
        return spans


class Stroke:
    """A polyline drawn with a round pen: the union of one capsule per piece."""

    def __init__(self, points, width):
        if len(points) < 2:
            raise IconError("a stroke needs two points")
        self.points = points
        self.h = float(width) / 2.0
        self.pieces = []
        for (xa, ya), (xb, yb) in zip(points, points[1:]):
            length = math.hypot(xb - xa, yb - ya)
            if length == 0.0:
                self.pieces.append((Circle(xa, ya, self.h), None))
                continue
            nx, ny = -(yb - ya) / length * self.h, (xb - xa) / length * self.h
            body = Polygon([(xa + nx, ya + ny), (xb + nx, yb + ny), (xb - nx, yb - ny), (xa - nx, ya - ny)])
            self.pieces.append((Circle(xa, ya, self.h), body))
        self.pieces.append((Circle(*points[-1], self.h), None))

    def Bounds(self):
        ys = [p[1] for p in self.points]
        return min(ys) - self.h, max(ys) + self.h

    def Spans(self, y):
        spans = []
        for cap, body in self.pieces:
            # A capsule is convex, so its cap and body together cover one interval.
            parts = cap.Spans(y) + (body.Spans(y) if body else [])
            if parts:
                spans.append((min(p[0] for p in parts), max(p[1] for p in parts)))
        return spans


# ---------------------------------------------------------------- rasterising


def Render(canvas, step, shapes, size):
    """Returns size*size straight-alpha (r, g, b, a) pixels, rows top to bottom."""
    grid = PixelGrid(canvas, size, step)
    geometries = [(MakeGeometry(shape, grid), colour) for shape, colour in shapes]
    subsamples = max(kMinSubsamples, kMaxSupersampledSide // size)
    side = size * subsamples
    scale = canvas / side
    # Each subsample holds the number of the shape colour that covers it last; 0 is empty.
    colours = [(0, 0, 0, 0)]
    colourNumbers = {}
    cover = [bytearray(side) for _ in range(side)]
    for geometry, colour in geometries:
        if colour not in colourNumbers:
            if len(colours) == 256:
                raise IconError("more than 255 different fill colours")
            colourNumbers[colour] = len(colours)
            colours.append(colour)
        fill = colourNumbers[colour]
        top, bottom = geometry.Bounds()
        firstRow = max(0, int(math.floor(top / scale - 0.5)))
        lastRow = min(side - 1, int(math.ceil(bottom / scale - 0.5)))
        for row in range(firstRow, lastRow + 1):
            y = (row + 0.5) * scale
            line = cover[row]
            for x0, x1 in geometry.Spans(y):
                # Subsample column c sits at x = (c + 0.5) * scale and is covered when x0 <= x < x1.
                first = max(0, int(math.ceil(x0 / scale - 0.5)))
                last = min(side, int(math.ceil(x1 / scale - 0.5)))
                if last > first:
                    line[first:last] = bytes((fill,)) * (last - first)

    count = subsamples * subsamples
    pixels = []
    for py in range(size):
        block = cover[py * subsamples:(py + 1) * subsamples]
        for px in range(size):
            cells = b"".join(line[px * subsamples:(px + 1) * subsamples] for line in block)
            r = g = b = a = 0
            for number in sorted(set(cells)):
                if number == 0:
                    continue
                n = cells.count(number)
                cr, cg, cb, ca = colours[number]
                weight = n * ca
                r += cr * weight
                g += cg * weight
                b += cb * weight
                a += weight
            if a == 0:
                pixels.append((0, 0, 0, 0))
            else:
                pixels.append((
                    (r + a // 2) // a,
                    (g + a // 2) // a,
                    (b + a // 2) // a,
                    (a + count // 2) // count,
                ))
    return pixels


# ---------------------------------------------------------------- PNG


def PngChunk(kind, data):
    return struct.pack(">I", len(data)) + kind + data + struct.pack(">I", zlib.crc32(kind + data) & 0xFFFFFFFF)


def EncodePng(pixels, size):
    raw = bytearray()
    for y in range(size):
        raw.append(0)  # filter type None: simple, and zlib still packs the flat areas well
        for r, g, b, a in pixels[y * size:(y + 1) * size]:
            raw += bytes((r, g, b, a))
    header = struct.pack(">IIBBBBB", size, size, 8, 6, 0, 0, 0)  # 8-bit RGBA, no interlace
    return (b"\x89PNG\r\n\x1a\n" + PngChunk(b"IHDR", header) + PngChunk(b"IDAT", zlib.compress(bytes(raw), 9)) +
            PngChunk(b"IEND", b""))


# ---------------------------------------------------------------- 256-colour ICO


def MedianCut(counts, limit):
    """Picks at most `limit` colours for the {(r, g, b): pixel count} histogram."""
    if len(counts) <= limit:
        return sorted(counts)
    boxes = [sorted(counts.items())]
    while len(boxes) < limit:
        # Split the box whose widest channel spans the most, weighted by how many pixels it holds.
        best = None
        for index, box in enumerate(boxes):
            if len(box) < 2:
                continue
            for channel in range(3):
                values = [c[channel] for c, _ in box]
                spread = (max(values) - min(values)) * sum(n for _, n in box)
                if best is None or spread > best[0]:
                    best = (spread, index, channel)
        if best is None or best[0] == 0:
            break
        _, index, channel = best
        box = sorted(boxes[index], key=lambda item: (item[0][channel], item[0]))
        total = sum(n for _, n in box)
        running = 0
        cut = 1
        for i, (_, n) in enumerate(box[:-1]):
            running += n
            cut = i + 1
            if running * 2 >= total:
                break
        boxes[index:index + 1] = [box[:cut], box[cut:]]
    palette = []
    for box in boxes:
        total = sum(n for _, n in box)
        palette.append(tuple((sum(c[k] * n for c, n in box) + total // 2) // total for k in range(3)))
    return sorted(set(palette))


def Nearest(palette, colour):
    best = 0
    bestDistance = None
    for index, entry in enumerate(palette):
        d = sum((entry[k] - colour[k]) ** 2 for k in range(3))
        if bestDistance is None or d < bestDistance:
            best, bestDistance = index, d
    return best


def EncodeIco(pixels, size):
    """One 8-bit palettised image: XOR bitmap of palette indices plus a 1-bit AND mask."""
    opaque = [p[3] * 2 >= 255 for p in pixels]  # alpha under half shows the desktop through
    counts = {}
    for pixel, shown in zip(pixels, opaque):
        if shown:
            counts[pixel[:3]] = counts.get(pixel[:3], 0) + 1
    colours = MedianCut(counts, kIcoMaxColours)
    palette = [(0, 0, 0)] + colours  # index 0: black under the transparent pixels, as Windows expects
    lookup = {}
    indices = []
    for pixel, shown in zip(pixels, opaque):
        if not shown:
            indices.append(0)
            continue
        rgb = pixel[:3]
        if rgb not in lookup:
            lookup[rgb] = 1 + Nearest(colours, rgb)
        indices.append(lookup[rgb])

    xorStride = (size + 3) // 4 * 4
    andStride = ((size + 31) // 32) * 4
    xor = bytearray()
    andMask = bytearray()
    for y in reversed(range(size)):  # DIB rows run bottom-up
        row = indices[y * size:(y + 1) * size]
        xor += bytes(row) + bytes(xorStride - size)
        bits = bytearray(andStride)
        for x in range(size):
            if not opaque[y * size + x]:
                bits[x // 8] |= 0x80 >> (x % 8)
        andMask += bits

    paletteBytes = bytearray()
    for r, g, b in palette + [(0, 0, 0)] * (kIcoPaletteSize - len(palette)):
        paletteBytes += bytes((b, g, r, 0))
    # The height counts the XOR bitmap and the AND mask together.
    info = struct.pack("<IiiHHIIiiII", kBitmapInfoHeaderSize, size, size * 2, 1, 8, 0, len(xor) + len(andMask), 0, 0,
                       0, 0)
    image = info + bytes(paletteBytes) + bytes(xor) + bytes(andMask)
    iconDir = struct.pack("<HHH", 0, 1, 1)
    # bColorCount 0 means 256 colours; a size of 256 would also be written as 0.
    entry = struct.pack("<BBBBHHII", size % 256, size % 256, 0, 0, 1, 8, len(image), kIconDirSize + kIconDirEntrySize)
    return iconDir + entry + image


# ---------------------------------------------------------------- command line


def WriteFile(path, data):
    folder = os.path.dirname(path)
    if folder:
        os.makedirs(folder, exist_ok=True)
    with open(path, "wb") as f:
        f.write(data)


def Main(argv):
    parser = argparse.ArgumentParser(description="Draw Lumpwright's icon as PNG files and a 32 x 32 256-colour ICO.")
    parser.add_argument("--source", default=kDefaultSource, help="the picture's shapes (default: %(default)s)")
    parser.add_argument("--ico", metavar="OUT.ico", help="write the Windows icon: one 32 x 32 image, 256 colours")
    parser.add_argument("--png", nargs=2, action="append", default=[], metavar=("SIZE", "OUT.png"),
                        help="write a SIZE x SIZE RGBA PNG; may be given several times")
    parser.add_argument("--png-dir", metavar="DIR",
                        help="write lumpwright-SIZE.png for each Linux icon size: " + ", ".join(map(str, kLinuxSizes)))
    args = parser.parse_args(argv)

    jobs = []
    for size, path in args.png:
        if not size.isdigit() or not 1 <= int(size) <= 1024:
            parser.error("--png SIZE must be a whole number from 1 to 1024, not %r" % size)
        jobs.append((int(size), path))
    if args.png_dir:
        jobs += [(size, os.path.join(args.png_dir, "lumpwright-%d.png" % size)) for size in kLinuxSizes]
    if not jobs and not args.ico:
        parser.error("nothing to write: give --ico, --png or --png-dir")

    try:
        canvas, step, shapes = LoadPicture(args.source)
        renders = {}
        for size, path in jobs:
            if size not in renders:
                renders[size] = Render(canvas, step, shapes, size)
            WriteFile(path, EncodePng(renders[size], size))
        if args.ico:
            if kIcoSize not in renders:
                renders[kIcoSize] = Render(canvas, step, shapes, kIcoSize)
            WriteFile(args.ico, EncodeIco(renders[kIcoSize], kIcoSize))
    except (IconError, OSError, ValueError) as error:
        print("draw_icon: %s" % error, file=sys.stderr)
        return 1
    return 0


if __name__ == "__main__":
    sys.exit(Main(sys.argv[1:]))
