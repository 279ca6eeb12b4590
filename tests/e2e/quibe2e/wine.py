"""Wine processes for the end-to-end runs: the virtual desktop with its taskbar, and the program
under test with the simulated library beside it, in a session of session.py.

Wine's helper processes inherit standard handles and outlive the call, so every Wine process
writes its output to a file and is waited for, never read through a pipe to its end.
"""

import os
import re
import subprocess
import time

from quibe2e import screen
from quibe2e.identity import TRAY_ICON_ID

WM_CLOSE = 0x0010
WM_COMMAND = 0x0111
WM_WTSSESSION_CHANGE = 0x02B1
WTS_CONSOLE_CONNECT = 1
WTS_CONSOLE_DISCONNECT = 2
TRAY_ICON_HEX = "%#x" % TRAY_ICON_ID  # as Wine's systray trace writes it


def windows_path(path):
    """The Z: drive path of a Linux path, for settings that Windows code reads."""
    return "Z:" + os.path.abspath(path).replace("/", "\\")


def _wait_for(condition, timeout):
    deadline = time.monotonic() + timeout
    while not condition():
        if time.monotonic() >= deadline:
            return False
        time.sleep(0.2)
    return True


class Desktop:
    """Wine's virtual desktop named "shell", which Wine gives a taskbar with a notification
    area. quibpost holds it open between programs; the desktop ends with its last program."""

    NAME = "shell"

    def __init__(self, session, work_dir, size=(640, 480)):
        self.session = session
        self.size = size
        self.trace_path = os.path.join(work_dir, "explorer.log")
        self.hold = "e2e%d" % os.getpid()
        self.process = None
        self.window = None

    def start(self, timeout=40):
        # A desktop of the same name left by an earlier run would take this one's programs
        # (and its tray trace would be written elsewhere).
        if not _wait_for(lambda: self._find_window() is None, 15):
            raise RuntimeError("a '%s' Wine desktop is already open on %s" % (self.NAME, self.session.display))
        env = dict(self.session.env, WINEDEBUG="-all,trace+systray,warn+systray")
        self.process = self.session.start(
            ["explorer", "/desktop=%s,%dx%d" % ((self.NAME,) + self.size),
             self.session.exe("quibpost.exe"), "hold", self.hold], self.trace_path, env)
        deadline = time.monotonic() + timeout
        while time.monotonic() < deadline:
            self.window = self._find_window()
            if self.window and self.quibpost("configurator")[0] == 0:
                return
            if self.process.poll() is not None:
                break
            time.sleep(0.2)
        raise RuntimeError("the Wine desktop did not come up (see %s)" % self.trace_path)

    def _find_window(self):
        # Wine 8 titles it "shell - Wine desktop", Wine 10 "shell - Wine Desktop".
        result = subprocess.run(["xwininfo", "-display", self.session.display, "-root", "-tree"],
                                stdout=subprocess.PIPE, stderr=subprocess.DEVNULL, text=True, timeout=20)
        match = re.search(r'(0x[0-9a-f]+) "%s - Wine [Dd]esktop"' % self.NAME, result.stdout)
        return match.group(1) if match else None

    def stop(self, timeout=15):
        if self.process is None:
            return
        self.quibpost("close-configurator")
        self.session.run([self.session.exe("quibpost.exe"), "release", self.hold])
        try:
            self.process.wait(timeout=timeout)
        except subprocess.TimeoutExpired:
            self.process.kill()
            self.process.wait()
        self.process = None
        _wait_for(lambda: self._find_window() is None, timeout)

    def quibpost(self, *args, timeout=30):
        return self.session.run([self.session.exe("quibpost.exe"), "--desktop", self.NAME] + list(args),
                                timeout=timeout)

    def shot(self):
        """The desktop as it is now. The taskbar is repainted first: Wine 10 draws a changed
        picture over the old one without erasing it, so unrepainted, a picture's transparent
        pixels could still show the one before (Wine 8 and Windows erase)."""
        # A repaint failed, rarely and at once, with Wine saying nothing (seen once in some
        # thousand on an idle machine): it gets two more tries, each said.
        for _ in range(3):
            code, output = self.quibpost("repaint-tray")
            if code == 0:
                break
            print("  --    repaint-tray ended %s: %s" % (code, output.strip() or "without a word"), flush=True)
            time.sleep(0.2)
        else:
            raise RuntimeError("the taskbar could not be repainted: " + output.strip())
        return screen.grab(self.session.display, self.window)

    def double_click(self, x, y):
        """A real double-click with the left button at (x, y) of the desktop."""
        subprocess.run(["xdotool", "mousemove", "--window", self.window, str(x), str(y),
                        "click", "--repeat", "2", "--delay", "80", "1"],
                       env=self.session.env, check=True, timeout=20)
        # Move away, so that a later double-click is not taken as a third click.
        subprocess.run(["xdotool", "mousemove", "--window", self.window, "10", "10"],
                       env=self.session.env, check=True, timeout=20)

    def taskbar_sample(self):
        """A strip of the taskbar near the bottom edge, right of the middle, where its own
        colour dominates (the notification area's icons are few and small)."""
        width, height = self.size
        return (width // 2, height - 6, width // 2, 4)

    def tray_region(self):
        """Where the notification area lies: the right end of the taskbar along the bottom."""
        width, height = self.size
        return (width // 2, height - 40, width // 2, 40)

    def tray_calls(self):
        """The shell's handling of the program's icon, from explorer's systray trace: a list of
        "add", "duplicate" (an add the shell refused, the icon being there), "modify" and
        "delete"."""
        try:
            with open(self.trace_path, "r", errors="replace") as trace:
                lines = trace.read().splitlines()
        except FileNotFoundError:
            return []
        calls = []
        after_add = False
        for line in lines:
            if ":systray:" not in line:
                continue
            if "trace:systray:add_icon" in line and TRAY_ICON_HEX in line:
                calls.append("add")
                after_add = True
            elif "duplicate tray icon add" in line:
                if calls and calls[-1] == "add":
                    calls[-1] = "duplicate"
                after_add = False
            elif "trace:systray:modify_icon" in line and TRAY_ICON_HEX in line:
                if not after_add:  # an accepted add sets the icon up through modify_icon
                    calls.append("modify")
                after_add = False
            elif "trace:systray:hide_icon" in line and TRAY_ICON_HEX in line:
                calls.append("delete")
                after_add = False
        return calls


class Program:
    """QuibTPCenter.exe (or a test build of it, named by exe) on the desktop, started through
    quibpost so that its exit code comes back, with the simulated library's log, scenario and
    control pipe."""

    def __init__(self, session, desktop, work_dir, scenario="", name="program", exe="QuibTPCenter.exe", debug=None):
        self.session = session
        self.debug = debug  # WINEDEBUG for the program's run, its output going to output_path
        self.exe = exe
        self.desktop = desktop
        self.log_path = os.path.join(work_dir, name + "-calls.log")
        self.scenario_path = os.path.join(work_dir, name + "-scenario.txt")
        self.output_path = os.path.join(work_dir, name + "-run.txt")
        self.scenario = scenario
        self.pipe = "quibe2e%d" % os.getpid()
        self.process = None
        self.started_at = None

    def start(self):
        for path in (self.log_path, self.output_path):
            if os.path.exists(path):
                os.remove(path)
        with open(self.scenario_path, "w") as scenario:
            scenario.write(self.scenario)
        env = dict(self.session.env, QUIBSIM_LOG=windows_path(self.log_path),
                   QUIBSIM_SCENARIO=windows_path(self.scenario_path), QUIBSIM_PIPE=self.pipe)
        if self.debug:
            env["WINEDEBUG"] = self.debug
        self.started_at = time.monotonic()
        self.process = self.session.start(
            [self.session.exe("quibpost.exe"), "--desktop", Desktop.NAME, "run",
             self.session.exe(self.exe)], self.output_path, env)
        code, output = self.desktop.quibpost("window", "15000")
        if code != 0:
            raise RuntimeError("the program's window did not appear: " + output.strip())

    def running(self):
        return self.process is not None and self.process.poll() is None

    def wait_exit(self, timeout=15):
        """The program's exit code, or None while it still runs at the time limit."""
        try:
            self.process.wait(timeout=timeout)
        except subprocess.TimeoutExpired:
            return None
        with open(self.output_path, "r", errors="replace") as output:
            match = re.search(r"exit code=(\d+)", output.read())
        return int(match.group(1)) if match else None

    def pad(self, *commands):
        """Sends scenario commands over the control pipe and raises unless the library took them.

        padctl names every failure of its own. An exit without a word is Wine failing to run it
        (seen once on a loaded machine), so it gets one more run with Wine's errors shown."""
        script = " ; ".join(commands)
        args = [self.session.exe("padctl.exe"), "--pipe", self.pipe, script]
        code, output = self.session.run(args)
        if code not in (0, None) and not output.strip():
            print("  --    padctl %s ended %s without a word; run once more" % (script, code), flush=True)
            code, output = self.session.run(args, env=dict(self.session.env, WINEDEBUG="fixme-all"))
        if code != 0:
            raise RuntimeError("padctl %s failed (%s): %s" % (script, code, output.strip()))

    def post(self, message, wparam=0, lparam=0):
        code, output = self.desktop.quibpost("post", hex(message), str(wparam), str(lparam))
        if code != 0:
            raise RuntimeError("posting %#x failed: %s" % (message, output.strip()))

    def send(self, message, wparam=0, lparam=0):
        code, output = self.desktop.quibpost("send", hex(message), str(wparam), str(lparam))
        if code != 0:
            raise RuntimeError("sending %#x failed: %s" % (message, output.strip()))

    def stop(self):
        """Ends the program if a check left it running."""
        if not self.running():
            return
        self.desktop.quibpost("post", hex(WM_CLOSE))
        if self.wait_exit(10) is None and self.running():
            self.process.kill()
            self.process.wait()
