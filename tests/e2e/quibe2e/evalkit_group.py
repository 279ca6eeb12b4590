"""The evaluation kit as someone on Windows meets it: the kit archive unpacked into a new
folder whose name has a blank and an accented letter, on a prefix where nothing of ours ever
ran. TryQuibTPCenter.exe, run from there, walks the program through its pictures, ends it and
prints a summary from the call log; run while another copy of the program runs, it refuses
and leaves that copy alone until asked to stop it; an unwritable call log and a program closed
mid-walk each end it with one line; then it runs again as the first time."""

import glob
import os
import re
import subprocess
import zipfile

from quibe2e import calllog
from quibe2e.icons import finger_slot
from quibe2e.wine import WM_CLOSE, Desktop, Program

KIT_FOLDER = "Touchpad Prüfung"  # under C:\, as a user's own folder may be named
LAUNCHER = "TryQuibTPCenter.exe"
KIT_FILES = {"QuibTPCenter.exe", "QuibTPApi.dll", "padctl.exe", LAUNCHER, "walk.txt", "EVALKIT.txt", "SHA256SUMS"}
EXIT_PROGRAM, EXIT_RUNNING, EXIT_LOG = 1, 3, 4
# States of the walk looked for on the screen while it plays, in the walk's order.
SEEN_STATES = ("idle", finger_slot(3, 2), "disabled", "application icon")
WALK_STATUS_REPORTS = 22
POLL = re.compile(r"poll: \d+ ticks in [\d.]+ s, (\d+) a second, median period ([\d.]+) ms")


def build_kit(ctx):
    """The package step's kit archive, made afresh from this build."""
    build = os.path.dirname(ctx.session.bin_dir)
    result = subprocess.run(["cmake", "--build", build, "--target", "package"], stdout=subprocess.PIPE,
                            stderr=subprocess.STDOUT, text=True, timeout=300)
    kits = glob.glob(os.path.join(build, "QuibTPCenter-*-win64-evalkit.zip"))
    ctx.check(result.returncode == 0 and len(kits) == 1, "the package step writes the kit archive",
              result.stdout[-800:])
    return kits[0] if kits else None


def unpack(ctx, kit):
    folder = os.path.join(ctx.session.prefix, "drive_c", KIT_FOLDER)
    with zipfile.ZipFile(kit) as archive:
        names = set(archive.namelist())
        archive.extractall(folder)
    ctx.check(names == KIT_FILES, "the kit holds the program, the simulated library, padctl, the launcher, "
              "the walk, EVALKIT.txt and SHA256SUMS", "holds %s" % sorted(names))
    return "C:\\%s\\%s" % (KIT_FOLDER, LAUNCHER)


def launch(ctx, launcher, name, *options):
    """Starts the launcher on the desktop, as a double-click would, through quibpost so that
    its exit code comes back; its output goes to a file of the group."""
    output = os.path.join(ctx.work_dir, name + ".txt")
    ctx.checker.keep(output)
    # Wine reads the command line in the locale's encoding: the folder's name is UTF-8.
    env = dict(ctx.session.env, LC_ALL="C.UTF-8")
    process = ctx.session.start([ctx.session.exe("quibpost.exe"), "--desktop", Desktop.NAME, "run", launcher]
                                + list(options), output, env)
    return process, output


def finish(process, output, timeout=240):
    try:
        process.wait(timeout=timeout)
    except subprocess.TimeoutExpired:
        process.kill()
        process.wait()
    with open(output, encoding="utf-8", errors="replace") as out:
        text = out.read()
    match = re.search(r"exit code=(\d+)", text)
    return (int(match.group(1)) if match else None), text


def log_of(ctx, text):
    """The call log the summary names, as a path in the prefix."""
    match = re.search(r"call log: C:\\(.+)", text)
    if match is None:
        return None
    return os.path.join(ctx.session.prefix, "drive_c", *match.group(1).strip().split("\\"))


def check_summary(ctx, text, code, shell):
    ctx.check(code == 0, "the launcher ends with 0 after the walk", "exit code %s:\n%s" % (code, text[-1500:]))
    ctx.check("link: made at attempt 3 (2 refused" in text, "the summary shows the link, made after two refusals")
    poll = POLL.search(text)
    rate, period = (int(poll.group(1)), float(poll.group(2))) if poll else (0, 0.0)
    # Wine's timer gives a 10 ms timer its full 100 ticks a second.
    ctx.check(80 <= rate <= 110 and 9 <= period <= 11, "the summary shows about 100 poll ticks a second",
              poll.group(0) if poll else "no poll line")
    ctx.check("reports handled: %d (%d status" % (WALK_STATUS_REPORTS, WALK_STATUS_REPORTS) in text,
              "the summary counts the walk's %d status reports" % WALK_STATUS_REPORTS)
    ctx.check("exit code: 0" in text, "the summary shows the program's exit code 0")
    entries = calllog.read(log_of(ctx, text) or "")
    delivered = len(calllog.events(entries, "deliver"))
    ctx.check(delivered == WALK_STATUS_REPORTS and calllog.events(entries, "unload"),
              "the log the summary names holds the walk to the program's end", "%d deliveries" % delivered)
    changes = re.search(r"picture changes: (\d+)", text)
    # The launcher counts redraws from the log alone; the shell saw the real ones.
    ctx.check(changes is not None and int(changes.group(1)) == shell.count("modify"),
              "the summary's picture changes are the redraws the shell received",
              "%s against %d" % (changes.group(0) if changes else "no picture line", shell.count("modify")))
    ctx.figure("launcher's summary: %s" % "; ".join(line.strip() for line in text.splitlines()
                                                     if re.match(r"\s+(link|poll|reports|picture|exit)", line)))
    ctx.figure("explorer's trace: %d add(s), %d modify, %d removal(s)"
               % (shell.count("add"), shell.count("modify"), shell.count("delete")))
    return int(changes.group(1)) if changes else None


def check_walk(ctx, launcher, name):
    shell_before = len(ctx.desktop.tray_calls())
    process, output = launch(ctx, launcher, name)
    for slot in SEEN_STATES:
        # A launcher that has already ended shows nothing more: no need to wait for it.
        ok, shown = ctx.tray.wait_for(slot, timeout=60) if process.poll() is None else (False, ["the launcher ended"])
        ctx.check(ok, "the walk shows %s on the screen" % slot, "shows %s" % (shown or "no known picture"))
    code, text = finish(process, output)
    return check_summary(ctx, text, code, ctx.desktop.tray_calls()[shell_before:]), log_of(ctx, text)


def check_refusal(ctx, launcher):
    installed = Program(ctx.session, ctx.desktop, ctx.work_dir, name="installed")
    ctx.track(installed)
    installed.start()
    code, text = finish(*launch(ctx, launcher, "refusal"))
    ctx.check(code == EXIT_RUNNING and "already runs" in text and "--stop-installed" in text
              and "next logon" in text, "with a copy running, the launcher refuses in one line and says how to "
              "stop that copy", "exit code %s: %s" % (code, text.strip()))
    ctx.check(installed.running() and ctx.desktop.quibpost("window", "1000")[0] == 0,
              "the running copy is left alone")
    code, text = finish(*launch(ctx, launcher, "stop-installed", "--stop-installed"))
    ended = installed.wait_exit(15)
    ctx.check(code == 0 and ended == 0, "--stop-installed ends the running copy with its exit command",
              "launcher %s, program %s: %s" % (code, ended, text.strip()))


def check_bad_ends(ctx, launcher, log_path):
    """A call log that cannot be written, and a program closed in the middle of the walk: one
    line each, a non-zero exit and nothing left running."""
    os.remove(log_path)
    os.mkdir(log_path)  # a folder where the log goes: the launcher cannot create the file
    code, text = finish(*launch(ctx, launcher, "log-unwritable"))
    os.rmdir(log_path)
    nothing_runs = ctx.desktop.quibpost("window", "0")[0] != 0
    ctx.check(code == EXIT_LOG and "cannot write the call log" in text and nothing_runs,
              "an unwritable call log is refused in one line, before the program starts",
              "exit code %s: %s" % (code, text.strip()))
    process, output = launch(ctx, launcher, "ended-early")
    ctx.tray.wait_for("idle", timeout=30)
    ctx.desktop.quibpost("post", hex(WM_CLOSE))
    code, text = finish(process, output)
    nothing_runs = ctx.desktop.quibpost("window", "0")[0] != 0
    ctx.check(code == EXIT_PROGRAM and "ended early" in text and nothing_runs,
              "a program closed during the walk ends the trial with one line",
              "exit code %s: %s" % (code, text.strip()[-400:]))


def run(ctx):
    kit = build_kit(ctx)
    if kit is None:
        return
    launcher = unpack(ctx, kit)
    first, log_path = check_walk(ctx, launcher, "trial-1")
    check_refusal(ctx, launcher)
    if log_path:
        check_bad_ends(ctx, launcher, log_path)
    second, _ = check_walk(ctx, launcher, "trial-2")
    ctx.check(first is not None and first == second, "a second trial runs as the first, from a fresh log",
              "picture changes %s, then %s" % (first, second))
