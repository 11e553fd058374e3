#!/usr/bin/env python3
"""Builds the Windows icons and the About-box picture from the rendered PNGs.

Reads a 32x32 8-bit RGB or RGBA PNG (as rsvg-convert writes it) and writes
  * for the program icon, a classic .ico: one 32x32 image at 24 bits per
    pixel with a 1-bit AND mask, which every version of Windows and every
    resource compiler takes; and a 24-bit PNG without alpha, the icon
    flattened on the dialog face colour;
  * for a list image (--entry), an .ico of one 32x32 image at 32 bits per
    pixel, its alpha channel kept for soft edges, with the 1-bit mask too.

Only the standard library is used, so the tool runs wherever Python 3 does.
Usage: make-ico.py ICON.png OUT.ico OUT-about.png
       make-ico.py --entry IMAGE.png OUT.ico
"""

import struct
import sys
import zlib

SIZE = 32
# A 1-bit mask has no half-transparency: pixels at least half covered become
# opaque, and their soft edge is blended on this neutral grey so it looks
# right on light and dark title bars alike.
EDGE_BACKDROP = (192, 192, 192)
# The About box draws the picture on the system button face.
DIALOG_FACE = (240, 240, 240)


def read_png(path):
    with open(path, "rb") as f:
        data = f.read()
    if data[:8] != b"\x89PNG\r\n\x1a\n":
        raise ValueError(f"{path}: not a PNG file")
    pos = 8
    header = None
    idat = bytearray()
    while pos < len(data):
        (length,) = struct.unpack(">I", data[pos:pos + 4])
        kind = data[pos + 4:pos + 8]
        body = data[pos + 8:pos + 8 + length]
        pos += 12 + length
        if kind == b"IHDR":
            header = struct.unpack(">IIBBBBB", body)
        elif kind == b"IDAT":
            idat += body
        elif kind == b"IEND":
            break
    if header is None:
        raise ValueError(f"{path}: no IHDR chunk")
    width, height, depth, colour, _, _, interlace = header
    if depth != 8 or colour not in (2, 6) or interlace != 0:
        raise ValueError(f"{path}: only 8-bit RGB/RGBA, non-interlaced PNGs are supported")
    channels = 4 if colour == 6 else 3
    raw = zlib.decompress(bytes(idat))
    stride = width * channels
    rows = []
    previous = bytearray(stride)
    for y in range(height):
        start = y * (stride + 1)
        kind = raw[start]
        line = bytearray(raw[start + 1:start + 1 + stride])
        for i in range(stride):
            left = line[i - channels] if i >= channels else 0
            up = previous[i]
            upper_left = previous[i - channels] if i >= channels else 0
            if kind == 1:
                line[i] = (line[i] + left) & 0xFF
            elif kind == 2:
                line[i] = (line[i] + up) & 0xFF
            elif kind == 3:
                line[i] = (line[i] + ((left + up) >> 1)) & 0xFF
            elif kind == 4:
                p = left + up - upper_left
                pa, pb, pc = abs(p - left), abs(p - up), abs(p - upper_left)
                pred = left if pa <= pb and pa <= pc else (up if pb <= pc else upper_left)
                line[i] = (line[i] + pred) & 0xFF
            elif kind != 0:
                raise ValueError(f"{path}: bad filter type {kind} in row {y}")
        rows.append([tuple(line[x * channels:x * channels + 3]) +
                     ((line[x * channels + 3],) if channels == 4 else (255,))
                     for x in range(width)])
        previous = line
    return width, height, rows


def blend(pixel, backdrop):
    r, g, b, a = pixel
    return tuple((c * a + k * (255 - a) + 127) // 255 for c, k in zip((r, g, b), backdrop))


def make_ico(rows, alpha=False):
    xor = bytearray()
    mask = bytearray()
    for row in reversed(rows):  # DIB rows run bottom-up
        bits = 0
        for x, pixel in enumerate(row):
            if alpha:
                # Premultiplied by nobody: the system blends with the alpha.
                # The mask serves systems that draw without it.
                r, g, b, a = pixel
                xor += bytes((b, g, r, a)) if a else b"\0\0\0\0"
                if a < 128:
                    bits |= 1 << (31 - x)
            elif pixel[3] >= 128:
                r, g, b = blend(pixel, EDGE_BACKDROP)
                xor += bytes((b, g, r))
            else:
                # Black colour under a set mask bit leaves the screen untouched.
                xor += b"\0\0\0"
                bits |= 1 << (31 - x)
        mask += struct.pack(">I", bits)
    # 32 pixels make 96 (or 128) colour bytes and 4 mask bytes a row: all
    # multiples of four, so no row padding is needed at this size.
    depth = 32 if alpha else 24
    image = struct.pack("<IiiHHIIiiII", 40, SIZE, SIZE * 2, 1, depth, 0,
                        len(xor) + len(mask), 0, 0, 0, 0) + bytes(xor) + bytes(mask)
    directory = struct.pack("<HHH", 0, 1, 1)
    entry = struct.pack("<BBBBHHII", SIZE, SIZE, 0, 0, 1, depth, len(image), 6 + 16)
    return directory + entry + image


def make_png_rgb(rows):
    raw = bytearray()
    for row in rows:
        raw.append(0)
        for pixel in row:
            raw += bytes(blend(pixel, DIALOG_FACE))

    def chunk(kind, body):
        return (struct.pack(">I", len(body)) + kind + body +
                struct.pack(">I", zlib.crc32(kind + body) & 0xFFFFFFFF))

    return (b"\x89PNG\r\n\x1a\n" +
            chunk(b"IHDR", struct.pack(">IIBBBBB", len(rows[0]), len(rows), 8, 2, 0, 0, 0)) +
            chunk(b"IDAT", zlib.compress(bytes(raw), 9)) + chunk(b"IEND", b""))


def main(argv):
    entry = len(argv) == 4 and argv[1] == "--entry"
    if len(argv) != 4:
        sys.stderr.write(__doc__)
        return 2
    source = argv[2] if entry else argv[1]
    width, height, rows = read_png(source)
    if (width, height) != (SIZE, SIZE):
        sys.stderr.write(f"{source}: expected {SIZE}x{SIZE}, got {width}x{height}\n")
        return 1
    if entry:
        with open(argv[3], "wb") as f:
            f.write(make_ico(rows, alpha=True))
        return 0
    with open(argv[2], "wb") as f:
        f.write(make_ico(rows))
    with open(argv[3], "wb") as f:
        f.write(make_png_rgb(rows))
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
