"""The evaluation kit as someone on Windows meets it: the kit archive unpacked into a new
folder whose name has a blank and an accented letter, on a prefix where nothing of ours ever
ran. Four parts, each on a prefix and desktop of its own, each unpacking the kit itself:

- walk: TryQuibTPCenter.exe, run from there, walks the program through all its pictures, ends
  it and prints a summary from the call log, while a second launcher and --stop-installed leave
  that trial alone.
- refusals: unpacked into Downloads beside a stranger's WTSAPI32.dll, which the program would
  load from there, it refuses and starts nothing; run while another copy of the program runs,
  it refuses and leaves that copy alone until asked to stop it; an unwritable call log, --hold
  without a console, a program closed mid-walk, a broken walk.txt and a launcher alone in an
  archive tool's folder each end it with one line.
- stops: Ctrl+C in its console ends the program by its exit command, also at --hold, and a
  launcher killed mid-walk or closed takes the program with it.
- console: it runs once, then again in a console of its own, as a double-click starts it, with
  --hold: it ends the kit's own copy left running, keeps the program for padctl through
  modifier keys alone, says it cannot write the summary, and shows the summary all the same,
  of a fresh log.

All but the walk part play a short walk of the test's own in place of the kit's walk.txt.
"Nothing runs" is the program's window and the process list both looked at; a look that fails
is never "nothing"."""

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
EXIT_PROGRAM, EXIT_KIT, EXIT_RUNNING, EXIT_LOG, EXIT_USAGE, EXIT_STOPPED, EXIT_SUMMARY = 1, 2, 3, 4, 5, 6, 7
VK_SHIFT, VK_CONTROL, VK_MENU, VK_LWIN = 0x10, 0x11, 0x12, 0x5B
# After a key that must not answer: the time a launcher that wrongly took it needs to act on it.
KEY_SETTLE = 1.5
# From the program's end to the launcher's count of its console's processes, before the pause:
# the call log read and the summary written.
PAUSE_SETTLE = 1.5
# Folders that Explorer, 7-Zip and WinRAR run a file from when it is opened inside an archive.
ARCHIVE_FOLDERS = ("Temp1_kit.zip", "7zO5C2A1F3B", "Rar$EXa1234.5678")
# States of the walk looked for on the screen while it plays, in the walk's order.
SEEN_STATES = ("idle", finger_slot(3, 2), "disabled", "application icon")
WALK_STATUS_REPORTS = 22  # of the kit's walk.txt
POLL = re.compile(r"poll: \d+ ticks in [\d.]+ s, (\d+) a second, median period ([\d.]+) ms")


def short_walk(idle_ms):
    """A walk of the test's own in place of the kit's: the link refused twice, as the kit's walk
    has it, then idle held for idle_ms, two fingers, and idle again."""
    return ("refuse 2\r\n"
            "status 0 0 0\r\nmark idle: linked, no finger on the pad\r\nwait %d\r\n"
            "status 0 2 3\r\nmark 2 fingers, medium contact\r\nwait 500\r\n"
            "status 0 0 0\r\nmark idle again: the pad is quiet\r\nwait 500\r\n"
            "mark walk end\r\n" % idle_ms)


# Long enough that a trial stopped once idle shows is still mid-walk on a loaded machine; such
# a trial never plays it to its end.
STOPPABLE_WALK = short_walk(30000)
# For the trials that play the walk to its end.
QUICK_WALK = short_walk(500)


def status_reports(walk):
    return len(re.findall(r"^status ", walk, re.M))


def walk_marks(walk):
    """The states a walk names, as the launcher prints them; the end mark is not one."""
    return [mark for mark in re.findall(r"^mark (.+?)\r?$", walk, re.M) if mark != "walk end"]


def kit_archive(ctx):
    """The kit archive that the build's package step wrote: one, or a failed check."""
    build = os.path.dirname(ctx.session.bin_dir)
    kits = glob.glob(os.path.join(build, "QuibTPCenter-*-win64-evalkit.zip"))
    ctx.check(len(kits) == 1, "the build holds one kit archive", "found %s in %s" % (kits or "none", build))
    return kits[0] if len(kits) == 1 else None


def set_up(ctx, walk=None):
    """The kit unpacked, with walk in place of its walk.txt if given: the launcher's Windows
    path, or None without an archive."""
    kit = kit_archive(ctx)
    if kit is None:
        return None
    launcher = unpack(ctx, kit)
    if walk is not None:
        write_walk(ctx, launcher, walk)
    return launcher


def write_walk(ctx, launcher, walk):
    with open(kit_file(ctx, launcher, "walk.txt"), "wb") as f:
        f.write(walk.encode("ascii"))


def unpack(ctx, kit):
    folder = os.path.join(ctx.session.prefix, "drive_c", KIT_FOLDER)
    with zipfile.ZipFile(kit) as archive:
        names = set(archive.namelist())
        archive.extractall(folder)
    ctx.check(names == KIT_FILES, "the kit holds the program, the simulated library, padctl, the launcher, "
              "the walk, EVALKIT.txt and SHA256SUMS", "holds %s" % sorted(names))
    return "C:\\%s\\%s" % (KIT_FOLDER, LAUNCHER)


def launch(ctx, launcher, name, *options, verb="run", trace=False, env=None):
    """Starts the launcher on the desktop through quibpost, so that its exit code comes back;
    quibpost's output goes to a file of the group, and so does the launcher's unless the verb
    is "console", which gives it a console window of its own, as a double-click does. With
    trace, Wine's trace of the processes started goes there too; env is the session's unless
    given."""
    output = os.path.join(ctx.work_dir, name + ".txt")
    ctx.checker.keep(output)
    env = env or ctx.session.env
    # Wine reads the command line in the locale's encoding: the folder's name is UTF-8.
    env = dict(env, LC_ALL="C.UTF-8", WINEDEBUG="+process" if trace else env["WINEDEBUG"])
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


def wait_screen(ctx, pid, pattern, timeout, before_pause=False):
    """The text of the launcher's console once it matches pattern, or the last text read.
    Before the launcher's closing pause (before_pause), nothing attaches to its console until
    the program has ended and PAUSE_SETTLE has passed: a reader attached at the moment the
    launcher counts its console's processes would make it skip the pause. The program's end,
    which a loaded machine can make take seconds, is looked at from outside the console."""
    if before_pause:
        ends_by = time.monotonic() + 30
        while left_running(ctx) and time.monotonic() < ends_by:
            time.sleep(0.2)
        time.sleep(PAUSE_SETTLE)
    deadline = time.monotonic() + timeout
    while True:
        text = ctx.desktop.quibpost("screen", pid)[1] if pid else ""
        if re.search(pattern, text) or time.monotonic() >= deadline:
            return text
        time.sleep(0.2)


def look(ctx):
    """(windows, processes) of the program on the desktop, or a text saying why it could not
    be looked at: an answer that is not understood is a failure, never "nothing"."""
    code, out = ctx.desktop.quibpost("window", "0")
    out = out.replace("\r", "")
    if code == 0 and re.search(r"^window pid=\d+", out, re.M):
        windows = 1
    elif code == 2 and re.search(r"^window none$", out, re.M):
        windows = 0
    else:
        return "no answer on the window (%s): %s" % (code, out.strip())
    code, out = ctx.desktop.quibpost("processes", "QuibTPCenter.exe")
    out = out.replace("\r", "")
    match = re.search(r"^processes name=QuibTPCenter.exe count=(\d+)$", out, re.M)
    if code != 0 or match is None:
        return "no process list (%s): %s" % (code, out.strip())
    return windows, int(match.group(1))


def left_running(ctx, within=0):
    """What of the program still runs after up to `within` seconds: "" for nothing."""
    deadline = time.monotonic() + within
    while True:
        seen = look(ctx)
        if isinstance(seen, str):
            return seen
        if seen == (0, 0):
            return ""
        if time.monotonic() >= deadline:
            return "%d window(s) and %d process(es) of QuibTPCenter.exe" % seen
        time.sleep(0.2)


def programs_started(text):
    """How often Wine's process trace shows QuibTPCenter.exe started; None when the trace is
    not there (it shows quibpost starting the launcher)."""
    if not re.search(r'CreateProcessInternalW app L"[^"]*\\\\TryQuibTPCenter\.exe"', text):
        return None
    return len(re.findall(r'CreateProcessInternalW app L"[^"]*\\\\QuibTPCenter\.exe"', text))


def key(ctx, pid, virtual_key=None):
    """Types a key into the launcher's console; True once the launcher has read it."""
    return ctx.desktop.quibpost("key", pid, *([hex(virtual_key)] if virtual_key else []))[0] == 0


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
    """The call log the launcher names, as a path in the prefix. It ends a line in the summary
    and in "ended early", a parenthesis in "stopped"; a console may break the line before it."""
    match = re.search(r"call log:\s*C:\\([^\r\n)]+)", text)
    if match is None:
        return None
    return os.path.join(ctx.session.prefix, "drive_c", *match.group(1).strip().split("\\"))


def picture_changes(text):
    match = re.search(r"picture changes: (\d+)", text)
    return int(match.group(1)) if match else None


def check_summary(ctx, text, shell, reports):
    ctx.check("link: made at attempt 3 (2 refused" in text, "the summary shows the link, made after two refusals")
    poll = POLL.search(text)
    rate, period = (int(poll.group(1)), float(poll.group(2))) if poll else (0, 0.0)
    # Wine's timer gives a 10 ms timer its full 100 ticks a second.
    ctx.check(80 <= rate <= 110 and 9 <= period <= 11, "the summary shows about 100 poll ticks a second",
              poll.group(0) if poll else "no poll line")
    ctx.check("reports handled: %d (%d status" % (reports, reports) in text,
              "the summary counts the %d status reports" % reports)
    ctx.check(re.search(r"^\s*exit code: 0\r?$", text, re.M), "the summary shows the program's exit code 0")
    entries = calllog.read(log_of(ctx, text) or "")
    delivered = len(calllog.events(entries, "deliver"))
    ctx.check(delivered == reports and calllog.events(entries, "unload"),
              "the log the summary names holds the walk to the program's end", "%d deliveries" % delivered)
    changes = picture_changes(text)
    # The launcher counts redraws from the log alone; the shell saw the real ones.
    ctx.check(changes == shell.count("modify"), "the summary's picture changes are the redraws the shell received",
              "%s against %d" % (changes, shell.count("modify")))
    ctx.figure("launcher's summary: %s" % "; ".join(line.strip() for line in text.splitlines()
                                                     if re.match(r"\s+(link|poll|reports|picture|exit)", line)))
    ctx.figure("explorer's trace: %d add(s), %d modify, %d removal(s)"
               % (shell.count("add"), shell.count("modify"), shell.count("delete")))
    return changes


def run_walk(ctx):
    """The kit's own walk, played once in full."""
    launcher = set_up(ctx)
    if launcher is None:
        return
    shell_before = len(ctx.desktop.tray_calls())
    process, output = launch(ctx, launcher, "trial-1")
    for slot in SEEN_STATES:
        # A launcher that has already ended shows nothing more: no need to wait for it.
        ok, shown = ctx.tray.wait_for(slot, timeout=60) if process.poll() is None else (False, ["the launcher ended"])
        ctx.check(ok, "the walk shows %s on the screen" % slot, "shows %s" % (shown or "no known picture"))
        if slot == "idle":
            check_trial_left_alone(ctx, launcher)
    code, text = finish(process, output)
    ctx.check(code == 0, "the launcher ends with 0 after the walk", "exit code %s:\n%s" % (code, text[-1500:]))
    check_summary(ctx, text, ctx.desktop.tray_calls()[shell_before:], WALK_STATUS_REPORTS)


def check_trial_left_alone(ctx, launcher):
    """While a trial runs, a second launcher and --stop-installed each say so and touch nothing."""
    code, text = finish(*launch(ctx, launcher, "second-trial"), timeout=30)
    ctx.check(code == EXIT_RUNNING and "is running a trial" in text, "a second launcher while a trial runs "
              "says so in one line", "exit code %s: %s" % (code, text.strip()))
    code, text = finish(*launch(ctx, launcher, "stop-during-trial", "--stop-installed"), timeout=30)
    seen = look(ctx)
    ctx.check(code == EXIT_RUNNING and "was left alone" in text and seen == (1, 1),
              "--stop-installed while a trial runs leaves its program alone and says so",
              "exit code %s: %s; the program: %s" % (code, text.strip(), seen))


def install_copy(ctx):
    """The program and the simulated library in a folder of their own, without a launcher
    beside them, as the maker's software installs the program."""
    folder = os.path.join(ctx.session.prefix, "drive_c", "Program Files", "QUIB Touch Pad")
    os.makedirs(folder, exist_ok=True)
    for name in ("QuibTPCenter.exe", "QuibTPApi.dll"):
        shutil.copy(ctx.session.exe(name), folder)
    return os.path.join(folder, "QuibTPCenter.exe")


def run_refusals(ctx):
    """The launcher beside an installed copy, and the trials that end it with one line."""
    launcher = set_up(ctx, STOPPABLE_WALK)
    if launcher is None:
        return
    check_foreign_dll(ctx, launcher)
    check_refusal(ctx, launcher)
    log_path = check_ended_early(ctx, launcher)
    if log_path is None:
        ctx.check(False, "the launcher names its call log", "no call log named in ended-early.txt")
        return
    check_bad_ends(ctx, launcher, log_path)


def check_foreign_dll(ctx, launcher):
    """The kit copied into Downloads beside a stranger's WTSAPI32.dll, which Wine then takes from
    the program's folder first, as Windows does: the launcher refuses in one line and starts
    nothing, while the program started there alone loads it."""
    folder = os.path.join(ctx.session.prefix, "drive_c", "Downloads")
    shutil.copytree(os.path.dirname(kit_file(ctx, launcher)), folder)
    shutil.copy(os.path.join(os.path.dirname(ctx.session.bin_dir), "foreign-dll", "WTSAPI32.dll"), folder)
    loaded = os.path.join(folder, "WTSAPI32.dll.loaded")  # tests/e2e/foreign_wtsapi32.cpp writes it
    env = dict(ctx.session.env, WINEDLLOVERRIDES=ctx.session.env["WINEDLLOVERRIDES"] + ";wtsapi32=n,b")
    code, text = finish(*launch(ctx, "C:\\Downloads\\" + LAUNCHER, "foreign-dll", trace=True, env=env))
    started, seen, left = programs_started(text), os.path.exists(loaded), left_running(ctx)
    ctx.check(code == EXIT_KIT and re.search(r"^TryQuibTPCenter: .* WTSAPI32\.dll, .*folder of its own", text, re.M)
              and started == 0 and not seen and not left, "beside a stranger's WTSAPI32.dll the launcher refuses in "
              "one line that names it, and starts nothing", "exit code %s, program started %s, the DLL loaded %s, "
              "left %r: %s" % (code, started, seen, left, text.strip()[-600:]))
    process, output = launch(ctx, "C:\\Downloads\\QuibTPCenter.exe", "foreign-dll-program", env=env)
    window = ctx.desktop.quibpost("window", "15000")[0]
    seen, ended = os.path.exists(loaded), ctx.desktop.quibpost("exit", "15000")[0]
    code = finish(process, output, timeout=15)[0]
    ctx.check(window == 0 and seen and ended == 0 and code == 0, "the program started there alone loads that DLL, "
              "and ends on its exit command", "window %s, the DLL loaded %s, exit command %s, exit code %s"
              % (window, seen, ended, code))


def check_refusal(ctx, launcher):
    installed = Program(ctx.session, ctx.desktop, ctx.work_dir, name="installed", exe=install_copy(ctx))
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


def check_ended_early(ctx, launcher):
    """A program closed in the middle of the walk; the call log the launcher names."""
    process, output = launch(ctx, launcher, "ended-early")
    ctx.tray.wait_for("idle", timeout=30)
    ctx.desktop.quibpost("post", hex(WM_CLOSE))
    code, text = finish(process, output)
    left = left_running(ctx)
    ctx.check(code == EXIT_PROGRAM and "ended early" in text and not left,
              "a program closed during the walk ends the trial with one line",
              "exit code %s, left %r: %s" % (code, left, text.strip()[-400:]))
    return log_of(ctx, text)


def check_bad_ends(ctx, launcher, log_path):
    """A call log that cannot be written, --hold without a console, a walk the library cannot
    play and a launcher opened inside the zip: one line each, a non-zero exit and nothing left
    running."""
    os.remove(log_path)
    os.mkdir(log_path)  # a folder where the log goes: the launcher cannot create the file
    code, text = finish(*launch(ctx, launcher, "log-unwritable", trace=True))
    os.rmdir(log_path)
    started, left = programs_started(text), left_running(ctx)
    ctx.check(code == EXIT_LOG and "cannot write the call log" in text and started == 0 and not left,
              "an unwritable call log is refused in one line, and the program is never started",
              "exit code %s, program started %s, left %r: %s" % (code, started, left, text.strip()[-600:]))
    with open(log_path, "w") as log:
        log.write("the last trial's log\n")
    code, text = finish(*launch(ctx, launcher, "hold-no-console", "--hold", trace=True))
    started, left = programs_started(text), left_running(ctx)
    with open(log_path) as log:
        untouched = log.read() == "the last trial's log\n"
    ctx.check(code == EXIT_USAGE and "needs a console window" in text and started == 0 and untouched and not left,
              "--hold without a console is refused in one line, with nothing started or written",
              "exit code %s, program started %s, log untouched %s, left %r: %s"
              % (code, started, untouched, left, text.strip()[-600:]))
    walk = kit_file(ctx, launcher, "walk.txt")
    shutil.copy(walk, walk + ".good")
    with open(walk, "ab") as f:
        f.write(b"stauts 0 1 1\r\n")
    code, text = finish(*launch(ctx, launcher, "walk-broken"), timeout=30)
    os.replace(walk + ".good", walk)
    left = left_running(ctx)
    ctx.check(code == EXIT_KIT and "cannot play walk.txt (line " in text and "stauts" in text and not left,
              "a walk the library cannot play ends the trial at once, with the library's reason",
              "exit code %s, left %r: %s" % (code, left, text.strip()[-400:]))
    for folder in ARCHIVE_FOLDERS:
        inside = os.path.join(ctx.session.prefix, "drive_c", folder)
        os.makedirs(inside, exist_ok=True)
        shutil.copy(kit_file(ctx, launcher), inside)
        code, text = finish(*launch(ctx, launcher.replace(KIT_FOLDER, folder), "inside-" + folder[:3]), timeout=30)
        left = left_running(ctx)
        ctx.check(code == EXIT_KIT and "Extract All" in text and not left, "a launcher opened inside an archive (%s) "
                  "says to unpack it all, and nothing is left running" % folder,
                  "exit code %s, left %r: %s" % (code, left, text.strip()))


def kit_file(ctx, launcher, name=LAUNCHER):
    """A file of the unpacked kit, as a path in the prefix."""
    return os.path.join(ctx.session.prefix, "drive_c", *launcher[3:].replace(LAUNCHER, name).split("\\"))


def run_stops(ctx):
    """Ctrl+C in the launcher's console ends the program by its exit command, mid-walk and at
    --hold; a launcher killed mid-walk, or whose window is closed, takes the program with it
    (Wine's console ends its processes on a close without a control event)."""
    launcher = set_up(ctx, STOPPABLE_WALK)
    if launcher is None:
        return
    check_ctrl_c(ctx, launcher)
    for how in ("kill", "close"):
        process, output = launch(ctx, launcher, how, verb="console")
        pid = pid_of(output)
        seen, shown = ctx.tray.wait_for("idle", timeout=30)
        done, said = ctx.desktop.quibpost(how, pid) if pid else (None, "no pid")
        code, _ = finish(process, output, timeout=15)
        # Only a trial that ran and a launcher that ended as asked say anything about what is left.
        left = left_running(ctx, within=5) if seen and done == 0 and code is not None else "not looked at"
        ctx.check(seen and done == 0 and code is not None and not left, "a launcher %s mid-walk takes the program "
                  "with it" % ("ended by TerminateProcess" if how == "kill" else "whose console window is closed"),
                  "icon %s, quibpost %s %s %s, launcher's exit code %s, left %r"
                  % (shown, how, done, said.strip(), code, left))
    write_walk(ctx, launcher, QUICK_WALK)
    check_ctrl_c_at_hold(ctx, launcher)


def check_ctrl_c(ctx, launcher):
    shell_before = len(ctx.desktop.tray_calls())
    process, output = launch(ctx, launcher, "ctrl-c", verb="console")
    pid = pid_of(output)
    ctx.tray.wait_for("idle", timeout=30)
    ctx.desktop.quibpost("ctrlc", pid)
    text = wait_screen(ctx, pid, r"Press Enter to close", 10, before_pause=True)
    key(ctx, pid)
    code, _ = finish(process, output, timeout=15)
    entries = calllog.read(log_of(ctx, text) or "")
    left = left_running(ctx)
    ctx.check(code == EXIT_STOPPED and "trial was stopped; QuibTPCenter.exe ended on its exit command" in text
              and "delete" in ctx.desktop.tray_calls()[shell_before:] and entries and entries[-1].name == "unload"
              and not left, "Ctrl+C mid-walk ends the program by its exit command: its icon goes, the "
              "log ends with the library's unload, and the launcher says so",
              "exit code %s, left %r:\n%s" % (code, left, text))


def check_ctrl_c_at_hold(ctx, launcher):
    """At --hold, Ctrl+C (which comes as its Ctrl key first) stops the trial as it does mid-walk."""
    process, output = launch(ctx, launcher, "hold-ctrl-c", "--hold", verb="console")
    pid = pid_of(output)
    held = wait_screen(ctx, pid, r"Press Enter here to end the program", 30)
    typed = key(ctx, pid, VK_CONTROL)
    ctx.desktop.quibpost("ctrlc", pid)
    text = wait_screen(ctx, pid, r"Press Enter to close", 10, before_pause=True)
    key(ctx, pid)
    code, _ = finish(process, output, timeout=15)
    left = left_running(ctx)
    ctx.check("Press Enter here" in held and typed and code == EXIT_STOPPED and not left
              and "trial was stopped; QuibTPCenter.exe ended on its exit command" in text,
              "Ctrl+C at --hold stops the trial without a summary (exit 6)",
              "Ctrl read %s, exit code %s, left %r:\n%s" % (typed, code, left, text))


def run_console(ctx):
    """A trial run to its end, then one in a console window of its own: the second runs as the
    first, from a fresh log, with padctl's one picture more."""
    launcher = set_up(ctx, QUICK_WALK)
    if launcher is None:
        return
    code, text = finish(*launch(ctx, launcher, "trial-short"))
    first, log_path = (picture_changes(text) if code == 0 else None), log_of(ctx, text)
    if log_path is None:
        ctx.check(False, "the launcher names its call log", "exit code %s:\n%s" % (code, text[-1500:]))
        return
    summary_path = os.path.join(os.path.dirname(log_path), "QuibTPCenter-trial-summary.txt")
    second = check_console_trial(ctx, launcher, summary_path)
    ctx.check(first is not None and second == first + 1,
              "a second trial runs as the first, from a fresh log, with padctl's one picture more",
              "picture changes %s, then %s" % (first, second))


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
    text = wait_screen(ctx, pid, r"Press Enter here to end the program", 120)
    leftover_code, _ = finish(leftover, leftover_output, timeout=5)
    ctx.check(leftover_code == 0 and "was already running" in text,
              "the kit's own copy, started alone, is ended with its exit command and the trial goes on",
              "that copy's exit code %s:\n%s" % (leftover_code, text))
    ctx.check(all("now: " + mark in text for mark in walk_marks(QUICK_WALK)),
              "the console names the walk's states as they come", text)
    # Alt+Tab to another window leaves Alt in the console; modifiers alone answer nothing.
    read = [key(ctx, pid, vk) for vk in (VK_MENU, VK_CONTROL, VK_SHIFT, VK_LWIN)]
    time.sleep(KEY_SETTLE)  # a launcher that took a key for an answer has ended the program by now
    seen = look(ctx)
    ctx.check(all(read) and seen == (1, 1) and "Summary" not in wait_screen(ctx, pid, "", 0),
              "Alt, Ctrl, Shift and the Windows key alone at --hold leave the program running",
              "keys read %s; the program: %s" % (read, seen))
    code, out = ctx.session.run([kit_file(ctx, launcher, "padctl.exe"), "status 0 3 200"])
    ok, shown = ctx.tray.wait_for(finger_slot(3, 2), timeout=10)
    ctx.check(code == 0 and ok, "with --hold the program stays, and padctl shows three firm fingers",
              "padctl %s %s; shows %s" % (code, out.strip(), shown))
    key(ctx, pid)
    text = wait_screen(ctx, pid, r"Press Enter to close this window", 20, before_pause=True)
    shift = key(ctx, pid, VK_SHIFT)
    time.sleep(KEY_SETTLE)
    still_open = process.poll() is None
    enter = key(ctx, pid)
    ctx.check(shift and still_open and enter, "Shift alone at the closing pause leaves the window open; Enter "
              "closes it", "Shift read %s, launcher then %s, Enter read %s"
              % (shift, "running" if still_open else "ended", enter))
    code, _ = finish(process, output, timeout=15)
    os.rmdir(summary_path)
    ctx.check(code == EXIT_SUMMARY and "cannot write the summary" in text and "\nSummary:" in text,
              "a key ends the program; the summary shows, and its file that cannot be written is said in one line",
              "exit code %s:\n%s" % (code, text))
    # The copy left running may still redraw after shell_before was read; the trial's own
    # calls start with its program's add.
    shell = ctx.desktop.tray_calls()[shell_before:]
    trial_calls = shell[len(shell) - shell[::-1].index("add") - 1:] if "add" in shell else shell
    return check_summary(ctx, text, trial_calls, status_reports(QUICK_WALK) + 1)


# Parts that need nothing from one another but a prefix and desktop each, so that they can run
# side by side; run plays them in a row on one.
PARTS = {"walk": run_walk, "refusals": run_refusals, "stops": run_stops, "console": run_console}


def run(ctx):
    for part in PARTS.values():
        part(ctx)
