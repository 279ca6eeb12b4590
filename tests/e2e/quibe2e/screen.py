"""Screenshots of the Wine desktop window and the notification-area icon in them.

Wine draws a tray icon's opaque and fully transparent pixels exactly and blends the others its
own way, so a picture is compared on the pixels whose alpha is 255 (the icon's colour) or 0
(the taskbar's background), with a small tolerance.
"""

import re
import subprocess
from collections import Counter

TOLERANCE = 8  # per colour channel


class Shot:
    """An RGB screenshot: width, height and packed rows of 3-byte pixels."""

    def __init__(self, width, height, data, ppm):
        self.width = width
        self.height = height
        self.data = data
        self.ppm = ppm  # the file as grabbed, kept for saving

    def pixel(self, x, y):
        at = (y * self.width + x) * 3
        return self.data[at], self.data[at + 1], self.data[at + 2]

    def save(self, path, crop=None, scale=1):
        """Writes the shot, or a (x, y, w, h) part of it, as PNG, enlarged nearest-neighbour."""
        args = ["convert", "ppm:-"]
        if crop is not None:
            x, y, w, h = crop
            args += ["-crop", "%dx%d+%d+%d" % (w, h, x, y), "+repage"]
        if scale != 1:
            args += ["-scale", "%d%%" % (100 * scale)]
        args += ["-strip", "-define", "png:exclude-chunks=date,time"]
        subprocess.run(args + ["png:" + path], input=self.ppm, check=True)


def parse_ppm(ppm):
    match = re.match(rb"P6\s+(\d+)\s+(\d+)\s+(\d+)\s", ppm)
    if match is None or match.group(3) != b"255":
        raise ValueError("not an 8-bit PPM")
    width, height = int(match.group(1)), int(match.group(2))
    data = ppm[match.end():match.end() + width * height * 3]
    if len(data) != width * height * 3:
        raise ValueError("PPM cut short")
    return Shot(width, height, data, ppm)


def grab(display, window):
    """The current content of an X window (the Wine desktop) as a Shot."""
    result = subprocess.run(["import", "-display", display, "-window", window, "-depth", "8", "ppm:-"],
                            stdout=subprocess.PIPE, stderr=subprocess.PIPE, timeout=20)
    if result.returncode != 0:
        raise RuntimeError("import failed: " + result.stderr.decode(errors="replace").strip())
    return parse_ppm(result.stdout)


def close(a, b, tolerance=TOLERANCE):
    return all(abs(p - q) <= tolerance for p, q in zip(a, b))


def background(shot, region):
    """The most common colour of a region (x, y, w, h): the taskbar's own colour."""
    x0, y0, w, h = region
    counts = Counter(shot.pixel(x, y) for y in range(y0, y0 + h) for x in range(x0, x0 + w))
    return counts.most_common(1)[0][0]


class Pattern:
    """An icon prepared for comparison: the pixels that are drawn exactly, most telling first."""

    def __init__(self, icon, ground):
        self.name = icon.name
        self.size = icon.size
        opaque = icon.opaque()
        clear = [(x, y, ground) for x, y in icon.clear()]
        # Pixels that differ from the taskbar first, so that a wrong place fails at once.
        telling = [p for p in opaque if not close(p[2], ground)]
        plain = [p for p in opaque if close(p[2], ground)]
        self.points = telling + clear + plain

    def matches(self, shot, x, y, tolerance=TOLERANCE):
        if x < 0 or y < 0 or x + self.size > shot.width or y + self.size > shot.height:
            return False
        for dx, dy, colour in self.points:
            if not close(shot.pixel(x + dx, y + dy), colour, tolerance):
                return False
        return True

    def find(self, shot, region):
        """Every place in region (x, y, w, h) where the icon is shown."""
        x0, y0, w, h = region
        return [(x, y) for y in range(y0, y0 + h - self.size + 1) for x in range(x0, x0 + w - self.size + 1)
                if self.matches(shot, x, y)]


def is_plain(shot, rect, colour):
    """True when every pixel of rect (x, y, w, h) has the given colour."""
    x0, y0, w, h = rect
    return all(close(shot.pixel(x, y), colour) for y in range(y0, y0 + h) for x in range(x0, x0 + w))
