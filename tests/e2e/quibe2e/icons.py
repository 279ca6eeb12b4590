"""The 21 pictures the notification-area icon can show, decoded from res/icons/*.ico, with the
names the checks and the demo use for them."""

import os
import struct

CONTACT_NAMES = ("light", "medium", "firm")

# A contact byte for each contact level (below 2, 2 or 3, 4 and above).
CONTACT_BYTES = (1, 3, 200)


def finger_slot(fingers, level):
    return "fingers %d %s" % (fingers, CONTACT_NAMES[level])


def _finger_resources():
    # Row n: column 0 is 129 + n, column 1 is 133 + 2n, column 2 is 134 + 2n.
    table = {}
    for fingers in range(1, 6):
        for level, resource in enumerate((129 + fingers, 133 + 2 * fingers, 134 + 2 * fingers)):
            table[finger_slot(fingers, level)] = "tray%d.ico" % resource
    return table


SLOT_FILES = {
    "application icon": "app107.ico",
    "idle": "tray129.ico",
    "left button": "tray145.ico",
    "right button": "tray146.ico",
    "disabled": "tray147.ico",
    "not linked": "tray32513.ico",
}
SLOT_FILES.update(_finger_resources())


class Icon:
    """A 16x16 picture: rows of (red, green, blue, alpha)."""

    def __init__(self, name, size, pixels):
        self.name = name
        self.size = size
        self.pixels = pixels  # pixels[y][x] = (r, g, b, a)

    def opaque(self):
        return [(x, y, p[:3]) for y, row in enumerate(self.pixels) for x, p in enumerate(row) if p[3] == 255]

    def clear(self):
        return [(x, y) for y, row in enumerate(self.pixels) for x, p in enumerate(row) if p[3] == 0]


def _decode_dib(data, offset, size):
    header = struct.unpack_from("<IiiHHI", data, offset)
    header_size, width, height2, _, bpp, compression = header
    if width != size or height2 != 2 * size or bpp != 32 or compression != 0:
        raise ValueError("not a %dx%d 32-bit bitmap" % (size, size))
    base = offset + header_size
    rows = []
    for y in range(size):
        row_at = base + (size - 1 - y) * size * 4  # bottom-up
        row = []
        for x in range(size):
            b, g, r, a = data[row_at + 4 * x: row_at + 4 * x + 4]
            row.append((r, g, b, a))
        rows.append(row)
    return rows


def load_icon(path, name, size=16):
    """The 32-bit image of the given size from an .ico file."""
    with open(path, "rb") as f:
        data = f.read()
    _, kind, count = struct.unpack_from("<HHH", data, 0)
    if kind != 1:
        raise ValueError("%s is not an icon file" % path)
    for index in range(count):
        width, height, _, _, _, bpp, _, offset = struct.unpack_from("<BBBBHHII", data, 6 + 16 * index)
        width = width or 256
        height = height or 256
        if width == size and height == size and bpp == 32 and data[offset:offset + 4] != b"\x89PNG":
            return Icon(name, size, _decode_dib(data, offset, size))
    raise ValueError("%s holds no %dx%d 32-bit image" % (path, size, size))


def load_all(icon_dir):
    """Every slot's picture, by slot name."""
    return {name: load_icon(os.path.join(icon_dir, file), name) for name, file in SLOT_FILES.items()}
