"""The evaluation kit as someone on Windows meets it: the kit archive unpacked into a new
folder whose name has a blank and an accented letter, on a prefix where nothing of ours ever
ran. TryQuibTPCenter.exe, run from there, walks the program through its pictures, ends it and
prints a summary from the call log; run while another copy of the program runs, it refuses
and leaves that copy alone until asked to stop it; an unwritable call log, a program closed
mid-walk, a broken walk.txt and a launcher alone in a zip's folder each end it with one line;
Ctrl+C in its console ends the program by its exit command, and a launcher killed mid-walk
or closed takes the program with it. Then it runs again in a console of its own, as a double-click
starts it, with --hold: it ends the kit's own copy left running, keeps the program for
padctl, says it cannot write the summary, and shows the summary all the same."""

import glob
import os
import re
import shutil
import subprocess
import time
import zipfile

from quibe2e import calllog
from quibe2e.icons import finger_slot
from quibe2e.wine import WM_CLOSE, Desktop, Program

KIT_FOLDER = "Touchpad Prüfung"  # under C:\, as a user's own folder may be named
LAUNCHER = "TryQuibTPCenter.exe"
KIT_FILES = {"QuibTPCenter.exe", "QuibTPApi.dll", "padctl.exe", LAUNCHER, "walk.txt", "EVALKIT.txt", "SHA256SUMS"}
EXIT_PROGRAM, EXIT_KIT, EXIT_RUNNING, EXIT_LOG, EXIT_STOPPED, EXIT_SUMMARY = 1, 2, 3, 4, 6, 7
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


def launch(ctx, launcher, name, *options, verb="run"):
    """Starts the launcher on the desktop through quibpost, so that its exit code comes back;
    quibpost's output goes to a file of the group, and so does the launcher's unless the verb
    is "console", which gives it a console window of its own, as a double-click does."""
    output = os.path.join(ctx.work_dir, name + ".txt")
    ctx.checker.keep(output)
    # Wine reads the command line in the locale's encoding: the folder's name is UTF-8.
    env = dict(ctx.session.env, LC_ALL="C.UTF-8")
    process = ctx.session.start([ctx.session.exe("quibpost.exe"), "--desktop", Desktop.NAME, verb, launcher]
                                + list(options), output, env)
    return process, output


def pid_of(output, timeout=20):
    """The launcher's process id from quibpost's "started pid=N" line."""
    deadline = time.monotonic() + timeout
    while time.monotonic() < deadline:
        with open(output, encoding="utf-8", errors="replace") as out:
            match = re.search(r"started pid=(\d+)", out.read())
        if match:
            return match.group(1)
        time.sleep(0.1)
    return None


def wait_screen(ctx, pid, pattern, timeout, settle=0):
    """The text of the launcher's console once it matches pattern, or the last text read.
    Before the launcher's closing pause, settle seconds pass first: a reader attached at the
    moment it counts its console's processes would make it skip the pause."""
    time.sleep(settle)
    deadline = time.monotonic() + timeout
    while True:
        text = ctx.desktop.quibpost("screen", pid)[1] if pid else ""
        if re.search(pattern, text) or time.monotonic() >= deadline:
            return text
        time.sleep(0.2)


def nothing_runs(ctx, within=0):
    """True when no copy of the program runs, or none after up to `within` seconds."""
    deadline = time.monotonic() + within
    while ctx.desktop.quibpost("window", "0")[0] == 0:
        if time.monotonic() >= deadline:
            return False
        time.sleep(0.2)
    return True


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


def check_summary(ctx, text, shell, reports=WALK_STATUS_REPORTS):
    ctx.check("link: made at attempt 3 (2 refused" in text, "the summary shows the link, made after two refusals")
    poll = POLL.search(text)
    rate, period = (int(poll.group(1)), float(poll.group(2))) if poll else (0, 0.0)
    # Wine's timer gives a 10 ms timer its full 100 ticks a second.
    ctx.check(80 <= rate <= 110 and 9 <= period <= 11, "the summary shows about 100 poll ticks a second",
              poll.group(0) if poll else "no poll line")
    ctx.check("reports handled: %d (%d status" % (reports, reports) in text,
              "the summary counts the %d status reports" % reports)
    ctx.check("exit code: 0" in text, "the summary shows the program's exit code 0")
    entries = calllog.read(log_of(ctx, text) or "")
    delivered = len(calllog.events(entries, "deliver"))
    ctx.check(delivered == reports and calllog.events(entries, "unload"),
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
    ctx.check(code == 0, "the launcher ends with 0 after the walk", "exit code %s:\n%s" % (code, text[-1500:]))
    return check_summary(ctx, text, ctx.desktop.tray_calls()[shell_before:]), log_of(ctx, text)


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
    """A call log that cannot be written, a program closed in the middle of the walk, a walk
    the library cannot play and a launcher opened inside the zip: one line each, a non-zero
    exit and nothing left running."""
    os.remove(log_path)
    os.mkdir(log_path)  # a folder where the log goes: the launcher cannot create the file
    code, text = finish(*launch(ctx, launcher, "log-unwritable"))
    os.rmdir(log_path)
    ctx.check(code == EXIT_LOG and "cannot write the call log" in text and nothing_runs(ctx),
              "an unwritable call log is refused in one line, before the program starts",
              "exit code %s: %s" % (code, text.strip()))
    process, output = launch(ctx, launcher, "ended-early")
    ctx.tray.wait_for("idle", timeout=30)
    ctx.desktop.quibpost("post", hex(WM_CLOSE))
    code, text = finish(process, output)
    ctx.check(code == EXIT_PROGRAM and "ended early" in text and nothing_runs(ctx),
              "a program closed during the walk ends the trial with one line",
              "exit code %s: %s" % (code, text.strip()[-400:]))
    walk = os.path.join(os.path.dirname(kit_path(ctx, launcher)), "walk.txt")
    shutil.copy(walk, walk + ".good")
    with open(walk, "ab") as f:
        f.write(b"stauts 0 1 1\r\n")
    code, text = finish(*launch(ctx, launcher, "walk-broken"), timeout=30)
    os.replace(walk + ".good", walk)
    ctx.check(code == EXIT_KIT and "cannot play walk.txt (line " in text and "stauts" in text and nothing_runs(ctx),
              "a walk the library cannot play ends the trial at once, with the library's reason",
              "exit code %s: %s" % (code, text.strip()[-400:]))
    zipped = os.path.join(ctx.session.prefix, "drive_c", "Temp1_kit.zip")
    os.makedirs(zipped, exist_ok=True)
    shutil.copy(kit_path(ctx, launcher), zipped)
    code, text = finish(*launch(ctx, launcher.replace(KIT_FOLDER, "Temp1_kit.zip"), "inside-zip"), timeout=30)
    ctx.check(code == EXIT_KIT and "Extract All" in text, "a launcher opened inside the zip says to extract all",
              "exit code %s: %s" % (code, text.strip()))


def kit_path(ctx, launcher):
    return os.path.join(ctx.session.prefix, "drive_c", *launcher[3:].split("\\"))


def check_stops(ctx, launcher, log_path):
    """Ctrl+C in the launcher's console ends the program by its exit command; a launcher
    killed mid-walk, or whose window is closed, takes the program with it (Wine's console
    ends its processes on a close without a control event)."""
    shell_before = len(ctx.desktop.tray_calls())
    process, output = launch(ctx, launcher, "ctrl-c", verb="console")
    pid = pid_of(output)
    ctx.tray.wait_for("idle", timeout=30)
    ctx.desktop.quibpost("ctrlc", pid)
    text = wait_screen(ctx, pid, r"Press a key to close", 10, settle=5)
    ctx.desktop.quibpost("key", pid)
    code, _ = finish(process, output, timeout=15)
    entries = calllog.read(log_path)
    ctx.check(code == EXIT_STOPPED and "trial was stopped; QuibTPCenter.exe ended on its exit command" in text
              and "delete" in ctx.desktop.tray_calls()[shell_before:] and entries and entries[-1].name == "unload"
              and nothing_runs(ctx), "Ctrl+C mid-walk ends the program by its exit command: its icon goes, the "
              "log ends with the library's unload, and the launcher says so", "exit code %s:\n%s" % (code, text))
    for how in ("kill", "close"):
        process, output = launch(ctx, launcher, how, verb="console")
        pid = pid_of(output)
        ctx.tray.wait_for("idle", timeout=30)
        ctx.desktop.quibpost(how, pid)
        finish(process, output, timeout=15)
        ctx.check(nothing_runs(ctx, within=5), "a launcher %s mid-walk takes the program with it"
                  % ("ended by TerminateProcess" if how == "kill" else "whose console window is closed"))


def check_console_trial(ctx, launcher, summary_path):
    """The trial in a console window of its own, as a double-click starts it, with --hold,
    after the kit's own QuibTPCenter.exe was started alone, and with an unwritable summary."""
    leftover_output = os.path.join(ctx.work_dir, "leftover.txt")
    leftover = ctx.session.start([ctx.session.exe("quibpost.exe"), "--desktop", Desktop.NAME, "run",
                                  launcher.replace(LAUNCHER, "QuibTPCenter.exe")], leftover_output,
                                 dict(ctx.session.env, LC_ALL="C.UTF-8"))
    ctx.desktop.quibpost("window", "15000")
    if os.path.isfile(summary_path):
        os.remove(summary_path)
    os.mkdir(summary_path)
    shell_before = len(ctx.desktop.tray_calls())
    process, output = launch(ctx, launcher, "trial-2", "--hold", verb="console")
    pid = pid_of(output)
    text = wait_screen(ctx, pid, r"Press a key here to end the program", 120)
    leftover_code, _ = finish(leftover, leftover_output, timeout=5)
    ctx.check(leftover_code == 0 and "was already running" in text,
              "the kit's own copy, started alone, is ended with its exit command and the trial goes on",
              "that copy's exit code %s:\n%s" % (leftover_code, text))
    ctx.check("now: tray mode 1 again" in text and "now: idle again" in text,
              "the console names the walk's states as they come", text)
    code, out = ctx.session.run([kit_path(ctx, launcher).replace(LAUNCHER, "padctl.exe"), "status 0 3 200"])
    ok, shown = ctx.tray.wait_for(finger_slot(3, 2), timeout=10)
    ctx.check(code == 0 and ok, "with --hold the program stays, and padctl shows three firm fingers",
              "padctl %s %s; shows %s" % (code, out.strip(), shown))
    ctx.desktop.quibpost("key", pid)
    text = wait_screen(ctx, pid, r"Press a key to close this window", 20, settle=5)
    ctx.desktop.quibpost("key", pid)
    code, _ = finish(process, output, timeout=15)
    os.rmdir(summary_path)
    ctx.check(code == EXIT_SUMMARY and "cannot write the summary" in text and "\nSummary:" in text,
              "a key ends the program; the summary shows, and its file that cannot be written is said in one line",
              "exit code %s:\n%s" % (code, text))
    return check_summary(ctx, text, ctx.desktop.tray_calls()[shell_before:], WALK_STATUS_REPORTS + 1)


def run(ctx):
    kit = build_kit(ctx)
    if kit is None:
        return
    launcher = unpack(ctx, kit)
    first, log_path = check_walk(ctx, launcher, "trial-1")
    check_refusal(ctx, launcher)
    if log_path is None:
        return
    check_bad_ends(ctx, launcher, log_path)
    check_stops(ctx, launcher, log_path)
    summary_path = os.path.join(os.path.dirname(log_path), "QuibTPCenter-trial-summary.txt")
    second = check_console_trial(ctx, launcher, summary_path)
    ctx.check(first is not None and second == first + 1,
              "a second trial runs as the first, from a fresh log, with padctl's one picture more",
              "picture changes %s, then %s" % (first, second))
