#!/usr/bin/env python3
"""Runs one group of end-to-end checks: the real QuibTPCenter.exe under Wine, on a virtual
desktop with a taskbar, with the simulated touchpad library beside it.

    run_e2e.py --build DIR --source DIR GROUP

GROUP is "link" (the link, the poll, reports, session changes, the exit command), "tray"
(the notification-area picture of each state, tray mode 0, double-clicks, WM_CLOSE), "hostile"
(a misbehaving library and a flood of reports), "missing" (no configurator installed), "no140"
(the test build without one icon), "install" (installed under Program Files, upgraded in place,
started at logon) or "evalkit" (the evaluation kit unpacked and its launcher run). The display
is the build's test session's (scripts/wine-session), and so are the Wine prefix and wineserver,
but for the groups in FRESH_PREFIX, which make a new prefix of their own. The group's files, and
the evidence of a failure, go to DIR/e2e-artifacts/GROUP.
"""

import argparse
import os
import re
import shutil
import sys

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))

from quibe2e import (evalkit_group, hostile_group, icons, install_group, link_group, missing_group,  # noqa: E402
                     no140_group, tray_group)
from quibe2e.report import Checker  # noqa: E402
from quibe2e.tray import TrayWatch  # noqa: E402
from quibe2e.wine import Desktop, WineSession, boot_prefix, stop_prefix  # noqa: E402

GROUPS = {"link": link_group.run, "tray": tray_group.run, "hostile": hostile_group.run,
          "missing": missing_group.run, "no140": no140_group.run, "install": install_group.run,
          "evalkit": evalkit_group.run}
GROUPS.update(("evalkit_" + name, part) for name, part in evalkit_group.PARTS.items())
# Groups that stand for a PC where nothing of ours ever ran: a prefix made new for the run.
FRESH_PREFIX = {name for name in GROUPS if name.startswith("evalkit")}


class Context:
    """What a group works with: the session, the desktop, the icon reader and the checker."""

    def __init__(self, session, desktop, checker, tray, work_dir, padsim_dir):
        self.session = session
        self.desktop = desktop
        self.checker = checker
        self.tray = tray
        self.work_dir = work_dir
        self.padsim_dir = padsim_dir
        self.programs = []
        self.check = checker.check
        self.figure = checker.figure

    def track(self, program):
        """Remembers a program, so it is ended after a failure and its files are named."""
        self.programs.append(program)
        for path in (program.log_path, program.output_path):
            self.checker.keep(path)


def session_display(session_dir):
    path = os.path.join(session_dir, "env")
    if not os.path.exists(path):
        raise SystemExit("no Wine session in %s: run the group through ctest, or start one with "
                         "scripts/wine-session start %s <build>/wineprefix" % (session_dir, session_dir))
    with open(path) as env:
        match = re.search(r"DISPLAY=(\S+)", env.read())
    if match is None:
        raise RuntimeError("no display in %s/env" % session_dir)
    return match.group(1)


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--build", required=True, help="the windows build directory")
    parser.add_argument("--source", required=True, help="the source tree")
    parser.add_argument("group", choices=sorted(GROUPS))
    args = parser.parse_args()
    # Wine takes only an absolute prefix.
    args.build = os.path.abspath(args.build)
    args.source = os.path.abspath(args.source)

    work_dir = os.path.join(args.build, "e2e-artifacts", args.group)
    shutil.rmtree(work_dir, ignore_errors=True)
    os.makedirs(work_dir)
    fresh = args.group in FRESH_PREFIX
    prefix = os.path.join(work_dir if fresh else args.build, "wineprefix")
    session = WineSession(prefix, session_display(os.path.join(args.build, "wine-session")),
                          os.path.join(args.build, "bin"))
    desktop = Desktop(session, work_dir)
    checker = Checker("e2e " + args.group, work_dir)
    checker.keep(desktop.trace_path)
    pictures = icons.load_all(os.path.join(args.source, "res", "icons"))
    context = Context(session, desktop, checker, TrayWatch(desktop, pictures), work_dir,
                      os.path.join(args.source, "padsim"))
    try:
        if fresh:
            boot_prefix(session, os.path.join(work_dir, "wineboot.log"))
        desktop.start()
        checker.desktop = desktop
        GROUPS[args.group](context)
    except Exception as error:
        checker.crash(error)
    finally:
        for program in context.programs:
            program.stop()
        desktop.stop()
        if fresh:
            stop_prefix(session)
            shutil.rmtree(prefix, ignore_errors=True)
    return checker.finish()


if __name__ == "__main__":
    sys.exit(main())
