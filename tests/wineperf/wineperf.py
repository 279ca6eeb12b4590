"""Parsing and arithmetic for scripts/perf-wine, kept apart from the runner so that
wineperf_test.py can check it on canned input. The simulated library's log is read with the
end-to-end driver's calllog (tests/e2e on the path), as entries of calllog.Entry.
"""

import bisect
import math
import random
import re

from quibe2e import calllog

PROGRAM_EXE = "QuibTPCenter.exe"
REFERENCE_EXE = "reference_timer.exe"
TRAY_REFERENCE_EXE = "reference_tray.exe"
POLL_PERIOD_MS = 10

REPORT_STATUS = 259
# Offsets into a status record, counted from the record's start.
BUTTON_FLAGS_AT = 12
FINGERS_AT = 13
CONTACT_AT = 14
STATUS_RECORD_SIZE = 15


def contact_level(contact):
    """The program's three contact levels: below 2, 2 or 3, 4 and above."""
    if contact < 2:
        return 0
    if contact < 4:
        return 1
    return 2


def status_bytes(record):
    """The bytes of a delivered status record, or None for any other delivery."""
    if (record.kind, record.name) != ("event", "deliver") or record.fields.get("type") != str(REPORT_STATUS):
        return None
    text = record.fields.get("bytes", "")
    if text.endswith("..."):
        text = text[:-3]
    try:
        data = bytes.fromhex(text)
    except ValueError:
        return None
    return data if len(data) >= STATUS_RECORD_SIZE else None


def changing_deliveries(records):
    """The status deliveries that change what the icon shows (finger count, contact level or
    button mode), following the program's own rules for the latches; in log order."""
    fingers = level = left = right = mode = 0
    changing = []
    for record in records:
        data = status_bytes(record)
        if data is None:
            continue
        flags, new_fingers, new_level = data[BUTTON_FLAGS_AT], data[FINGERS_AT], contact_level(data[CONTACT_AT])
        if flags:
            left = 0 if flags & 0x02 else (1 if flags & 0x01 else left)
            right = 0 if flags & 0x08 else (1 if flags & 0x04 else right)
        new_mode = 1 if left else (2 if right else 0)
        if (new_fingers, new_level, new_mode) != (fingers, level, mode):
            changing.append(record)
        fingers, level, mode = new_fingers, new_level, new_mode
    return changing


def poll_thread(records):
    """The thread that makes the poll calls (the program's window thread), or None."""
    ticks = calllog.calls(records, "TpIsDisabled")
    return ticks[0].tid if ticks else None


def call_times(records, entry, tid=None):
    """Sorted time stamps of one entry's calls, optionally on one thread only."""
    return sorted(r.t for r in calllog.calls(records, entry) if tid is None or r.tid == tid)


def first_after(times, moment):
    """The first of the sorted times strictly after the moment, or None."""
    index = bisect.bisect_right(times, moment)
    return times[index] if index < len(times) else None


def report_latencies(records):
    """For each state-changing status delivery: the time from its delivery to the start of the
    next poll tick (the first TpIsDisabled of the window thread after it), which redraws the
    icon; and to that tick's TpGetTrayMode, after which the redraw follows at once.
    A list of dicts with n, delivered, tick, latency_us and mode_latency_us."""
    tid = poll_thread(records)
    ticks = call_times(records, "TpIsDisabled", tid)
    modes = call_times(records, "TpGetTrayMode", tid)
    result = []
    for record in changing_deliveries(records):
        delivered = record.t
        tick = first_after(ticks, delivered)
        mode = first_after(modes, delivered)
        if tick is None or mode is None:
            continue  # the log ended before the next tick
        result.append({
            "n": record.value("n", 0),
            "delivered": delivered,
            "tick": tick,
            "latency_us": tick - delivered,
            "mode_latency_us": mode - delivered,
        })
    return result


def intervals(times):
    return [later - earlier for earlier, later in zip(times, times[1:])]


def percentile(values, fraction):
    """Nearest-rank percentile: the smallest value with at least that fraction of the values at
    or below it."""
    if not values:
        return None
    ordered = sorted(values)
    rank = math.ceil(fraction * len(ordered) - 1e-9)  # the tolerance keeps 0.99 * 200 at 198
    return ordered[min(max(rank, 1), len(ordered)) - 1]


def summarize(values):
    if not values:
        return {"count": 0}
    return {
        "count": len(values),
        "min": min(values),
        "median": percentile(values, 0.5),
        "p90": percentile(values, 0.9),
        "p99": percentile(values, 0.99),
        "max": max(values),
        "mean": sum(values) / len(values),
    }


def make_scenario(count, seed, min_wait_ms, max_wait_ms, lead_in_ms=500):
    """A scenario of `count` status reports, each changing the finger count or the contact
    level, spaced by waits drawn evenly from min..max ms (fixed seed: the same file each run)."""
    chooser = random.Random(seed)
    contacts = (0, 3, 4)  # one contact value for each of the three levels
    lines = ["# Generated by scripts/perf-wine: report-to-icon latency.", "wait %d" % lead_in_ms, "mark start"]
    state = (0, 0)
    for _ in range(count):
        while True:
            candidate = (chooser.randint(0, 5), chooser.randint(0, 2))
            # A new level counts with no finger too: the program stores it and redraws.
            if candidate != state:
                break
        state = candidate
        lines.append("status 0 %d %d" % (state[0], contacts[state[1]]))
        lines.append("wait %d" % chooser.randint(min_wait_ms, max_wait_ms))
    lines.append("mark end")
    return "\n".join(lines) + "\n"


# ---- /proc ----

def parse_proc_stat(text):
    """utime, stime (clock ticks), num_threads and the name from /proc/<pid>/stat. The name may
    hold blanks and parentheses, so the fields are counted from the last ')'."""
    head, _, tail = text.rpartition(")")
    fields = tail.split()
    # tail starts at field 3 (state); utime is field 14, stime 15, num_threads 20.
    return {
        "name": head.partition("(")[2],
        "utime": int(fields[11]),
        "stime": int(fields[12]),
        "threads": int(fields[17]),
    }


def parse_proc_status_number(text, key):
    """A number of /proc/<pid>/status (VmHWM and VmRSS in kB, voluntary_ctxt_switches), or None."""
    for line in text.splitlines():
        name, _, value = line.partition(":")
        if name == key:
            return int(value.split()[0])
    return None


def parse_mapped_modules(maps_text):
    """The file names of the DLLs (.dll, .drv, .exe) and Unix libraries (.so) in /proc/<pid>/maps,
    sorted, each once."""
    names = set()
    for line in maps_text.splitlines():
        fields = line.split(None, 5)
        if len(fields) < 6 or not fields[5].startswith("/"):
            continue
        name = fields[5].rsplit("/", 1)[-1]
        if name.lower().endswith((".dll", ".drv", ".exe")) or re.search(r"\.so(\.[0-9]+)*$", name):
            names.add(name)
    return sorted(names)


def parse_meter_line(line):
    """One line of process_meter's `times` output; numbers as ints, the title as text."""
    items = {}
    rest = line.strip()
    # The title may hold blanks: it runs up to " pid=" or " ok=".
    if rest.startswith("title="):
        end = min(i for i in (rest.find(" pid="), rest.find(" ok="), len(rest)) if i >= 0)
        items["title"] = rest[len("title="):end]
        rest = rest[end:]
    for item in rest.split():
        key, _, value = item.partition("=")
        items[key] = int(value) if value.isdigit() else value
    return items


def image_tables(path):
    """What a PE image's own tables say, read with pefile rather than from a tool's listing:
    the imported DLLs in order, each with the number of entries imported and how many of them
    by ordinal alone, and each section's size in memory by name."""
    import pefile  # Debian's python3-pefile; only the measurement run needs it

    pe = pefile.PE(path, fast_load=True)
    pe.parse_data_directories([pefile.DIRECTORY_ENTRY["IMAGE_DIRECTORY_ENTRY_IMPORT"]])
    imports = [{"dll": entry.dll.decode(errors="replace"), "entries": len(entry.imports),
                "by_ordinal": sum(1 for item in entry.imports if item.import_by_ordinal)}
               for entry in getattr(pe, "DIRECTORY_ENTRY_IMPORT", [])]
    sections = {section.Name.rstrip(b"\0").decode(errors="replace"): section.Misc_VirtualSize
                for section in pe.sections}
    return imports, sections
