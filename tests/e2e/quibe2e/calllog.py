"""The simulated library's call log: one line per library call, report delivery or event.

    t=<us> tid=<thread> pid=<process> call=<entry> <key=value>... ret=<result>
    t=<us> tid=<thread> pid=<process> event=<name> <key=value>... [text=<rest of line>]

Times are microseconds since the library was loaded, which happens as the program starts.
"""

import statistics
from dataclasses import dataclass, field


@dataclass
class Entry:
    t: int                 # microseconds since the library was loaded
    kind: str              # "call" or "event"
    name: str              # the entry ("TpConnect") or the event ("deliver", "mark")
    fields: dict = field(default_factory=dict)
    text: str = ""
    line: str = ""

    def value(self, key, default=None):
        """A field as an integer (decimal or 0x), or default."""
        raw = self.fields.get(key)
        if raw is None:
            return default
        try:
            return int(raw, 0)
        except ValueError:
            return default


def parse_line(line):
    """One log line as an Entry, or None for a line that is not one."""
    line = line.rstrip("\r\n")
    head, _, text = line.partition(" text=")
    items = {}
    order = []
    for token in head.split(" "):
        key, sep, value = token.partition("=")
        if sep:
            items[key] = value
            order.append(key)
    if "t" not in items:
        return None
    try:
        t = int(items["t"])
    except ValueError:
        return None
    if "call" in items:
        kind, name = "call", items["call"]
    elif "event" in items:
        kind, name = "event", items["event"]
    else:
        return None
    skip = {"t", "tid", "pid", "call", "event"}
    fields = {key: items[key] for key in order if key not in skip}
    return Entry(t=t, kind=kind, name=name, fields=fields, text=text, line=line)


def read(path):
    """Every entry of the log, in file order (each process appends whole lines)."""
    try:
        with open(path, "r", encoding="utf-8", errors="replace") as log:
            lines = log.readlines()
    except FileNotFoundError:
        return []
    entries = [parse_line(line) for line in lines]
    return [entry for entry in entries if entry is not None]


def calls(entries, *names):
    """The library calls among entries, only those of the given entry names if any are given."""
    return [e for e in entries if e.kind == "call" and (not names or e.name in names)]


def events(entries, *names):
    return [e for e in entries if e.kind == "event" and (not names or e.name in names)]


def between_marks(entries, first, last):
    """The entries strictly between the mark events with the texts first and last."""
    start = end = None
    for index, entry in enumerate(entries):
        if entry.kind == "event" and entry.name == "mark":
            if entry.text == first and start is None:
                start = index
            elif entry.text == last and start is not None:
                end = index
                break
    if start is None or end is None:
        return None
    return entries[start + 1:end]


def mark_time(entries, text):
    for entry in entries:
        if entry.kind == "event" and entry.name == "mark" and entry.text == text:
            return entry.t
    return None


def periods_ms(times_us):
    """The gaps between consecutive times, in milliseconds."""
    return [(b - a) / 1000.0 for a, b in zip(times_us, times_us[1:])]


def median(values):
    return statistics.median(values) if values else None
