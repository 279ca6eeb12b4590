"""The demo's picture: the captured icons in a labelled grid, enlarged nearest-neighbour."""

import os
import subprocess

SCALE = 6
MARGIN = 2  # pixels of taskbar around each 16x16 capture


def capture(shot, rect, path):
    """Saves the icon's place (with a little of the taskbar around it) from a screenshot."""
    x, y, w, h = rect
    shot.save(path, crop=(x - MARGIN, y - MARGIN, w + 2 * MARGIN, h + 2 * MARGIN), scale=SCALE)


def grid(captures, path, title, columns=6):
    """captures: (label, png path) pairs, in order."""
    args = ["montage", "-font", "DejaVu-Sans", "-pointsize", "13", "-background", "white",
            "-bordercolor", "#c8c8c8", "-border", "1"]
    for label, picture in captures:
        args += ["-label", label, picture]
    args += ["-tile", "%dx" % columns, "-geometry", "+22+10", "-title", title]
    # No time stamps in the file: the same run draws the same bytes.
    args += ["-strip", "-define", "png:exclude-chunks=date,time", path]
    os.makedirs(os.path.dirname(os.path.abspath(path)), exist_ok=True)
    subprocess.run(args, check=True, timeout=60)
