"""The simulated library's call log: one line per library call, report delivery or event.

    t=<us> tid=<thread> pid=<process> call=<entry> <key=value>... ret=<result>
    t=<us> tid=<thread> pid=<process> event=<name> <key=value>... [text=<rest>|bytes=<rest>]

Times are microseconds since the library was loaded, which happens as the program starts.
Keys are lower-case letters, digits and '_'; an ordinary value is not empty and holds no blank
and no '='; a text= or bytes= item comes last and runs to the end of the line (bytes may be
empty). The library writes whole lines, and cleans control characters out of its texts.

A whole line that is not of that form is an error, raised with its number and text: it means
the log or its reading is broken, and a check built on the rest would miss what it held. The
last line of a log that is still being written may lack its line end; it is not read until it
has one.
"""

import re
import statistics
from dataclasses import dataclass, field

# An item takes none of the head's keys; text= or bytes= runs to the end.
LINE = re.compile(r"t=([0-9]+) tid=([0-9]+) pid=([0-9]+) (call|event)=([A-Za-z0-9_-]+)"
                  r"((?: (?!(?:t|tid|pid|call|event|text|bytes)=)[a-z0-9_]+=[^\s=\x00-\x1f\x7f]+)*)"
                  r"(?: text=([^\x00-\x1f\x7f]+)| bytes=([^\x00-\x1f\x7f]*))?")
SIGNED = re.compile(r"-?[0-9]+")


class LogLineError(ValueError):
    """A whole line of the log that is not a log line."""

    def __init__(self, line, number=None, path=None):
        self.line, self.number, self.path = line, number, path
        where = "line %s" % number if number is not None else "a line"
        super().__init__("%s of the call log%s is not a log line: %r"
                         % (where, " " + path if path else "", line))


@dataclass(slots=True)
class Entry:
    t: int                 # microseconds since the library was loaded
    kind: str              # "call" or "event"
    name: str              # the entry ("TpConnect") or the event ("deliver", "mark")
    fields: dict = field(default_factory=dict)  # the other items as text, bytes= included
    text: str = ""
    line: str = ""
    tid: int = 0
    pid: int = 0
    number: int = None     # the line's number in its file, counted from 1

    def value(self, key, default=None):
        """A field as an integer (decimal, 0x or +n), or default."""
        raw = self.fields.get(key)
        if raw is None:
            return default
        try:
            return int(raw, 0)
        except ValueError:
            return default


def parse_line(line, number=None, path=None):
    """One whole log line, its line end left off or not, as an Entry; LogLineError if it is not
    one (number and path only name it)."""
    line = line[:-1] if line.endswith("\n") else line
    match = LINE.fullmatch(line)
    if not match:
        raise LogLineError(line, number, path)
    t, tid, pid, kind, name, items, text, data = match.groups()
    pairs = [item.split("=") for item in items.split(" ")[1:]]
    fields = dict(pairs)
    # A call ends with its result and carries no text; no key comes twice.
    unended = kind == "call" and (text is not None or data is not None
                                  or not SIGNED.fullmatch(items.rpartition(" ret=")[2]))
    if unended or len(fields) < len(pairs):
        raise LogLineError(line, number, path)
    if data is not None:
        fields["bytes"] = data
    return Entry(t=int(t), kind=kind, name=name, fields=fields, text=text or "", line=line,
                 tid=int(tid), pid=int(pid), number=number)


class Tail:
    """A growing log read on from where the last read stopped: a long log (a flood of reports)
    is read once, however often it is waited on. A last line not yet ended is kept back, and
    read once its end is written; lines are numbered across reads."""

    def __init__(self, path):
        self.path = path
        self.offset = 0        # bytes read from the file
        self.pending = b""     # of them, the start of a line not ended yet
        self.lines = 0         # whole lines read

    def read(self):
        """The entries of the lines ended since the last read, in file order."""
        try:
            with open(self.path, "rb") as log:
                log.seek(self.offset)
                data = log.read()
        except FileNotFoundError:
            return []
        self.offset += len(data)
        data = self.pending + data
        end = data.rfind(b"\n") + 1
        self.pending = data[end:]
        entries = []
        for line in data[:end].decode("utf-8", errors="replace").split("\n")[:-1]:
            self.lines += 1
            entries.append(parse_line(line, self.lines, self.path))
        return entries


def read(path):
    """Every entry of the log, in file order (each process appends whole lines); none when there
    is no log yet."""
    return Tail(path).read()


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
