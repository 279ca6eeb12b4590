"""Reads the program's icon out of screenshots of the taskbar: which of the 21 pictures the
notification area shows, where, and whether the icon is gone."""

import time

from quibe2e import screen


class TrayWatch:
    def __init__(self, desktop, icons):
        self.desktop = desktop
        self.icons = icons          # slot name -> Icon
        self.patterns = {}          # background colour -> slot name -> Pattern
        self.rect = None            # (x, y, w, h) of the icon once seen
        self.last_shot = None

    def _patterns_on(self, ground):
        if ground not in self.patterns:
            self.patterns[ground] = {name: screen.Pattern(icon, ground) for name, icon in self.icons.items()}
        return self.patterns[ground]

    def look(self):
        """A fresh screenshot and the pictures it shows: a list of slot names (normally one,
        empty when no known picture is there)."""
        shot = self.desktop.shot()
        self.last_shot = shot
        region = self.desktop.tray_region()
        ground = screen.background(shot, self.desktop.taskbar_sample())
        patterns = self._patterns_on(ground)
        if self.rect is not None:
            x, y = self.rect[0], self.rect[1]
            shown = [name for name, pattern in patterns.items() if pattern.matches(shot, x, y)]
            if shown:
                return shown
        for name, pattern in patterns.items():
            places = pattern.find(shot, region)
            if places:
                x, y = places[0]
                self.rect = (x, y, pattern.size, pattern.size)
                return [n for n, p in patterns.items() if p.matches(shot, x, y)]
        return []

    def wait_for(self, slot, timeout=5.0):
        """Waits until the icon shows the slot's picture; (True, shown) or (False, last shown)."""
        deadline = time.monotonic() + timeout
        shown = []
        while True:
            shown = self.look()
            if slot in shown:
                return True, shown
            if time.monotonic() >= deadline:
                return False, shown
            time.sleep(0.05)

    def gone(self):
        """True when the icon's place shows only the taskbar and no picture is anywhere."""
        shot = self.desktop.shot()
        self.last_shot = shot
        region = self.desktop.tray_region()
        ground = screen.background(shot, self.desktop.taskbar_sample())
        if self.rect is not None and not screen.is_plain(shot, self.rect, ground):
            return False
        return not any(p.find(shot, region) for p in self._patterns_on(ground).values())

    def wait_gone(self, timeout=5.0):
        deadline = time.monotonic() + timeout
        while True:
            if self.gone():
                return True
            if time.monotonic() >= deadline:
                return False
            time.sleep(0.05)

    def centre(self):
        x, y, w, h = self.rect
        return x + w // 2, y + h // 2
