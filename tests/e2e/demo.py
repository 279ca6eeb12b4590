#!/usr/bin/env python3
"""The demo: the real QuibTPCenter.exe under Wine, on a virtual desktop with a taskbar, with the
simulated touchpad library beside it. The simulated pad walks through every state the
notification-area icon can show; each is captured from the screen and checked against the
program's own icon art, and the captures make one labelled picture.

    demo.py --build DIR --source DIR [--display] [--update-docs]

Started by ./scripts/demo, which builds DIR first. --display runs on your own $DISPLAY instead
of a private Xvfb; --update-docs writes docs/demo.png and docs/tray.png.
"""

import argparse
import os
import subprocess
import sys
import time

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))

from quibe2e import calllog, icons, montage, summary, waits  # noqa: E402
from quibe2e.icons import CONTACT_BYTES, CONTACT_NAMES, finger_slot  # noqa: E402
from quibe2e.identity import IDM_EXIT  # noqa: E402
from quibe2e.tray import TrayWatch  # noqa: E402
from quibe2e.session import Session, make_template  # noqa: E402
from quibe2e.wine import WM_COMMAND, Desktop, Program  # noqa: E402

CONFIGURATOR_DIR = "C:\\QuibTP\\"
HOLD_MS = 2500  # how long the first poll tick is held back to show the not-linked picture


def say(text):
    print("demo: " + text, flush=True)


def read_text(path):
    with open(path, errors="replace") as file:
        return file.read()


class Demo:
    def __init__(self, args):
        self.build = os.path.abspath(args.build)
        self.source = os.path.abspath(args.source)
        self.out_dir = os.path.join(self.build, "demo")
        self.session_dir = os.path.join(self.build, "wine-sessions", "demo")
        self.own_display = args.display
        self.update_docs = args.update_docs
        self.captures = []
        self.mismatches = []
        os.makedirs(self.out_dir, exist_ok=True)

    # --- the Wine session --------------------------------------------------------------

    def start_session(self):
        display = None
        if self.own_display:
            display = os.environ.get("DISPLAY")
            if not display:
                raise SystemExit("demo: --display needs $DISPLAY")
        template = os.path.join(self.build, "wine-template")
        if not os.path.exists(os.path.join(template, "ready.json")):
            say("creating the build's Wine prefix (first run only, takes a minute)")
        session = Session(self.session_dir, os.path.join(self.build, "bin"), template=make_template(template),
                          display=display).open()
        say("Wine on display %s%s" % (session.display, " (yours)" if self.own_display else " (a private Xvfb)"))
        return session

    def install_configurator(self, session):
        subprocess.run([os.path.join(self.source, "padsim", "install-configurator"), "install", session.prefix,
                        CONFIGURATOR_DIR, session.exe("QuibTPConfigure64.exe")],
                       env=session.env, check=True, stdout=subprocess.DEVNULL, timeout=60)
        say("stand-in configurator installed at %sDuVOViraro\\x64\\QuibTPConfigure64.exe" % CONFIGURATOR_DIR)

    # --- captures ----------------------------------------------------------------------

    def capture(self, label, expected=None, gone=False):
        """Waits for the expected picture (or for the icon to be gone), then keeps the icon's
        place from the screen under the label."""
        if gone:
            ok = self.tray.wait_gone()
            seen = "no icon" if ok else "an icon"
        else:
            ok, shown = self.tray.wait_for(expected)
            seen = ", ".join(shown) or "no known picture"
        path = os.path.join(self.out_dir, "%02d.png" % len(self.captures))
        montage.capture(self.tray.last_shot, self.tray.rect or self.corner(), path)
        self.captures.append((label, path))
        if ok:
            say("  %-28s captured" % label)
        else:
            self.mismatches.append(label)
            say("  %-28s MISMATCH: the screen shows %s" % (label, seen))
        return ok

    def corner(self):
        """Where the first icon of the notification area goes, for captures without an icon."""
        width, height = self.desktop.size
        return (width - 18, height - 18, 16, 16)

    def pad_state(self, label, expected, *commands):
        self.program.pad(*commands)
        return self.capture(label, expected)

    # --- the run -----------------------------------------------------------------------

    def show_not_linked(self):
        """The not-linked picture shows from the link's add until the first poll tick, 10 ms
        later. quibpost holds that tick back by keeping the program's message queue full
        (timers come only to an empty queue) while the library accepts the link."""
        refusals = waits.log_until(
            self.program.log_path, lambda e: len(calllog.calls(e, "TpConnect")) >= 2, timeout=10)
        say("the library refuses the link: %d attempts so far, no icon yet"
            % len(calllog.calls(refusals, "TpConnect")))
        self.capture("not linked yet: no icon", gone=True)
        hold_output = os.path.join(self.out_dir, "linkheld.txt")
        holder = self.session.start(
            [self.session.exe("quibpost.exe"), "--desktop", Desktop.NAME, "linkheld", str(HOLD_MS),
             self.session.exe("padctl.exe"), "--pipe", self.program.pipe, "refuse", "0"], hold_output)
        waits.until(lambda: "link posted" in read_text(hold_output), timeout=10)
        shown = self.capture("not-linked picture", "not linked")
        if not shown:
            say("  (the first poll tick came before the screenshot: this machine is busy)")
        holder.wait(timeout=30)

    def walk_states(self):
        self.capture("idle", "idle")
        for fingers in range(1, 6):
            for level in range(3):
                self.pad_state("%d finger%s, %s" % (fingers, "s" if fingers > 1 else "", CONTACT_NAMES[level]),
                               finger_slot(fingers, level), "status 0 %d %d" % (fingers, CONTACT_BYTES[level]))
        self.pad_state("left button", "left button", "status 1 0 0")
        self.pad_state("right button", "right button", "status 2 0 0", "status 4 0 0")
        self.pad_state("disabled", "disabled", "status 8 0 0", "disabled 1")
        self.pad_state("tray mode 2: app icon", "application icon", "disabled 0", "traymode 2")
        self.program.pad("traymode 0")
        self.capture("tray mode 0: no icon", gone=True)
        self.pad_state("tray mode 1 again", finger_slot(2, 1), "status 0 2 %d" % CONTACT_BYTES[1], "traymode 1")

    def write_tray_picture(self):
        """docs/tray.png: the taskbar's corner with the live icon, enlarged three times."""
        width, height = self.desktop.size
        shot = self.tray.last_shot
        path = os.path.join(self.out_dir, "tray.png")
        shot.save(path, crop=(width - 128, height - 36, 128, 36), scale=3)
        return path

    def finish_program(self):
        self.program.post(WM_COMMAND, IDM_EXIT)
        code = self.program.wait_exit(15)
        entries = waits.log_until(self.program.log_path, lambda e: calllog.events(e, "unload"), timeout=5)
        return code, entries

    def write_grid(self):
        target = os.path.join(self.source, "docs", "demo.png") if self.update_docs \
            else os.path.join(self.out_dir, "demo.png")
        montage.grid(self.captures, target,
                     "QUIB Touch Pad Center under Wine, state by state")
        return target

    def run(self):
        self.session = self.start_session()
        try:
            self.install_configurator(self.session)
            self.desktop = Desktop(self.session, self.out_dir)
            self.desktop.start()
            say("virtual desktop up (wine explorer /desktop=%s,%dx%d)" % ((Desktop.NAME,) + self.desktop.size))
            self.tray = TrayWatch(self.desktop, icons.load_all(os.path.join(self.source, "res", "icons")))
            self.program = Program(self.session, self.desktop, self.out_dir, scenario="refuse 1000000\n",
                                   name="demo")
            self.program.start()
            say("QuibTPCenter.exe running with the simulated QuibTPApi.dll; call log %s" % self.program.log_path)
            try:
                self.show_not_linked()
                self.walk_states()
                tray_path = self.write_tray_picture()
                # The shell's own clean-up of the icon when the window goes is not the program's.
                shell = self.desktop.tray_calls()
                code, entries = self.finish_program()
            finally:
                self.program.stop()
        finally:
            if getattr(self, "desktop", None) is not None:
                self.desktop.stop()
            self.session.close()
        grid_path = self.write_grid()
        if self.update_docs:
            os.replace(tray_path, os.path.join(self.source, "docs", "tray.png"))
            tray_path = os.path.join(self.source, "docs", "tray.png")
        say("summary:")
        for line in summary.lines(entries, shell, code):
            say("  " + line)
        say("picture of every state: %s" % grid_path)
        say("the taskbar's corner:   %s" % tray_path)
        if self.mismatches:
            say("%d capture(s) did not show the expected picture: %s" % (len(self.mismatches), ", ".join(self.mismatches)))
        return 0 if code == 0 and not self.mismatches else 1


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--build", required=True)
    parser.add_argument("--source", required=True)
    parser.add_argument("--display", action="store_true", help="run on your own $DISPLAY")
    parser.add_argument("--update-docs", action="store_true", help="write docs/demo.png and docs/tray.png")
    started = time.monotonic()
    try:
        code = Demo(parser.parse_args()).run()
    except KeyboardInterrupt:  # its session is closed on the way out
        say("stopped; nothing of it runs any more")
        return 130
    say("done in %.0f s" % (time.monotonic() - started))
    return code


if __name__ == "__main__":
    sys.exit(main())
