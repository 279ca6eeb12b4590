"""QuibTPCenter_no140.exe, the build without icon group 140: the notification area shows no
picture for three fingers at the firmest contact, the one slot whose icon the build lacks, and
the right picture for every other state, before and after it. The program keeps running and
ends with exit code 0."""

import os

from . import screen, tray_group, waits
from .icons import finger_slot
from .identity import IDM_EXIT
from .wine import WM_COMMAND, Program

MISSING_SLOT = finger_slot(3, 2)


def states():
    """(commands, expected slot, what is shown): every state the end-to-end mirror drives, and
    the missing slot reached from each of its neighbours and left again."""
    extra = [
        (["status 0 3 3"], finger_slot(3, 1), "three fingers, medium contact"),
        (["status 0 3 200"], MISSING_SLOT, "three fingers, contact 200"),
        (["status 0 3 2"], finger_slot(3, 1), "back to medium contact"),
        (["status 0 3 255"], MISSING_SLOT, "three fingers, contact 255"),
        (["status 0 2 255"], finger_slot(2, 2), "two fingers, firmest"),
        (["status 0 3 4"], MISSING_SLOT, "three fingers again, contact 4"),
        (["status 0 4 4"], finger_slot(4, 2), "four fingers, firmest"),
    ]
    return tray_group.mirror_states() + extra


def shows_nothing(ctx_tray):
    """True when no known picture is anywhere in the notification area and the icon's place is
    one plain colour: a null picture, drawn as the taskbar by Wine 8 and as black by Wine 10.
    Every one of the 21 pictures has several colours, so none of them passes for nothing."""
    shown = ctx_tray.look()
    if shown or ctx_tray.rect is None:
        return False
    shot = ctx_tray.last_shot
    x, y = ctx_tray.rect[0], ctx_tray.rect[1]
    return screen.is_plain(shot, ctx_tray.rect, shot.pixel(x, y))


def check_states(checker, program, tray, desktop, work_dir):
    saved = False
    for commands, slot, what in states():
        modifies_before = desktop.tray_calls().count("modify")
        program.pad(*commands)
        if slot != MISSING_SLOT:
            ok, shown = tray.wait_for(slot)
            checker.check(ok, "%s: the icon shows %s" % (what, slot), "shows %s" % (shown or "no known picture"))
            continue
        # The picture goes to the shell as a null icon: a change the shell takes, drawn as nothing.
        changed = waits.until(lambda: desktop.tray_calls().count("modify") > modifies_before, timeout=5)
        checker.check(changed, "%s: the shell is sent a picture change" % what,
                      "shell calls %s" % desktop.tray_calls()[-5:])
        blank = waits.until(lambda: shows_nothing(tray), timeout=5)
        checker.check(blank, "%s: the icon's place shows no picture" % what,
                      "shows %s" % (tray.look() or "something unknown"))
        if blank and not saved:
            save_surroundings(tray, os.path.join(work_dir, "missing-icon.png"))
            saved = True


def save_surroundings(tray, path):
    """The notification area around the icon's place, enlarged, for a reader of the run."""
    shot = tray.last_shot
    x, y, w, h = tray.rect
    left, top = max(x - 40, 0), max(y - 8, 0)
    right, bottom = min(x + w + 40, shot.width), min(y + h + 8, shot.height)
    shot.save(path, crop=(left, top, right - left, bottom - top), scale=8)


def run(ctx):
    program = Program(ctx.session, ctx.desktop, ctx.work_dir, name="no140", exe="QuibTPCenter_no140.exe")
    ctx.track(program)
    program.start()
    ok, shown = ctx.tray.wait_for("idle", timeout=15)
    ctx.check(ok, "the icon appears with the idle picture", "shows %s" % shown)
    if not ok:
        return
    check_states(ctx.checker, program, ctx.tray, ctx.desktop, ctx.work_dir)
    ctx.check(program.running(), "the program runs on after the missing picture")
    program.post(WM_COMMAND, IDM_EXIT)
    code = program.wait_exit(15)
    ctx.check(code == 0, "the exit command ends it with exit code 0", "exit code %s" % code)
