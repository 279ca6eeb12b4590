"""The notification area, end to end: the icon mirrors each state driven over the pipe, tray
mode 0 removes it and a return adds it, a real double-click starts the configurator and a
second one raises it, and WM_CLOSE ends the program without telling the library."""

import os
import subprocess
import time

from quibe2e import calllog, relay, waits
from quibe2e.calllog import calls, events
from quibe2e.icons import CONTACT_BYTES, finger_slot
from quibe2e.wine import WM_CLOSE, Program

CONFIGURATOR_DIR = "C:\\QuibE2E\\"
# The window thread's steps in raising the configurator, and the link timer that names the
# thread (GetCurrentThreadId is left out: the runtime calls it everywhere).
RAISE_ENTRIES = ("user32.SetTimer", "user32.GetForegroundWindow", "user32.GetWindowThreadProcessId",
                 "user32.AttachThreadInput", "user32.ShowWindow", "user32.SetWindowPos", "user32.SetForegroundWindow")
RAISE_STEPS = ["GetForegroundWindow", "GetWindowThreadProcessId", "AttachThreadInput", "ShowWindow",
               "SetWindowPos", "SetWindowPos", "SetForegroundWindow", "AttachThreadInput"]
SW_RESTORE = 9
HWND_TOPMOST = 0xFFFFFFFF  # -1, cut to 32 bits
HWND_NOTOPMOST = 0xFFFFFFFE
SWP_NOSIZE_NOMOVE = 3


def mirror_states():
    """(commands, expected slot, what is shown) for each state the checks drive."""
    states = []
    for fingers in range(1, 6):
        for level in range(3):
            # Every spelling of a level in turn: 0 and 1, 2 and 3, 4 to 255.
            contact = ((0, 1), (2, 3), (4, 200, 255))[level][fingers % (2 if level < 2 else 3)]
            states.append((["status 0 %d %d" % (fingers, contact)], finger_slot(fingers, level),
                           "%d finger(s), contact %d" % (fingers, contact)))
    states += [
        (["status 0 9 3"], finger_slot(1, 1), "nine fingers show the one-finger row"),
        (["status 0 0 0"], "idle", "no finger"),
        (["status 1 2 %d" % CONTACT_BYTES[1]], "left button", "left button held over two fingers"),
        (["status 4 2 %d" % CONTACT_BYTES[1]], "left button", "both buttons held: left wins"),
        (["status 2 2 %d" % CONTACT_BYTES[1]], "right button", "left released, right still held"),
        (["status 8 0 0"], "idle", "right released"),
        (["status 1 3 4", "disabled 1"], "disabled", "pad disabled while a button and fingers are down"),
        (["disabled 0"], "left button", "pad enabled again"),
        (["status 2 0 0", "traymode 2"], "application icon", "tray mode 2"),
        (["status 0 4 4"], "application icon", "tray mode 2 with fingers"),
        (["traymode 1"], finger_slot(4, 2), "tray mode 1 again"),
        (["status 0 0 0"], "idle", "no finger"),
    ]
    return states


def install_configurator(ctx):
    code = subprocess.run([os.path.join(ctx.padsim_dir, "install-configurator"), "install", ctx.session.prefix,
                           CONFIGURATOR_DIR, ctx.session.exe("QuibTPConfigure64.exe")],
                          env=ctx.session.env, stdout=subprocess.DEVNULL, timeout=60).returncode
    ctx.check(code == 0, "the stand-in configurator is installed in the prefix", "exit code %s" % code)


def uninstall_configurator(ctx):
    subprocess.run([os.path.join(ctx.padsim_dir, "install-configurator"), "uninstall", ctx.session.prefix,
                    CONFIGURATOR_DIR], env=ctx.session.env, stdout=subprocess.DEVNULL, timeout=60)


def drive(program, commands, label):
    """Sends the commands and waits until they have been played and two poll ticks have
    followed, so that a picture that must not change is looked at after the change could
    have come."""
    program.pad(*(list(commands) + ["mark " + label]))
    entries = waits.marked(program.log_path, label)
    played = calllog.mark_time(entries, label)
    if played is not None:
        waits.log_until(program.log_path,
                        lambda e: len([c for c in calls(e, "TpIsDisabled") if c.t > played]) >= 2, timeout=5)


def check_mirror(ctx, program):
    for number, (commands, slot, what) in enumerate(mirror_states()):
        drive(program, commands, "state %d" % number)
        ok, shown = ctx.tray.wait_for(slot)
        ctx.check(ok, "%s: the icon shows %s" % (what, slot), "shows %s" % (shown or "no known picture"))


def check_tray_mode_off_and_on(ctx, program):
    program.pad("status 0 3 2")
    ctx.tray.wait_for(finger_slot(3, 1))
    shell_before = len(ctx.desktop.tray_calls())
    program.pad("traymode 0")
    ctx.check(ctx.tray.wait_gone(), "tray mode 0 removes the icon from the notification area")
    ctx.check(ctx.desktop.tray_calls()[shell_before:] == ["delete"], "tray mode 0 sends one removal",
              "shell calls %s" % ctx.desktop.tray_calls()[shell_before:])
    program.pad("status 0 0 0")
    time.sleep(0.3)
    ctx.check(ctx.tray.gone(), "a report while the icon is off shows nothing")
    shell_before = len(ctx.desktop.tray_calls())
    program.pad("traymode 1")
    ok, shown = ctx.tray.wait_for("idle")
    ctx.check(ok, "tray mode 1 adds the icon again, mirroring the pad", "shows %s" % shown)
    shell = ctx.desktop.tray_calls()[shell_before:]
    ctx.check(shell[:1] == ["add"], "the return is an add", "shell calls %s" % shell)


def configurator_state(ctx):
    code, output = ctx.desktop.quibpost("configurator")
    fields = dict(item.split("=") for item in output.split() if "=" in item)
    return int(fields.get("count", -1)), int(fields.get("iconic", -1))


def configurator_starts(program):
    return len(events(calllog.read(program.log_path), "configurator-start"))


def check_double_clicks(ctx, program):
    if ctx.tray.rect is None:
        ctx.check(False, "the icon was found for the double-click")
        return
    x, y = ctx.tray.centre()
    ctx.desktop.double_click(x, y)
    started = waits.until(lambda: configurator_starts(program) == 1 and configurator_state(ctx)[0] == 1, timeout=15)
    ctx.check(started, "a double-click on the icon starts the configurator",
              "%d starts logged, dialogs %s" % (configurator_starts(program), configurator_state(ctx)))
    if not started:
        return
    ctx.desktop.quibpost("minimize-configurator")
    minimised = waits.until(lambda: configurator_state(ctx) == (1, 1), timeout=5)
    ctx.check(minimised, "the configurator's dialog is minimised", "dialogs %s" % (configurator_state(ctx),))
    time.sleep(0.5)  # well past the double-click time, so the next clicks start a new pair
    ctx.desktop.double_click(x, y)
    restored = waits.until(lambda: configurator_state(ctx) == (1, 0), timeout=10)
    ctx.check(restored, "a second double-click restores the minimised configurator",
              "dialogs %s" % (configurator_state(ctx),))
    check_raise_steps(ctx, program)
    time.sleep(1.0)
    ctx.check(configurator_starts(program) == 1 and configurator_state(ctx)[0] == 1,
              "the second double-click starts no second configurator",
              "%d starts logged, dialogs %s" % (configurator_starts(program), configurator_state(ctx)))
    ctx.desktop.quibpost("close-configurator")
    waits.until(lambda: configurator_state(ctx)[0] == 0, timeout=5)


def check_raise_steps(ctx, program):
    """Wine hands the foreground over on the restore alone, so the trace shows what the
    program asked for: the raise, step by step, ending with the foreground and the detach."""
    found = relay.read(program.output_path)
    thread, _ = relay.window_thread(found)
    ours = [c for c in found if c.thread == thread and c.name != "user32.SetTimer"]
    names = [c.name.split(".")[1] for c in ours]
    first = max((i for i, name in enumerate(names) if name == "GetForegroundWindow"), default=len(names))
    steps = ours[first:first + len(RAISE_STEPS)]
    ctx.check([c.name.split(".")[1] for c in steps] == RAISE_STEPS,
              "the raise takes its steps in order, the foreground last before the detach", "calls %s" % steps)
    if len(steps) < len(RAISE_STEPS):
        return
    attach, show, topmost, notopmost, foreground, detach = (steps[i].args for i in (2, 3, 4, 5, 6, 7))
    dialog = show[0]
    ctx.check(show == [dialog, SW_RESTORE] and foreground == [dialog] and
              topmost == [dialog, HWND_TOPMOST, 0, 0, 0, 0, SWP_NOSIZE_NOMOVE] and
              notopmost == [dialog, HWND_NOTOPMOST, 0, 0, 0, 0, SWP_NOSIZE_NOMOVE],
              "the dialog is restored, lifted to the top and given the foreground", "calls %s" % steps)
    ctx.check(attach[2] == 1 and detach == attach[:2] + [0], "the input is attached and detached for the same threads",
              "attach %s, detach %s" % (attach, detach))


def check_close(ctx, program):
    program.post(WM_CLOSE)
    code = program.wait_exit(15)
    ctx.check(code == 0, "WM_CLOSE ends the program with exit code 0", "exit code %s" % code)
    entries = waits.log_until(program.log_path, lambda e: events(e, "unload"), timeout=5)
    ctx.check(events(entries, "unload") and not calls(entries, "TpDisconnect"),
              "WM_CLOSE does not call TpDisconnect", "%d calls" % len(calls(entries, "TpDisconnect")))


def run(ctx):
    # The program reads the configurator's path once, at start-up.
    install_configurator(ctx)
    try:
        relay.include(ctx.session, RAISE_ENTRIES)
        try:
            program = Program(ctx.session, ctx.desktop, ctx.work_dir, name="tray", debug=relay.WINEDEBUG)
            ctx.track(program)
            program.start()
        finally:
            relay.untrace(ctx.session)
        ok, shown = ctx.tray.wait_for("idle", timeout=15)
        ctx.check(ok, "the icon appears with the idle picture", "shows %s" % shown)
        if not ok:
            return
        check_mirror(ctx, program)
        check_tray_mode_off_and_on(ctx, program)
        check_double_clicks(ctx, program)
        check_close(ctx, program)
    finally:
        uninstall_configurator(ctx)
