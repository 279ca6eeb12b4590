#!/usr/bin/env python3
"""Runs one group of end-to-end checks: the real QuibTPCenter.exe under Wine, on a virtual
desktop with a taskbar, with the simulated touchpad library beside it.

    run_e2e.py --build DIR --source DIR GROUP

GROUP is "link" (the link, the poll, reports, session changes, the exit command), "tray"
(the notification-area picture of each state, tray mode 0, double-clicks, WM_CLOSE), "hostile"
(a misbehaving library and a flood of reports), "missing" (no configurator installed), "no140"
(the test build without one icon), "install" (installed under Program Files, upgraded in place,
started at logon) or "evalkit" (the evaluation kit unpacked and its launcher run; in four parts
that run side by side: "evalkit_walk", "evalkit_refusals", "evalkit_stops", "evalkit_console").
Each group runs in a Wine session of its own (quibe2e/session.py): a copy of the build's template
prefix, its own Xvfb display and wineserver, so groups run side by side. The group's files, and
the evidence of a failure, go to DIR/e2e-artifacts/GROUP; a failed run's folder is kept as
GROUP.failed-TIME when the group runs again, the newest few of them.
"""

import argparse
import os
import shutil
import signal
import sys
import time

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))

from quibe2e import (evalkit_group, hostile_group, icons, install_group, link_group, missing_group,  # noqa: E402
                     no140_group, tray_group)
from quibe2e.report import Checker  # noqa: E402
from quibe2e.tray import TrayWatch  # noqa: E402
from quibe2e.session import Session, make_template  # noqa: E402
from quibe2e.wine import Desktop  # noqa: E402

GROUPS = {"link": link_group.run, "tray": tray_group.run, "hostile": hostile_group.run,
          "missing": missing_group.run, "no140": no140_group.run, "install": install_group.run,
          "evalkit": evalkit_group.run}
GROUPS.update(("evalkit_" + name, part) for name, part in evalkit_group.PARTS.items())
FAILED_MARK = "FAILED"
FAILED_KEPT = 3


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


def artifacts_folder(build, group):
    """The group's folder, empty; the last run's kept aside if it failed."""
    root = os.path.join(build, "e2e-artifacts")
    folder = os.path.join(root, group)
    if os.path.exists(os.path.join(folder, FAILED_MARK)):
        os.rename(folder, "%s.failed-%s" % (folder, time.strftime("%Y%m%d-%H%M%S")))
        failed = sorted(name for name in os.listdir(root) if name.startswith(group + ".failed-"))
        for name in failed[:-FAILED_KEPT]:
            shutil.rmtree(os.path.join(root, name), ignore_errors=True)
    shutil.rmtree(folder, ignore_errors=True)
    os.makedirs(folder)
    return folder


def leave_on_signals():
    """CTest's time-out and Ctrl+C end the group through its clean-up, session and all."""
    def leave(number, _):
        raise KeyboardInterrupt("signal %d" % number)
    for number in (signal.SIGTERM, signal.SIGHUP):
        signal.signal(number, leave)


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--build", required=True, help="the windows build directory")
    parser.add_argument("--source", required=True, help="the source tree")
    parser.add_argument("group", choices=sorted(GROUPS))
    args = parser.parse_args()
    # Wine takes only an absolute prefix.
    args.build = os.path.abspath(args.build)
    args.source = os.path.abspath(args.source)

    work_dir = artifacts_folder(args.build, args.group)
    leave_on_signals()
    template = make_template(os.path.join(args.build, "wine-template"))
    session = Session(os.path.join(args.build, "wine-sessions", "e2e_" + args.group), os.path.join(args.build, "bin"),
                      template=template)
    desktop = Desktop(session, work_dir)
    checker = Checker("e2e " + args.group, work_dir)
    checker.keep(desktop.trace_path)
    pictures = icons.load_all(os.path.join(args.source, "res", "icons"))
    context = Context(session, desktop, checker, TrayWatch(desktop, pictures), work_dir,
                      os.path.join(args.source, "padsim"))
    try:
        session.open()
        desktop.start()
        checker.desktop = desktop
        GROUPS[args.group](context)
    except BaseException as error:
        checker.crash(error)
    finally:
        for program in context.programs:
            program.stop()
        desktop.stop()
        session.close()
    code = checker.finish()
    if code:
        open(os.path.join(work_dir, FAILED_MARK), "w").close()
    return code


if __name__ == "__main__":
    sys.exit(main())
