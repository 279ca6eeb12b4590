#!/usr/bin/env python3
"""QuibTPCenter_no140.exe on Wine's desktop with a taskbar: the notification area shows no
picture for three fingers at the firmest contact, the one slot whose icon the build lacks, and
the right picture for every other state, before and after it. The program keeps running and
ends with exit code 0.

    no140_tray.py --build DIR --source DIR

Uses the end-to-end driver's helpers (tests/e2e/quibe2e): the virtual desktop, quibpost, the
screenshot reader. The build's test session (scripts/wine-session) must be running; the files
of the run, and the evidence of a failure, go to DIR/e2e-artifacts/no140.
"""

import argparse
import os
import shutil
import sys

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, os.path.join(os.path.dirname(HERE), "e2e"))

from quibe2e import icons, screen, tray_group, waits  # noqa: E402
from quibe2e.icons import finger_slot  # noqa: E402
from quibe2e.report import Checker  # noqa: E402
from quibe2e.tray import TrayWatch  # noqa: E402
from quibe2e.wine import IDM_EXIT, WM_COMMAND, Desktop, Program, WineSession  # noqa: E402

PROGRAM = "QuibTPCenter.exe"
NO140_PROGRAM = "QuibTPCenter_no140.exe"
MISSING_SLOT = finger_slot(3, 2)


class No140Session(WineSession):
    """The build's session, with the program's name standing for the build without icon 140."""

    def exe(self, name):
        return super().exe(NO140_PROGRAM if name == PROGRAM else name)


def session_display(session_dir):
    with open(os.path.join(session_dir, "env")) as env:
        for line in env:
            if line.startswith("export DISPLAY="):
                return line.strip().split("=", 1)[1]
    raise RuntimeError("no display in %s/env" % session_dir)


def states():
    """(commands, expected slot, what is shown): every state the end-to-end mirror drives, and
    the missing slot reached from each of its neighbours and left again."""
    extra = [
        (["status 0 3 3"], finger_slot(3, 1), "three fingers, medium contact"),
        (["status 0 3 200"], MISSING_SLOT, "three fingers, contact 200"),
        (["status 0 3 2"], finger_slot(3, 1), "back to medium contact"),
        (["status 0 3 255"], MISSING_SLOT, "three fingers, contact 255"),
        (["status 0 2 255"], finger_slot(2, 2), "two fingers, firmest"),
        (["status 0 3 4"], MISSING_SLOT, "three fingers again, contact 4"),
        (["status 0 4 4"], finger_slot(4, 2), "four fingers, firmest"),
    ]
    return tray_group.mirror_states() + extra


def shows_nothing(ctx_tray, desktop):
    """True when the icon's place holds only the taskbar's colour and no known picture is
    anywhere in the notification area."""
    shown = ctx_tray.look()
    if shown or ctx_tray.rect is None:
        return False
    shot = ctx_tray.last_shot
    ground = screen.background(shot, desktop.taskbar_sample())
    return screen.is_plain(shot, ctx_tray.rect, ground)


def check_states(checker, program, tray, desktop, work_dir):
    saved = False
    for commands, slot, what in states():
        modifies_before = desktop.tray_calls().count("modify")
        program.pad(*commands)
        if slot != MISSING_SLOT:
            ok, shown = tray.wait_for(slot)
            checker.check(ok, "%s: the icon shows %s" % (what, slot), "shows %s" % (shown or "no known picture"))
            continue
        # The picture goes to the shell as a null icon: a change the shell takes, drawn as nothing.
        changed = waits.until(lambda: desktop.tray_calls().count("modify") > modifies_before, timeout=5)
        checker.check(changed, "%s: the shell is sent a picture change" % what,
                      "shell calls %s" % desktop.tray_calls()[-5:])
        blank = waits.until(lambda: shows_nothing(tray, desktop), timeout=5)
        checker.check(blank, "%s: the icon's place shows no picture" % what,
                      "shows %s" % (tray.look() or "something unknown"))
        if blank and not saved:
            save_surroundings(tray, os.path.join(work_dir, "missing-icon.png"))
            saved = True


def save_surroundings(tray, path):
    """The notification area around the icon's place, enlarged, for a reader of the run."""
    shot = tray.last_shot
    x, y, w, h = tray.rect
    left, top = max(x - 40, 0), max(y - 8, 0)
    right, bottom = min(x + w + 40, shot.width), min(y + h + 8, shot.height)
    shot.save(path, crop=(left, top, right - left, bottom - top), scale=8)


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--build", required=True, help="the windows build directory")
    parser.add_argument("--source", required=True, help="the source tree")
    args = parser.parse_args()

    work_dir = os.path.join(args.build, "e2e-artifacts", "no140")
    shutil.rmtree(work_dir, ignore_errors=True)
    os.makedirs(work_dir)
    session = No140Session(os.path.join(args.build, "wineprefix"),
                           session_display(os.path.join(args.build, "wine-session")),
                           os.path.join(args.build, "bin"))
    desktop = Desktop(session, work_dir)
    checker = Checker("no140 tray", work_dir)
    checker.keep(desktop.trace_path)
    tray = TrayWatch(desktop, icons.load_all(os.path.join(args.source, "res", "icons")))
    program = None
    try:
        desktop.start()
        checker.desktop = desktop
        program = Program(session, desktop, work_dir, name="no140")
        checker.keep(program.log_path)
        program.start()
        ok, shown = tray.wait_for("idle", timeout=15)
        checker.check(ok, "the icon appears with the idle picture", "shows %s" % shown)
        if ok:
            check_states(checker, program, tray, desktop, work_dir)
            checker.check(program.running(), "the program runs on after the missing picture")
            program.post(WM_COMMAND, IDM_EXIT)
            code = program.wait_exit(15)
            checker.check(code == 0, "the exit command ends it with exit code 0", "exit code %s" % code)
    except Exception as error:
        checker.crash(error)
    finally:
        if program is not None:
            program.stop()
        desktop.stop()
    return checker.finish()


if __name__ == "__main__":
    sys.exit(main())
