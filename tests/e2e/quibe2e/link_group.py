"""The link and the library calls, end to end: the link retried until the library accepts, the
10 ms poll and its quiet cost, raw reports and button bytes handed back to the library, a real
mouse-button swap, console disconnect and connect, and the exit command."""

import time

from quibe2e import calllog, relay, waits
from quibe2e.calllog import calls, events
from quibe2e.identity import IDM_EXIT, IDT_LINK
from quibe2e.wine import WM_COMMAND, WM_WTSSESSION_CHANGE, WTS_CONSOLE_CONNECT, WTS_CONSOLE_DISCONNECT, Program

POLL_CALLS = ("TpIsDisabled", "TpGetTrayMode")
START_ENTRIES = ("wtsapi32.WTSRegisterSessionNotification", "user32.SetTimer", "user32.RegisterWindowMessageW",
                 "user32.ChangeWindowMessageFilterEx")
NOTIFY_FOR_THIS_SESSION = 0
MSGFLT_ALLOW = 1


def accepted(entries):
    return [c for c in calls(entries, "TpConnect") if c.value("ret") == 1]


def names(entries):
    return [c.name for c in calls(entries)]


def check_link(ctx, program):
    log = program.log_path
    entries = waits.log_until(log, lambda e: accepted(e), timeout=20)
    connects = calls(entries, "TpConnect")
    results = [c.value("ret") for c in connects]
    ctx.check(results == [0, 0, 1], "TpConnect is refused twice and then accepted", "results %s" % results)
    periods = calllog.periods_ms([c.t for c in connects])
    if periods:
        ctx.figure("link attempts %s ms apart; linked %.0f ms after the library was loaded"
                   % (", ".join("%.0f" % p for p in periods), connects[-1].t / 1000.0))
    # A window timer never fires early: a gap below the period would mean a tight retry.
    ctx.check(periods and min(periods) >= 1000, "the attempts come a link period apart, not at once",
              "gaps %s ms" % periods)
    ok, shown = ctx.tray.wait_for("idle", timeout=10)
    ctx.check(ok, "the icon appears after the link and shows the idle pad", "shows %s" % shown)


def check_start_calls(ctx, program):
    """Wine never sends session changes, so only the trace shows the registration for them."""
    found = relay.read(program.output_path)
    thread, window = relay.window_thread(found)
    ctx.check(window is not None, "the window thread starts the link timer", "traced %s" % found[:6])
    ours = [c for c in found if c.thread == thread]
    timers = [c.args for c in ours if c.name == "user32.SetTimer"]
    ctx.check(timers[:1] == [[window, IDT_LINK, 1500, 0]], "the link timer runs every 1500 ms, without a callback",
              "SetTimer calls %s" % timers)
    registrations = [c.args for c in ours if c.name == "wtsapi32.WTSRegisterSessionNotification"]
    ctx.check(registrations == [[window, NOTIFY_FOR_THIS_SESSION]],
              "the window is registered once for its own session's changes", "calls %s" % registrations)
    # Wine has no privilege isolation; on Windows an elevated copy hears only what it lets through.
    taskbar = [c.ret for c in ours if c.name == "user32.RegisterWindowMessageW" and 'L"TaskbarCreated"' in c.text]
    filters = [c.args for c in ours if c.name == "user32.ChangeWindowMessageFilterEx"]
    ctx.check(len(taskbar) == 1 and filters == [[window, taskbar[0], MSGFLT_ALLOW, 0]],
              "the window lets \"TaskbarCreated\" through the privilege isolation, and nothing else",
              "messages %s, filter calls %s" % (taskbar, filters))


def check_poll(ctx, program):
    linked_at = accepted(calllog.read(program.log_path))[-1].t
    entries = waits.log_until(
        program.log_path,
        lambda e: len([c for c in calls(e, "TpIsDisabled") if c.t > linked_at]) >= 100, timeout=10)
    ticks = [c.t for c in calls(entries, "TpIsDisabled") if c.t > linked_at]
    ctx.check(len(ticks) >= 100, "the poll runs after the link", "%d ticks" % len(ticks))
    periods = calllog.periods_ms(ticks)
    if periods:
        ctx.figure("poll: %d ticks, median period %.1f ms (10 ms timer)" % (len(ticks), calllog.median(periods)))
    inits = calls(entries, "TpInitOnce")
    ctx.check(len(inits) == 1, "TpInitOnce is called once, on the first poll tick", "%d calls" % len(inits))


def one_call_each_per_tick(segment):
    """True when the poll calls alternate TpIsDisabled, TpGetTrayMode; a tick cut by a mark at
    either end is left out."""
    sequence = names(segment)
    if sequence and sequence[0] == "TpGetTrayMode":
        sequence = sequence[1:]
    if sequence and sequence[-1] == "TpIsDisabled":
        sequence = sequence[:-1]
    return len(sequence) % 2 == 0 and all(
        sequence[i] == "TpIsDisabled" and sequence[i + 1] == "TpGetTrayMode" for i in range(0, len(sequence), 2))


def check_quiet_stretch(ctx, program):
    shell_before = len(ctx.desktop.tray_calls())
    program.pad("mark quiet begin")
    time.sleep(2.3)
    program.pad("mark quiet end")
    entries = waits.marked(program.log_path, "quiet end")
    shell_after = len(ctx.desktop.tray_calls())
    segment = calllog.between_marks(entries, "quiet begin", "quiet end") or []
    span_ms = (calllog.mark_time(entries, "quiet end") - calllog.mark_time(entries, "quiet begin")) / 1000.0
    ticks = len(calls(segment, "TpIsDisabled"))
    ctx.figure("quiet stretch: %.0f ms, %d poll ticks" % (span_ms, ticks))
    ctx.check(span_ms >= 2000 and ticks >= 50, "the quiet stretch lasts 2 s or more with the poll running",
              "%.0f ms, %d ticks" % (span_ms, ticks))
    others = sorted(set(names(segment)) - set(POLL_CALLS))
    ctx.check(not others, "a quiet tick calls nothing but TpIsDisabled and TpGetTrayMode", "also %s" % others)
    ctx.check(one_call_each_per_tick(segment), "each quiet tick calls TpIsDisabled once, then TpGetTrayMode once",
              "sequence starts %s" % names(segment)[:8])
    ctx.check(shell_after == shell_before, "a quiet tick asks nothing of the shell",
              "%d notification-area calls" % (shell_after - shell_before))


def check_raw_reports(ctx, program):
    program.pad("mark raw begin", "raw 8", "raw 0", "raw 60", "mark raw end")
    entries = waits.marked(program.log_path, "raw end")
    segment = calllog.between_marks(entries, "raw begin", "raw end") or []
    delivered = [e for e in events(segment, "deliver") if e.value("type") == 258]
    forwards = calls(segment, "TpForwardRawReport")
    places = [f.fields.get("payload") for f in forwards]
    ctx.check(len(delivered) == 3 and places == ["+4"] * 3,
              "each raw report reaches TpForwardRawReport with the payload's address (record + 4)",
              "%d raw deliveries, payloads %s" % (len(delivered), places))
    others = sorted(set(names(segment)) - set(POLL_CALLS) - {"TpForwardRawReport"})
    ctx.check(not others, "a raw report calls nothing else", "also %s" % others)


def check_buttons(ctx, program):
    program.pad("checkbuttons 1", "mark buttons a", "status 16 0 0", "mark buttons b", "checkbuttons 0",
                "status 1 0 0", "mark buttons c", "status 0 0 0", "mark buttons d", "status 2 0 0",
                "mark buttons e")
    entries = waits.marked(program.log_path, "buttons e")

    def button_calls(first, last):
        segment = calllog.between_marks(entries, first, last) or []
        return [(c.name, c.fields.get("flags") or c.fields.get("arg"), c.value("ret"))
                for c in calls(segment, "TpCheckButtonFlags", "TpButtonFollowUp")]

    seen = button_calls("buttons a", "buttons b")
    ctx.check(seen == [("TpCheckButtonFlags", "16", 1), ("TpButtonFollowUp", "0", 0)],
              "button byte 0x10 reaches TpCheckButtonFlags; its nonzero answer brings TpButtonFollowUp(0)",
              "calls %s" % seen)
    seen = button_calls("buttons b", "buttons c")
    ctx.check(seen == [("TpCheckButtonFlags", "1", 0)], "a zero answer brings no TpButtonFollowUp", "calls %s" % seen)
    seen = button_calls("buttons c", "buttons d")
    ctx.check(seen == [], "a status report without button bits calls neither", "calls %s" % seen)
    seen = button_calls("buttons d", "buttons e")
    ctx.check(seen == [("TpCheckButtonFlags", "2", 0)], "the left button's release reaches TpCheckButtonFlags",
              "calls %s" % seen)


def check_mouse_swap(ctx, program):
    before = len(calls(calllog.read(program.log_path), "TpMouseButtonSwapChanged"))
    code, output = ctx.desktop.quibpost("swapbuttons")
    ctx.check(code == 0, "the mouse buttons are swapped and swapped back for real", output.strip())
    entries = waits.log_until(program.log_path,
                              lambda e: len(calls(e, "TpMouseButtonSwapChanged")) >= before + 2, timeout=5)
    swaps = calls(entries, "TpMouseButtonSwapChanged")[before:]
    ctx.check(len(swaps) == 2, "each change of the swap setting calls TpMouseButtonSwapChanged once",
              "%d calls" % len(swaps))


def check_console_disconnect(ctx, program):
    program.post(WM_WTSSESSION_CHANGE, WTS_CONSOLE_DISCONNECT)
    entries = waits.log_until(program.log_path, lambda e: calls(e, "TpDisconnect"), timeout=5)
    disconnects = calls(entries, "TpDisconnect")
    ctx.check(len(disconnects) == 1, "a console disconnect calls TpDisconnect once", "%d calls" % len(disconnects))
    if not disconnects:
        return
    at = disconnects[0].t
    entries = waits.log_until(
        program.log_path, lambda e: len([c for c in calls(e, "TpIsDisabled") if c.t > at]) >= 20, timeout=5)
    after = [c for c in calls(entries, "TpIsDisabled") if c.t > at]
    ctx.check(len(after) >= 20, "the poll goes on after a console disconnect", "%d ticks after it" % len(after))
    ctx.check(len(calls(entries, "TpConnect")) == 3, "a console disconnect tries no new link")


def check_console_connect(ctx, program):
    entries = calllog.read(program.log_path)
    connects_before = len(calls(entries, "TpConnect"))
    program.pad("refuse 2")
    shell_before = len(ctx.desktop.tray_calls())
    program.post(WM_WTSSESSION_CHANGE, WTS_CONSOLE_CONNECT)
    entries = waits.log_until(program.log_path, lambda e: len(accepted(e)) >= 2, timeout=10)
    relinks = calls(entries, "TpConnect")[connects_before:]
    results = [c.value("ret") for c in relinks]
    ctx.check(results == [0, 0, 1], "after a console connect TpConnect is tried again until accepted",
              "results %s" % results)
    if len(relinks) < 2:
        return
    ticks = [c.t for c in calls(entries, "TpIsDisabled")]
    last_tick = max([t for t in ticks if t < relinks[0].t], default=None)
    waiting_ticks = [t for t in ticks if relinks[0].t < t < relinks[-1].t]
    ctx.check(not waiting_ticks, "the poll stops while the link is re-made", "%d ticks" % len(waiting_ticks))
    periods = calllog.periods_ms([c.t for c in relinks])
    first_gap = (relinks[0].t - last_tick) / 1000.0 if last_tick is not None else float("nan")
    ctx.figure("re-link: first attempt %.0f ms after the last poll tick, then %s ms apart"
               % (first_gap, ", ".join("%.0f" % p for p in periods)))
    ctx.check(min(periods) >= 300, "the re-link attempts come a re-link period apart, not at once",
              "gaps %s ms" % periods)
    entries = waits.log_until(
        program.log_path, lambda e: [c for c in calls(e, "TpIsDisabled") if c.t > relinks[-1].t], timeout=5)
    ctx.check([c for c in calls(entries, "TpIsDisabled") if c.t > relinks[-1].t], "the poll resumes after the re-link")
    shell = ctx.desktop.tray_calls()[shell_before:]
    ctx.check("add" in shell or "duplicate" in shell, "the re-link adds the icon again", "shell calls %s" % shell)
    if "duplicate" in shell:
        ctx.figure("the shell refused the re-link's add as a duplicate: the icon was still there")
    program.pad("status 0 2 4")
    ok, shown = ctx.tray.wait_for("fingers 2 firm")
    ctx.check(ok, "after the re-link the icon mirrors the pad again", "shows %s" % shown)
    inits = calls(calllog.read(program.log_path), "TpInitOnce")
    ctx.check(len(inits) == 1, "a re-link does not call TpInitOnce again", "%d calls" % len(inits))


def check_exit_command(ctx, program):
    program.post(WM_COMMAND, IDM_EXIT)
    code = program.wait_exit(15)
    ctx.check(code == 0, "IDM_EXIT posted to the window ends the program with exit code 0", "exit code %s" % code)
    entries = waits.log_until(program.log_path, lambda e: events(e, "unload"), timeout=5)
    ctx.check(len(calls(entries, "TpDisconnect")) == 2, "IDM_EXIT calls TpDisconnect before the window goes",
              "%d TpDisconnect in all" % len(calls(entries, "TpDisconnect")))


def run(ctx):
    relay.include(ctx.session, START_ENTRIES)
    try:
        program = Program(ctx.session, ctx.desktop, ctx.work_dir, scenario="refuse 2\n", name="link",
                          debug=relay.WINEDEBUG)
        ctx.track(program)
        program.start()
    finally:
        relay.untrace(ctx.session)
    check_start_calls(ctx, program)
    check_link(ctx, program)
    check_poll(ctx, program)
    check_quiet_stretch(ctx, program)
    check_raw_reports(ctx, program)
    check_buttons(ctx, program)
    check_mouse_swap(ctx, program)
    check_console_disconnect(ctx, program)
    check_console_connect(ctx, program)
    check_exit_command(ctx, program)
