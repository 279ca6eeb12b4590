"""Wine's relay trace of a few Win32 entries: which of them a program called, on which thread,
in what order and with which arguments. The trace is limited to the named entries through the
prefix's RelayInclude setting (unlimited, it writes about a million lines in a few seconds) and
goes to the traced program's output file."""

import re

from quibe2e.identity import IDT_LINK

DEBUG_KEY = "HKCU\\Software\\Wine\\Debug"
WINEDEBUG = "-all,+relay"
CALL = re.compile(r"^([0-9a-f]+):Call ([\w.]+)\(([^)]*)\)")
RET = re.compile(r"^([0-9a-f]+):Ret\s+([\w.]+)\(\) retval=([0-9a-f]+)")


class Call:
    def __init__(self, thread, name, args, text=""):
        self.thread = thread
        self.name = name  # "dll.Entry"
        self.args = args  # each as an unsigned 32-bit value
        self.text = text  # the arguments as traced, strings included
        self.ret = None  # the low 32 bits of its result, once its Ret line is read

    def __repr__(self):
        return "%s(%s)" % (self.name, ",".join("%x" % a for a in self.args))


def include(session, entries):
    """Limits the relay trace of programs started from now on to the given entries
    ("user32.SetTimer", ...), until untrace; such a program runs with WINEDEBUG."""
    code, output = session.run(["reg", "add", DEBUG_KEY, "/v", "RelayInclude", "/t", "REG_SZ",
                                "/d", ";".join(entries), "/f"])
    if code != 0:
        raise RuntimeError("cannot set RelayInclude: " + output.strip())


def untrace(session):
    session.run(["reg", "delete", DEBUG_KEY, "/v", "RelayInclude", "/f"])


def _number(text):
    """An argument's low 32 bits: negative handles such as HWND_TOPMOST are printed as 64-bit
    values, and a 32-bit argument passed on the stack may carry garbage above them. A string
    argument (an address followed by its text) gives its address."""
    digits = re.match(r"[0-9a-fA-F]+", text)
    return int(digits.group(0), 16) & 0xFFFFFFFF if digits else None


def parse(text):
    """The Call lines of a relay trace, in order."""
    found = []
    open_calls = {}  # (thread, name): the calls not yet returned, innermost last
    for line in text.splitlines():
        match = CALL.match(line)
        if match:
            args = [_number(a) for a in match.group(3).split(",") if a]
            found.append(Call(match.group(1), match.group(2), args, match.group(3)))
            open_calls.setdefault(match.group(1, 2), []).append(found[-1])
        match = RET.match(line)
        if match and open_calls.get(match.group(1, 2)):
            open_calls[match.group(1, 2)].pop().ret = _number(match.group(3))
    return found


def read(path):
    with open(path, "r", errors="replace") as output:
        return parse(output.read())


def window_thread(found, window_entry="user32.SetTimer", timer_id=IDT_LINK):
    """(thread, window) of the program's window thread: the one that started the link timer."""
    for call in found:
        if call.name == window_entry and len(call.args) == 4 and call.args[1] == timer_id:
            return call.thread, call.args[0]
    return None, None
