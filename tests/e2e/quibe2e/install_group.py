"""What the touchpad maker's installer does with the program, end to end: it copies the shipped
QuibTPCenter.exe and the library into a folder under Program Files and starts it from there;
an upgrade posts the exit command, waits only until the window is gone, puts the next release
in place and starts it at once, while the old process may still be ending (the simulated
library's slow detach keeps it alive); and the Run value of the install notes starts the
program at logon. Afterwards the prefix is left as it was found."""

import copy
import os
import re
import shutil

from quibe2e import screen, waits
from quibe2e.calllog import calls
from quibe2e.icons import finger_slot
from quibe2e.identity import IDM_EXIT
from quibe2e.wine import WM_COMMAND, Desktop, Program, windows_path

FOLDER = "C:\\Program Files\\QUIB\\QUIB Touch Pad"
EXE = "QuibTPCenter.exe"
LIBRARY = "QuibTPApi.dll"
NEXT_BUILD = "QuibTPCenter_next.exe"
NEXT_VERSION = "1.0.0.13"
RUN_KEY = "HKLM\\Software\\Microsoft\\Windows\\CurrentVersion\\Run"
RUN_VALUE = "QuibTPCenter"
WINEBOOT = "C:\\windows\\system32\\wineboot.exe"
# How long the old copy's library lingers in its detach once the window is gone: the most the
# library allows, so that the upgrade (milliseconds from the window's end to the new copy's
# start) comes while the old process is still ending however loaded the machine; 300 ms was
# seen to run out. The new copy is looked at meanwhile.
DETACH_DELAY_MS = 5000
WINDOW = re.compile(r"window pid=(\d+) copies=(-?\d+) version=(\S+) image=(.*)")


def folder_on_disk(prefix):
    """The install folder as a Linux path inside the prefix's drive_c."""
    return os.path.join(prefix, "drive_c", *FOLDER.split("\\")[1:])


def target():
    return FOLDER + "\\" + EXE


def library_env(program):
    """The environment a copy of the program is started with: its own log and pipe."""
    return dict(program.session.env, QUIBSIM_LOG=windows_path(program.log_path), QUIBSIM_PIPE=program.pipe)


def window_info(ctx, timeout_ms=5000):
    """(pid, copies, version, image) of the program's window on the desktop, or None."""
    code, output = ctx.desktop.quibpost("window", str(timeout_ms))
    match = WINDOW.search(output)
    if code != 0 or match is None:
        return None
    return int(match.group(1)), int(match.group(2)), match.group(3), match.group(4).strip()


def linked_pids(log_path):
    """The processes whose TpConnect the library accepted, from the call log."""
    accepted = waits.log_until(log_path, lambda e: [c for c in calls(e, "TpConnect") if c.value("ret") == 1],
                               timeout=10)
    return [c.pid for c in calls(accepted, "TpConnect") if c.value("ret") == 1]


def pictures_shown(ctx):
    """The places in the notification area that show one of the program's pictures."""
    shot = ctx.desktop.shot()
    ground = screen.background(shot, ctx.desktop.taskbar_sample())
    places = set()
    for icon in ctx.tray.icons.values():
        places.update(screen.Pattern(icon, ground).find(shot, ctx.desktop.tray_region()))
    return places


def check_mirrors(ctx, program, command, slot):
    program.pad(command)
    ok, shown = ctx.tray.wait_for(slot)
    ctx.check(ok, "a status report shows %s" % slot, "shows %s" % shown)
    return ok


class Upgrade(Program):
    """The next release as the installer brings it: quibpost's upgrade tells the running copy
    to exit, waits only until its window is gone, renames the old file aside, moves the new
    one in and starts it at once, then waits for it as run does."""

    def __init__(self, session, desktop, work_dir, staged):
        super().__init__(session, desktop, work_dir, name="upgraded")
        self.staged = staged
        self.pipe += "u"  # the old copy may still hold its pipe while it ends

    def start(self):
        self.process = self.session.start(
            [self.session.exe("quibpost.exe"), "--desktop", Desktop.NAME, "upgrade", "10000", self.staged,
             target()], self.output_path, library_env(self))

    def started(self):
        """(pid, whether the old process still ran at the start), once the start is announced."""
        def announced():
            with open(self.output_path, "r", errors="replace") as output:
                return re.search(r"started pid=(\d+) previous=(\w+)", output.read())
        match = waits.until(announced, timeout=15)
        return (int(match.group(1)), match.group(2) == "running") if match else (None, None)


def install(ctx, session):
    folder = folder_on_disk(session.prefix)
    shutil.rmtree(folder, ignore_errors=True)
    os.makedirs(folder)
    for name in (EXE, LIBRARY):
        shutil.copy2(session.exe(name), folder)
    lingering = copy.copy(session)
    lingering.env = dict(session.env, QUIBSIM_DETACH_DELAY_MS=str(DETACH_DELAY_MS))
    program = Program(lingering, ctx.desktop, ctx.work_dir, name="installed", exe=os.path.join(folder, EXE))
    ctx.track(program)
    program.start()
    info = window_info(ctx)
    ctx.check(info and info[3] == target(), "the program runs from the install folder", "window %s" % (info,))
    ctx.check(info and info[2] not in (NEXT_VERSION, "none"), "the shipped file's version record is read",
              "version %s" % (info and info[2]))
    ctx.check(linked_pids(program.log_path) == [info and info[0]], "it links")
    ok, shown = ctx.tray.wait_for("idle", timeout=10)
    ctx.check(ok, "its icon appears with the idle picture", "shows %s" % shown)
    return program if ok and check_mirrors(ctx, program, "status 0 2 4", finger_slot(2, 2)) else None


def upgrade(ctx, session, old):
    # The installer unpacks the next release beside the program, then swaps the files.
    shutil.copy2(session.exe(NEXT_BUILD), os.path.join(folder_on_disk(session.prefix), EXE + ".new"))
    new = Upgrade(session, ctx.desktop, ctx.work_dir, target() + ".new")
    ctx.track(new)
    new.start()
    pid, old_running = new.started()
    ctx.check(pid is not None, "the upgrade closes the old copy's window and starts the new file")
    ctx.check(old_running, "the new copy starts while the old process is still ending")
    # While the old process lingers. A copy that never linked cannot show a report; Wine's
    # taskbar drops the old copy's icon once its window is gone.
    linked = ctx.check(pid is not None and linked_pids(new.log_path) == [pid], "the new copy links")
    if linked and check_mirrors(ctx, new, "status 0 3 4", finger_slot(3, 2)):
        counts = []
        waits.until(lambda: counts.append(len(pictures_shown(ctx))) or counts[-1] == 1, timeout=5)
        ctx.check(counts[-1] == 1, "the notification area shows one icon, the new copy's",
                  "%d pictures" % counts[-1])
    code = old.wait_exit(DETACH_DELAY_MS / 1000 + 10)
    ctx.check(code == 0, "the old copy ends with exit code 0", "exit code %s" % code)
    info = window_info(ctx)
    # The detail is made on a passing run too, so it does not wait for the new copy.
    if not ctx.check(info and info[0] == pid, "the new copy runs on",
                     "window %s; the new copy ended with exit code %s" % (info, new.wait_exit(0))):
        return None
    ctx.check(info[1] == 1, "exactly one copy runs", "%d copies" % info[1])
    ctx.check(info[2] == NEXT_VERSION and info[3] == target(), "it runs the new file, version " + NEXT_VERSION,
              "version %s of %s" % (info[2], info[3]))
    return new


def stop(ctx, program):
    program.post(WM_COMMAND, IDM_EXIT)
    code = program.wait_exit(10)
    ctx.check(code == 0, "the exit command ends the upgraded copy", "exit code %s" % code)
    ctx.check(ctx.tray.wait_gone(), "its icon goes with it")


def logon(ctx, session):
    """A simulated logon: wineboot without arguments runs the HKLM Run values. It is started
    inside the desktop, since a program started plainly lands on Wine's default desktop, where
    neither the taskbar nor quibpost sees it; what wineboot starts inherits its desktop and its
    environment (the library's log and pipe)."""
    code, output = session.run(["reg", "add", RUN_KEY, "/v", RUN_VALUE, "/t", "REG_SZ", "/d",
                                '"%s"' % target(), "/f"])
    ctx.check(code == 0, "the Run value is set", output.strip())
    program = Program(session, ctx.desktop, ctx.work_dir, name="logon")
    program.pipe += "l"
    ctx.track(program)
    code, output = session.run([session.exe("quibpost.exe"), "--desktop", Desktop.NAME, "run", WINEBOOT],
                               env=library_env(program))
    ctx.check(code == 0, "the simulated logon runs", output.strip())
    info = window_info(ctx, 15000)
    ctx.check(info and info[3] == target(), "the logon starts the program from the install folder, on the desktop",
              "window %s" % (info,))
    linked = linked_pids(program.log_path)
    ctx.check(info and linked == [info[0]], "it links, logging where the environment says",
              "TpConnect accepted for %s" % linked)
    ok, shown = ctx.tray.wait_for("idle", timeout=10)
    ctx.check(ok, "its icon appears with the idle picture", "shows %s" % shown)
    if ok:
        check_mirrors(ctx, program, "status 0 1 3", finger_slot(1, 1))


def uninstall(ctx, session):
    """Ends a copy the logon started, removes the Run value and the folder."""
    code, output = ctx.desktop.quibpost("exit", "10000")
    ctx.check(code == 0, "the exit command ends the copy the logon started", output.strip())
    session.run(["reg", "delete", RUN_KEY, "/v", RUN_VALUE, "/f"])
    code, _ = session.run(["reg", "query", RUN_KEY, "/v", RUN_VALUE])
    ctx.check(code not in (0, None), "the Run value is removed again")
    folder = folder_on_disk(session.prefix)
    shutil.rmtree(folder, ignore_errors=True)
    try:
        os.rmdir(os.path.dirname(folder))  # the maker's folder, when nothing else is in it
    except OSError:
        pass


def run(ctx):
    try:
        old = install(ctx, ctx.session)
        new = upgrade(ctx, ctx.session, old) if old else None
        if new:
            stop(ctx, new)
        logon(ctx, ctx.session)
    finally:
        uninstall(ctx, ctx.session)
