"""The program on a machine without the configurator: no install directory in the registry and
no configurator file. It starts and links all the same, a real double-click on its icon tries
the start (with the empty path) and fails quietly, and the program goes on mirroring the pad
until it is told to exit."""

import copy
import os
import re
import time

from quibe2e import calllog, waits
from quibe2e.calllog import calls, events
from quibe2e.icons import finger_slot
from quibe2e.identity import IDM_EXIT
from quibe2e.wine import WM_COMMAND, Program

INSTALL_KEY = "HKLM\\SOFTWARE\\QUIB\\QUIB Touch Pad"
CONFIGURATOR_FILE = "quibtpconfigure64.exe"
DOUBLE_CLICKS = 2
# Wine's shell32 traces each ShellExecute through this channel; it shows the program's attempt
# to start the configurator, which leaves no other trace when the path leads nowhere.
SHELL_TRACE = "-all,trace+exec"
ATTEMPT = re.compile(r'trace:exec:SHELL_execute mask=\S+ hwnd=\S+ verb=L"open" file=L"(.*?)"')
OUTCOME = re.compile(r"trace:exec:SHELL_execute retval (\d+)")


def configurator_files(prefix):
    """Every configurator executable anywhere on the prefix's C: drive."""
    found = []
    for folder, _, files in os.walk(os.path.join(prefix, "drive_c")):
        found += [os.path.join(folder, f) for f in files if f.lower() == CONFIGURATOR_FILE]
    return found


def remove_configurator(ctx):
    """Leaves the prefix as on a machine where the configurator was never installed."""
    ctx.session.run(["reg", "delete", INSTALL_KEY, "/f"])
    for path in configurator_files(ctx.session.prefix):
        os.remove(path)
    code, output = ctx.session.run(["reg", "query", INSTALL_KEY])
    ctx.check(code not in (0, None), "the install key is absent from the registry", output.strip())
    left = configurator_files(ctx.session.prefix)
    ctx.check(not left, "no configurator file is in the prefix", "found %s" % left)


def configurator_dialogs(ctx):
    code, output = ctx.desktop.quibpost("configurator")
    match = re.search(r"count=(\d+)", output)
    return int(match.group(1)) if code == 0 and match else None


def start_attempts(program):
    """(files, outcomes) of the ShellExecute calls the program made so far."""
    with open(program.output_path, "r", errors="replace") as output:
        text = output.read()
    return ATTEMPT.findall(text), [int(code) for code in OUTCOME.findall(text)]


def check_start_and_link(ctx, program):
    entries = waits.log_until(program.log_path, lambda e: [c for c in calls(e, "TpConnect") if c.value("ret") == 1],
                              timeout=15)
    ctx.check([c.value("ret") for c in calls(entries, "TpConnect")] == [1], "the program starts and links")
    ok, shown = ctx.tray.wait_for("idle", timeout=10)
    ctx.check(ok, "the icon appears, mirroring the idle pad", "shows %s" % shown)
    return ok


def check_double_clicks(ctx, program):
    x, y = ctx.tray.centre()
    for number in range(1, DOUBLE_CLICKS + 1):
        ctx.desktop.double_click(x, y)
        tried = waits.until(lambda: len(start_attempts(program)[1]) >= number, timeout=10)
        ctx.check(tried, "double-click %d tries to start the configurator" % number,
                  "%d attempts traced" % len(start_attempts(program)[1]))
        time.sleep(0.5)  # past the double-click time, so the next clicks make a new pair
    files, outcomes = start_attempts(program)
    ctx.check(files == [""] * DOUBLE_CLICKS, "each double-click makes one attempt, with the empty path",
              "files %s" % files)
    ctx.figure("ShellExecute results of the attempts: %s (32 or less is a failure)" % outcomes)
    ctx.check(outcomes and all(code <= 32 for code in outcomes), "the attempts fail, as there is nothing to start",
              "results %s" % outcomes)
    time.sleep(1.0)  # a configurator that did start would be up by now
    dialogs = configurator_dialogs(ctx)
    ctx.check(dialogs == 0, "no configurator window appears", "%s dialogs" % dialogs)
    started = events(calllog.read(program.log_path), "configurator-start")
    ctx.check(not started, "no configurator process ran", "%d starts logged" % len(started))


def check_still_running(ctx, program):
    ctx.check(program.running(), "the program is still running after the double-clicks")
    try:
        program.send(0)  # WM_NULL
        answered = True
    except RuntimeError:
        answered = False
    ctx.check(answered, "its window answers SendMessageTimeout")
    program.pad("status 0 2 4", "mark mirror")
    waits.marked(program.log_path, "mirror")
    ok, shown = ctx.tray.wait_for(finger_slot(2, 2))
    ctx.check(ok, "it still mirrors the pad: two fingers, firm", "shows %s" % shown)


def check_exit(ctx, program):
    program.post(WM_COMMAND, IDM_EXIT)
    code = program.wait_exit(15)
    ctx.check(code == 0, "IDM_EXIT ends the program with exit code 0", "exit code %s" % code)


def run(ctx):
    remove_configurator(ctx)
    # The program's own Wine trace goes to its output file; the driver's programs stay quiet.
    traced = copy.copy(ctx.session)
    traced.env = dict(ctx.session.env, WINEDEBUG=SHELL_TRACE)
    program = Program(traced, ctx.desktop, ctx.work_dir, name="missing")
    ctx.track(program)
    program.start()
    if not check_start_and_link(ctx, program):
        return
    check_double_clicks(ctx, program)
    check_still_running(ctx, program)
    check_exit(ctx, program)
