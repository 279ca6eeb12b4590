"""The end-to-end driver's own reading of logs, traces and pictures, without Wine: a wrong
picture, a stray call or a refused add must not slip through it."""

import os
import random
import re
import sys
import tempfile
import types
import unittest

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))

from quibe2e import calllog, evalkit_group, hostile_group, icons, identity, screen  # noqa: E402
from quibe2e.link_group import one_call_each_per_tick  # noqa: E402
from quibe2e.wine import Desktop  # noqa: E402

ICON_DIR = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "res", "icons")
SIM_LOG_HEADER = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "padsim", "sim_log.h")
RESOURCE_HEADER = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "res", "resource.h")
WHITE = (255, 255, 255)


def compose(width, height, ground, placed):
    """A Shot of a plain ground with icons drawn over it the way Wine draws them: opaque and
    clear pixels exactly, partly transparent ones blended."""
    rows = [[ground] * width for _ in range(height)]
    for icon, x0, y0 in placed:
        for y, row in enumerate(icon.pixels):
            for x, (r, g, b, a) in enumerate(row):
                under = rows[y0 + y][x0 + x]
                rows[y0 + y][x0 + x] = tuple((c * a + u * (255 - a)) // 255 for c, u in zip((r, g, b), under))
    data = bytes(channel for row in rows for pixel in row for channel in pixel)
    return screen.Shot(width, height, data, b"P6\n%d %d\n255\n" % (width, height) + data)


class CallLogTest(unittest.TestCase):
    def test_lines_of_each_kind(self):
        cases = [
            ("t=5078653 tid=276 pid=272 call=TpConnect instance=0x140000000 callback=0x140001f97 ret=1",
             "call", "TpConnect", {"ret": 1, "instance": 0x140000000}, ""),
            ("t=17 tid=3 pid=2 call=TpForwardRawReport payload=+4 ret=0", "call", "TpForwardRawReport",
             {"ret": 0}, ""),
            ("t=20 tid=3 pid=2 event=deliver n=4 type=258 len=12 bytes=02010000", "event", "deliver",
             {"type": 258, "len": 12}, ""),
            ("t=30 tid=3 pid=2 event=mark text=quiet begin", "event", "mark", {}, "quiet begin"),
            ("t=31 tid=3 pid=2 event=start text=a text= with = signs", "event", "start", {}, "a text= with = signs"),
            ("t=32 tid=3 pid=2 event=deliver n=5 type=258 len=0 bytes=", "event", "deliver", {"len": 0}, ""),
            ("t=33 tid=4 pid=9 event=configurator-start text=C:\\Quib TP\\x.exe", "event", "configurator-start", {},
             "C:\\Quib TP\\x.exe"),
        ]
        for line, kind, name, values, text in cases:
            with self.subTest(line=line):
                entry = calllog.parse_line(line + "\n")
                self.assertEqual((entry.kind, entry.name, entry.text), (kind, name, text))
                for key, value in values.items():
                    self.assertEqual(entry.value(key), value)
        self.assertEqual(calllog.parse_line("t=1 tid=2 pid=3 call=TpForwardRawReport payload=+4 ret=0")
                         .fields["payload"], "+4")

    def test_lines_that_are_not_entries(self):
        # Whole lines that break the writer's form, each in one place: errors that name the line.
        head = "t=5 tid=1 pid=1 "
        for line in ["", "garbage", "t=x tid=1 pid=1 call=TpConnect ret=1"] + [head + rest for rest in [
                "nothing=here", "call=TpIsDisabled", "call=TpIsDisabled ret=0x1", "call=TpIsDisabled ret=0 text=a",
                "event=set Name=traymode", "event=set name= value=1", "event=set value=1 value=2", "event=set tid=2",
                "event=mark text=", "event=mark  text=a", "event=mark text=a\tb", "call=TpIsDisabled ret=0" + head]]:
            with self.subTest(line=line):
                with self.assertRaises(calllog.LogLineError) as caught:
                    calllog.parse_line(line + "\n", 7)
                self.assertIn("line 7 ", str(caught.exception))
                self.assertIn(repr(line), str(caught.exception))

    def test_a_log_read_while_it_is_written(self):
        # A last line without its end waits for it; a whole bad line is an error, numbered in the file.
        with tempfile.TemporaryDirectory() as folder:
            tail = calllog.Tail(os.path.join(folder, "calls.log"))
            self.assertEqual(tail.read(), [])
            for data, read in [("t=1 tid=1 pid=1 call=TpIsDisabled ret=0\nt=2 tid=1 pid=1 ev", [1]),
                               ("ent=mark text=a b", []), ("\n", [2]), ("t=3 torn\n", "line 3 .*'t=3 torn'")]:
                with open(tail.path, "a") as log:
                    log.write(data)
                if isinstance(read, str):
                    self.assertRaisesRegex(calllog.LogLineError, read, tail.read)
                    self.assertRaisesRegex(calllog.LogLineError, read, calllog.read, tail.path)
                else:
                    self.assertEqual([e.t for e in tail.read()], read)

    def test_marks_cut_out_a_stretch(self):
        lines = ["t=1 tid=1 pid=1 call=TpIsDisabled ret=0",
                 "t=2 tid=2 pid=1 event=mark text=a",
                 "t=3 tid=1 pid=1 call=TpGetTrayMode ret=1",
                 "t=4 tid=2 pid=1 event=mark text=b",
                 "t=5 tid=1 pid=1 call=TpIsDisabled ret=0"]
        entries = [calllog.parse_line(line) for line in lines]
        self.assertEqual([e.name for e in calllog.between_marks(entries, "a", "b")], ["TpGetTrayMode"])
        self.assertIsNone(calllog.between_marks(entries, "b", "a"))
        self.assertEqual(calllog.mark_time(entries, "b"), 4)
        self.assertEqual(calllog.periods_ms([1000, 11000, 21500]), [10.0, 10.5])

    def test_one_call_of_each_per_tick(self):
        def entries(names):
            return [calllog.parse_line("t=%d tid=1 pid=1 call=%s ret=0" % (i, n)) for i, n in enumerate(names)]
        good = ["TpGetTrayMode", "TpIsDisabled", "TpGetTrayMode", "TpIsDisabled", "TpGetTrayMode", "TpIsDisabled"]
        self.assertTrue(one_call_each_per_tick(entries(good)))
        for bad in (["TpIsDisabled", "TpIsDisabled", "TpGetTrayMode"],
                    ["TpIsDisabled", "TpGetTrayMode", "TpGetTrayMode", "TpIsDisabled", "TpGetTrayMode"],
                    ["TpIsDisabled", "TpSetEnabled", "TpGetTrayMode"]):
            with self.subTest(bad=bad):
                self.assertFalse(one_call_each_per_tick(entries(bad)))


class FloodTest(unittest.TestCase):
    def test_the_flood_fits_the_library_log_ring(self):
        # A record is lost only to a full ring. A quarter of it is left for the poll's 200
        # records a second (20 s of them), so no line goes however late the log writer runs.
        with open(SIM_LOG_HEADER) as header:
            ring = int(re.search(r"LOG_RING_SLOTS = (\d+);", header.read()).group(1))
        script = hostile_group.flood_script(random.Random(hostile_group.FLOOD_SEED))
        self.assertLessEqual(hostile_group.flood_records(script), ring * 3 // 4)

    def test_records_are_counted_for_every_pass(self):
        script = ["mark a", "rate 5 3", "raw 1", "status 1 2 3", "null", "end", "checkbuttons 0"]
        self.assertEqual(hostile_group.flood_records(script), 1 + 1 + 3 * (2 + 3 + 1) + 1)


class PictureTest(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.icons = icons.load_all(ICON_DIR)

    def test_every_slot_has_a_distinct_picture(self):
        self.assertEqual(len(self.icons), 21)
        pictures = {name: tuple(map(tuple, icon.pixels)) for name, icon in self.icons.items()}
        self.assertEqual(len(set(pictures.values())), 21)

    def test_each_picture_is_told_apart_from_every_other(self):
        for name, icon in self.icons.items():
            shot = compose(64, 24, WHITE, [(icon, 40, 4)])
            shown = [n for n, other in self.icons.items() if screen.Pattern(other, WHITE).matches(shot, 40, 4)]
            with self.subTest(slot=name):
                self.assertEqual(shown, [name])

    def test_the_icon_is_found_where_it_is_drawn_only(self):
        icon = self.icons[icons.finger_slot(3, 2)]
        shot = compose(80, 24, WHITE, [(icon, 57, 5)])
        pattern = screen.Pattern(icon, WHITE)
        self.assertEqual(pattern.find(shot, (0, 0, 80, 24)), [(57, 5)])
        self.assertEqual(screen.Pattern(self.icons["idle"], WHITE).find(shot, (0, 0, 80, 24)), [])

    def test_a_clear_pixel_must_show_the_taskbar(self):
        # The application icon has fully transparent corners: over another ground it is not
        # the same picture.
        icon = self.icons["application icon"]
        grey = (200, 200, 200)
        shot = compose(24, 24, grey, [(icon, 4, 4)])
        self.assertTrue(screen.Pattern(icon, grey).matches(shot, 4, 4))
        self.assertFalse(screen.Pattern(icon, WHITE).matches(shot, 4, 4))

    def test_the_ground_and_a_plain_place(self):
        shot = compose(40, 20, WHITE, [(self.icons["idle"], 20, 2)])
        self.assertEqual(screen.background(shot, (0, 0, 40, 20)), WHITE)
        self.assertTrue(screen.is_plain(shot, (0, 0, 16, 16), WHITE))
        self.assertFalse(screen.is_plain(shot, (20, 2, 16, 16), WHITE))

    def test_a_ppm_round_trip(self):
        shot = compose(4, 3, (1, 2, 3), [])
        again = screen.parse_ppm(shot.ppm)
        self.assertEqual((again.width, again.height, again.pixel(3, 2)), (4, 3, (1, 2, 3)))
        with self.assertRaises(ValueError):
            screen.parse_ppm(b"P6\n4 3\n65535\n" + bytes(72))


class TrayTraceTest(unittest.TestCase):
    def calls_of(self, lines):
        with tempfile.TemporaryDirectory() as folder:
            desktop = Desktop(session=None, work_dir=folder)
            with open(desktop.trace_path, "w") as trace:
                trace.write("\n".join(lines) + "\n")
            return desktop.tray_calls()

    def test_calls_read_from_the_trace(self):
        icon = "id=%#x, hwnd=00000000000400A0" % identity.TRAY_ICON_ID
        lines = [
            "0118:trace:systray:add_icon " + icon,
            "0118:trace:systray:modify_icon " + icon,  # the add's own set-up
            "0118:trace:systray:show_icon " + icon,
            "0118:trace:systray:modify_icon " + icon,
            "0118:trace:systray:show_icon " + icon,
            "0118:trace:systray:add_icon " + icon,
            "0118:warn:systray:add_icon duplicate tray icon add, buggy app?",
            "0118:trace:systray:modify_icon " + icon,
            "0118:trace:systray:hide_icon " + icon,
            "0118:trace:systray:add_icon id=0x1, hwnd=0000000000000001",  # another program's icon
            "0118:fixme:other:thing unrelated",
        ]
        self.assertEqual(self.calls_of(lines), ["add", "modify", "duplicate", "modify", "delete"])

    def test_no_trace_no_calls(self):
        self.assertEqual(self.calls_of([]), [])


class NothingRunsTest(unittest.TestCase):
    """"Nothing runs" only on a window search and a process list that both say so: a look that
    fails, times out or is not understood is never "nothing"."""

    NONE = (2, "window none\r\n")
    LISTED = (0, "processes name=QuibTPCenter.exe count=0\r\n")

    @staticmethod
    def left(window, processes):
        answers = {"window": window, "processes": processes}
        desktop = types.SimpleNamespace(quibpost=lambda verb, *args: answers[verb])
        return evalkit_group.left_running(types.SimpleNamespace(desktop=desktop))

    def test_nothing_when_both_say_none(self):
        self.assertEqual(self.left(self.NONE, self.LISTED), "")

    def test_anything_else_is_not_nothing(self):
        for window, processes in [((2, "quibpost: cannot join desktop quibe2e (error 2)\n"), self.LISTED),
                                  ((None, ""), self.LISTED), ((0, "window pid=32 copies=1 image=C:\\x\n"), self.LISTED),
                                  (self.NONE, (2, "quibpost: no process list (error 5)\n")), (self.NONE, (0, "")),
                                  (self.NONE, (0, "processes name=QuibTPCenter.exe count=1\npid=40\n"))]:
            with self.subTest(window=window, processes=processes):
                self.assertNotEqual(self.left(window, processes), "")


class IdentityTest(unittest.TestCase):
    def test_each_name_has_the_value_of_the_header(self):
        with open(RESOURCE_HEADER) as header:
            defines = dict(re.findall(r'^#define (\w+) +(L"[^"]*"|\S+)', header.read(), re.M))
        names = [name for name in vars(identity) if name.isupper()]
        self.assertTrue(names)
        for name in names:
            with self.subTest(name=name):
                self.assertIn(name, defines)
                value = defines[name]
                self.assertEqual(value[2:-1] if value.startswith('L"') else int(value, 0), getattr(identity, name))


class CallLogNamedTest(unittest.TestCase):
    """The call log is found wherever the launcher names it, or not at all."""

    def test_each_way_the_launcher_names_it(self):
        ctx = types.SimpleNamespace(session=types.SimpleNamespace(prefix="/p"))
        log = os.path.join("/p", "drive_c", "users", "me", "Temp", "QuibTPCenter-trial.log")
        for text in ["  call log: C:\\users\\me\\Temp\\QuibTPCenter-trial.log\r\n",
                     "ended early (exit code 0); call log: C:\\users\\me\\Temp\\QuibTPCenter-trial.log",
                     "was stopped (call log:\nC:\\users\\me\\Temp\\QuibTPCenter-trial.log)\n"]:
            with self.subTest(text=text):
                self.assertEqual(evalkit_group.log_of(ctx, text), log)
        self.assertIsNone(evalkit_group.log_of(ctx, "cannot write the call log here"))


if __name__ == "__main__":
    unittest.main()
