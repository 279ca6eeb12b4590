"""The real program against a library that misbehaves: a dozen refused links, disabled
answers other than 0 and 1, tray modes other than 0, 1 and 2, check-button answers other than
0 and 1, and a flood of reports from the library's own thread. The program must keep to its
handling of each: retry, flip, keep the icon, follow up, hand back, stay up."""

import os
import random
import time

from quibe2e import calllog, waits
from quibe2e.calllog import calls, events
from quibe2e.icons import finger_slot
from quibe2e.tray_group import drive
from quibe2e.identity import IDM_EXIT
from quibe2e.wine import WM_COMMAND, WM_WTSSESSION_CHANGE, WTS_CONSOLE_CONNECT, Program

# Enough refusals to outlast a give-up limit of ten tries, or of four start-up periods: the
# program tries without limit. One alone would show that 2 is not taken for a link.
REFUSALS = 12
# A refusal that a careless "if (result)" would take for a link.
REFUSAL_VALUE = 2
RELINK_PERIOD_S = 0.5

# Disabled answers: two that are neither 0 nor 1, then a good one.
ODD_DISABLED = (5, -1)
TICKS_PER_ANSWER = 30

# The flood: FLOOD_RATE reports a second, half of the time mixed reports with odd
# check-button answers, half of it raw reports only, each pass's reports back to back. The
# whole flood fits in the library's log ring (see flood_records), so no line can be lost
# however late the log's writer runs; it lasts long enough to look at the program meanwhile.
FLOOD_RATE = 2500
FLOOD_SECONDS = 2
MIXED_BODY = 100          # reports in one pass of the mixed block
RAW_BODY = 10             # reports in one pass of the raw block
CHECK_ANSWERS = (-1, 0x100, 2, 0)
ODD_TYPES = (0, 257, 260, 0x104, 0xFFFFFFFF, 0x80000103)
FLOOD_SEED = 1500

REPORT_RAW = 258
REPORT_STATUS = 259
WM_NULL = 0


def accepted(entries):
    return [c for c in calls(entries, "TpConnect") if c.value("ret") == 1]


def check_refused_links(ctx, program):
    entries = waits.log_until(program.log_path, accepted, timeout=REFUSALS * RELINK_PERIOD_S + 30)
    connects = calls(entries, "TpConnect")
    results = [c.value("ret") for c in connects]
    ctx.check(results == [REFUSAL_VALUE] * REFUSALS + [1],
              "TpConnect answering %d %d times, then 1: %d attempts, the last one links"
              % (REFUSAL_VALUE, REFUSALS, REFUSALS + 1),
              "%d attempts, answers %s" % (len(results), sorted(set(results))))
    periods = calllog.periods_ms([c.t for c in connects])
    if periods:
        ctx.figure("%d link attempts, median %.0f ms apart (min %.0f, max %.0f) after the console connect"
                   % (len(connects), calllog.median(periods), min(periods), max(periods)))
    if not accepted(entries):
        return False
    linked_at = accepted(entries)[0].t
    early = [c for c in calls(entries, "TpIsDisabled", "TpGetTrayMode", "TpInitOnce") if c.t < linked_at]
    ctx.check(not early, "no poll call while the library refuses", "%d calls" % len(early))
    ok, shown = ctx.tray.wait_for("idle", timeout=10)
    ctx.check(ok, "the icon appears once the library accepts, mirroring the idle pad", "shows %s" % shown)
    shell = ctx.desktop.tray_calls()
    ctx.check(shell.count("add") == 1 and "duplicate" not in shell,
              "the icon is added once, at the link, and not for a refused attempt", "shell calls %s" % shell)
    return ok


def poll_ticks(entries):
    """(answer of TpIsDisabled, [enabled values of TpSetEnabled]) for each poll tick."""
    ticks = []
    for call in calls(entries, "TpIsDisabled", "TpSetEnabled"):
        if call.name == "TpIsDisabled":
            ticks.append((call.value("ret"), []))
        elif ticks:
            ticks[-1][1].append(call.value("enabled"))
    return ticks


def answer_runs(ticks):
    runs = []
    for answer, _ in ticks:
        if not runs or runs[-1] != answer:
            runs.append(answer)
    return runs


def flips_as_specified(ticks):
    """Failures of the flag handling: a tick of an odd answer makes exactly one TpSetEnabled,
    opposite to the tick before (the first one disables, the flag starting at 0); the good
    answer 0 that follows settles the flag with at most one more call, then none."""
    problems = []
    flag = 0
    for number, (answer, sets) in enumerate(ticks):
        if answer != flag:
            flag = 1 - flag
            expected = [1 - flag]
        else:
            expected = []
        if sets != expected:
            problems.append("tick %d answered %s: TpSetEnabled %s, expected %s" % (number, answer, sets, expected))
    return problems


def check_disabled_answers(ctx, program):
    def settled_on(answer):
        """True once the latest TICKS_PER_ANSWER ticks all got the answer."""
        def condition(entries):
            latest = poll_ticks(entries)[-TICKS_PER_ANSWER:]
            return len(latest) == TICKS_PER_ANSWER and all(a == answer for a, _ in latest)
        return condition

    for answer in ODD_DISABLED + (0,):
        program.pad("disabled %d" % answer)
        waits.log_until(program.log_path, settled_on(answer), timeout=10)
    ticks = poll_ticks(calllog.read(program.log_path))
    runs = answer_runs(ticks)
    ctx.check(runs == [0] + list(ODD_DISABLED) + [0], "TpIsDisabled answered 0, then %s, then 0 again"
              % " and ".join(str(a) for a in ODD_DISABLED), "answers in runs %s" % runs)
    problems = flips_as_specified(ticks)
    ctx.check(not problems, "an odd answer flips the disabled flag on every tick, TpSetEnabled alternating; "
              "0 settles it", "; ".join(problems[:4]))
    odd = [(a, s) for a, s in ticks if a in ODD_DISABLED]
    enabled = [v for _, sets in odd for v in sets]
    ctx.check(len(odd) >= 2 * TICKS_PER_ANSWER and enabled[:2] == [0, 1],
              "consecutive odd answers call TpSetEnabled 0, 1, 0, 1 ...", "first values %s" % enabled[:6])
    last_odd = max((i for i, (a, _) in enumerate(ticks) if a in ODD_DISABLED), default=len(ticks) - 1)
    settle = [sets for _, sets in ticks[last_odd + 1:]]
    calls_after = sum(len(s) for s in settle)
    ctx.check(calls_after <= 1 and all(not s for s in settle[1:]),
              "after the odd answers, 0 brings at most one more TpSetEnabled and then none",
              "%d calls over %d ticks" % (calls_after, len(settle)))
    ctx.figure("disabled answers: %d ticks at %s with %d TpSetEnabled calls; %d ticks at 0 after them with %d"
               % (len(odd), "/".join(str(a) for a in ODD_DISABLED), len(enabled), len(settle), calls_after))


def check_tray_modes(ctx, program):
    drive(program, ["status 0 3 4"], "modes start")
    ok, shown = ctx.tray.wait_for(finger_slot(3, 2))
    ctx.check(ok, "tray mode 1 shows the live picture (three fingers, firm)", "shows %s" % shown)
    shell_before = len(ctx.desktop.tray_calls())
    steps = [
        (["traymode 7"], finger_slot(3, 2), "tray mode 7 keeps the live picture"),
        (["status 0 2 1"], finger_slot(2, 0), "in tray mode 7 the icon follows the pad"),
        (["traymode -3"], finger_slot(2, 0), "tray mode -3 keeps the live picture"),
        (["status 4 5 3"], "right button", "in tray mode -3 the icon follows the pad"),
    ]
    for number, (commands, slot, what) in enumerate(steps):
        drive(program, commands, "modes %d" % number)
        ok, shown = ctx.tray.wait_for(slot)
        ctx.check(ok and "application icon" not in shown, "%s: %s" % (what, slot), "shows %s" % shown)
    shell = ctx.desktop.tray_calls()[shell_before:]
    ctx.check(not {"delete", "add", "duplicate"} & set(shell),
              "tray modes 7 and -3 neither remove nor re-add the icon", "shell calls %s" % shell)
    answers = {c.value("ret") for c in calls(calllog.read(program.log_path), "TpGetTrayMode")}
    ctx.check({7, -3} <= answers, "the library really answered 7 and -3", "answers %s" % sorted(answers))
    drive(program, ["traymode 2"], "modes app")
    ok, shown = ctx.tray.wait_for("application icon")
    ctx.check(ok, "tray mode 2 then shows the application icon", "shows %s" % shown)
    drive(program, ["traymode 1", "status 8 5 3"], "modes live")
    ok, shown = ctx.tray.wait_for(finger_slot(5, 1))
    ctx.check(ok, "tray mode 1 brings the live picture back (five fingers, medium)", "shows %s" % shown)
    shell = ctx.desktop.tray_calls()[shell_before:]
    ctx.check("delete" not in shell, "no tray mode but 0 removes the icon", "shell calls %s" % shell)


def random_status(rng):
    flags = rng.choice((rng.randrange(256), 0, rng.choice((1, 2, 4, 8, 5, 0x0A, 0x10, 0x80, 0xFF))))
    fingers = rng.randrange(7) if rng.random() < 0.6 else rng.randrange(256)
    return "status %d %d %d" % (flags, fingers, rng.randrange(256))


def random_report(rng):
    """One report of the mixed block: mostly status and raw, some odd ones."""
    pick = rng.random()
    if pick < 0.55:
        return random_status(rng)
    if pick < 0.85:
        return "raw %d" % rng.randrange(65)
    if pick < 0.92:
        # A status record longer than 15 bytes; only offsets 12 to 14 count.
        body = [rng.randrange(256) for _ in range(11 + rng.randrange(1, 30))]
        return "report 259 " + " ".join(str(b) for b in body)
    if pick < 0.97:
        body = [rng.randrange(256) for _ in range(rng.randrange(21))]
        return " ".join(["report %d" % rng.choice(ODD_TYPES)] + [str(b) for b in body])
    return "null"


def flood_script(rng):
    """The flood as padctl commands: a mixed block whose check-button answer changes every
    quarter pass, then a raw block; marks around each."""
    seconds = FLOOD_SECONDS // 2
    mixed = []
    for index in range(MIXED_BODY):
        if index % (MIXED_BODY // len(CHECK_ANSWERS)) == 0:
            mixed.append("checkbuttons %d" % CHECK_ANSWERS[index * len(CHECK_ANSWERS) // MIXED_BODY])
        mixed.append(random_report(rng))
    raw = ["raw %d" % rng.randrange(17) for _ in range(RAW_BODY)]
    mixed_passes = FLOOD_RATE // MIXED_BODY
    raw_passes = FLOOD_RATE // RAW_BODY
    return (["mark flood begin", "rate %d %d" % (mixed_passes, mixed_passes * seconds)] + mixed +
            ["end", "mark flood mixed end", "rate %d %d" % (raw_passes, raw_passes * seconds)] + raw +
            ["end", "checkbuttons 0", "mark flood end"])


def flood_records(script):
    """The most records the flood can put in the library's log: one for each command played
    (a delivery, a state change, a mark, a rate block's end), one more for a raw report's
    hand-back and two more for a status report's check and follow-up; a block's body counts
    once a pass."""
    records, passes = 0, 1
    for command in script:
        words = command.split(" ")
        if words[0] == "rate":
            passes = int(words[2])
            records += 1
        elif words[0] == "end":
            passes = 1
        else:
            records += passes * (1 + {"raw": 1, "status": 2, "report": 2}.get(words[0], 0))
    return records


class FloodTally:
    """Follows the flood's log lines report by report: each delivery and the library calls
    that the callback made for it. A raw report must bring exactly one TpForwardRawReport
    (payload at +4); a status report with a nonzero button byte exactly one
    TpCheckButtonFlags with that byte and, for a nonzero answer, exactly one
    TpButtonFollowUp(0); any other report no call at all."""

    def __init__(self):
        self.state = "before"
        self.begin_t = self.end_t = None
        self.current = None
        self.problems = []
        self.counts = dict(delivered=0, raw=0, forwarded=0, status=0, checked=0, nonzero=0, followups=0,
                           odd=0, ticks=0, dropped=0)
        self.answers = {}          # check answer -> [checks, follow-ups after it]
        self.rates = []            # (count, per_second, elapsed_us) of each rate block

    def problem(self, text):
        if len(self.problems) < 20:
            self.problems.append(text)
        else:
            self.problems[-1] = "... and more"

    def feed(self, entry):
        if self.state == "after":
            return
        event = entry.name if entry.kind == "event" else None
        call = entry.name if entry.kind == "call" else None
        if event == "mark" and entry.text == "flood begin":
            self.state, self.begin_t = "during", entry.t
            return
        if self.state != "during":
            return
        if event == "mark" and entry.text == "flood end":
            self.finish_report()
            self.state, self.end_t = "after", entry.t
        elif event == "deliver":
            self.finish_report()
            self.start_report(entry.fields)
        elif event == "dropped":
            self.counts["dropped"] += entry.value("count", 1)
        elif event == "rate":
            self.rates.append(tuple(entry.value(k) for k in ("count", "per_second", "elapsed_us")))
        elif call == "TpIsDisabled":
            self.counts["ticks"] += 1
        elif call in ("TpForwardRawReport", "TpCheckButtonFlags", "TpButtonFollowUp"):
            self.callback_call(call, entry.fields)

    def start_report(self, items):
        self.counts["delivered"] += 1
        report = dict(n=items.get("n"), kind="odd", flags=0, calls=[])
        if items.get("record") == "null":
            report["kind"] = "null"
        elif items.get("type") == str(REPORT_RAW):
            report["kind"] = "raw"
        elif items.get("type") == str(REPORT_STATUS) and int(items.get("len", "0")) >= 15:
            report["kind"] = "status"
            report["flags"] = int(items["bytes"][24:26], 16)
        self.counts[report["kind"] if report["kind"] in ("raw", "status") else "odd"] += 1
        self.current = report

    def callback_call(self, call, items):
        if self.current is None:
            self.problem("%s outside any delivery" % call)
            return
        ret = int(items.get("ret", "0"), 0)
        self.current["calls"].append((call, items.get("payload") or items.get("flags") or items.get("arg"), ret))
        if call == "TpForwardRawReport":
            self.counts["forwarded"] += 1
        elif call == "TpCheckButtonFlags":
            self.counts["checked"] += 1
            self.counts["nonzero"] += ret != 0
            self.answers.setdefault(ret, [0, 0])[0] += 1
        else:
            self.counts["followups"] += 1
            if len(self.current["calls"]) > 1:
                self.answers.setdefault(self.current["calls"][-2][2], [0, 0])[1] += 1

    def finish_report(self):
        report, self.current = self.current, None
        if report is None:
            return
        seen = report["calls"]
        if report["kind"] == "raw":
            expected = [("TpForwardRawReport", "+4", 0)]
        elif report["kind"] == "status" and report["flags"]:
            answer = seen[0][2] if seen and seen[0][0] == "TpCheckButtonFlags" else 0
            expected = [("TpCheckButtonFlags", str(report["flags"]), answer)]
            if answer != 0:
                expected.append(("TpButtonFollowUp", "0", 0))
        else:
            expected = []
        if seen != expected:
            self.problem("report %s (%s, buttons %#x): calls %s" % (report["n"], report["kind"], report["flags"], seen))


def program_cpu(ctx):
    """CPU seconds used so far by each thread of the program's Wine process, by Linux thread
    id, or None when the process is not found (only this run's prefix is looked at)."""
    prefix = ("WINEPREFIX=" + ctx.session.prefix).encode()
    for pid in filter(str.isdigit, os.listdir("/proc")):
        try:
            with open("/proc/%s/cmdline" % pid, "rb") as f:
                command = f.read().split(b"\0")[0]
            if not command.endswith(b"QuibTPCenter.exe"):
                continue
            with open("/proc/%s/environ" % pid, "rb") as f:
                if prefix not in f.read().split(b"\0"):
                    continue
            return {int(tid): cpu_seconds("/proc/%s/task/%s/stat" % (pid, tid))
                    for tid in os.listdir("/proc/%s/task" % pid)}, int(pid)
        except OSError:
            continue
    return None


def cpu_seconds(stat_path):
    with open(stat_path) as f:
        fields = f.read().rpartition(")")[2].split()
    return (int(fields[11]) + int(fields[12])) / os.sysconf("SC_CLK_TCK")


def cpu_figure(before, after, wall):
    """The program's CPU use between two program_cpu samples, in percent of one core."""
    (threads_before, pid), (threads_after, _) = before, after
    used = {tid: seconds - threads_before.get(tid, 0.0) for tid, seconds in threads_after.items()}
    share = sorted(((100 * seconds / wall, tid) for tid, seconds in used.items()), reverse=True)
    return "%.0f%% of one core over %.1f s; by thread: %s" % (
        sum(s for s, _ in share), wall,
        ", ".join("%.0f%%%s" % (s, " (main)" if tid == pid else "") for s, tid in share))


def answers_window(program):
    try:
        program.send(WM_NULL)
        return True
    except RuntimeError:
        return False


def watch_flood(ctx, program, tail, tally):
    """Feeds the tally the log's new lines until the flood's end mark, looking at the program
    once the begin mark is seen and again after each half of the flood's time; each line is
    read once, so the watcher takes little of the machine from the flood. [answers of each look]"""
    looks = []
    deadline = time.monotonic() + FLOOD_SECONDS + 30
    next_look = None
    while tally.state != "after" and time.monotonic() < deadline:
        for entry in tail.read():
            tally.feed(entry)
        if tally.state != "before" and next_look is None:
            next_look = time.monotonic()
        if next_look is not None and time.monotonic() >= next_look and tally.state == "during":
            looks.append(program.running() and answers_window(program))
            next_look = time.monotonic() + FLOOD_SECONDS / 2
        time.sleep(0.1)
    return looks


def check_flood(ctx, program):
    script = flood_script(random.Random(FLOOD_SEED))
    script_path = os.path.join(ctx.work_dir, "flood-script.txt")
    with open(script_path, "w") as f:
        f.write("\n".join(script) + "\n")
    ctx.checker.keep(script_path)
    tail = calllog.Tail(program.log_path)
    tail.read()  # what came before the flood, so that the watch reads only the flood's lines
    shell_before = len(ctx.desktop.tray_calls())
    cpu_before, wall_before = program_cpu(ctx), time.monotonic()
    program.pad(*script)
    tally = FloodTally()
    looks = watch_flood(ctx, program, tail, tally)
    cpu_after, wall_after = program_cpu(ctx), time.monotonic()
    ctx.check(tally.state == "after", "the flood was played to its end")
    ctx.check(looks and all(looks), "during the flood the program stays up and its window answers "
              "SendMessageTimeout", "answers %s" % looks)
    ctx.check(program.running() and answers_window(program), "after the flood the program is up and answers")
    report_flood(ctx, tally)
    ctx.figure("icon changes sent to the shell during the flood: %d"
               % ctx.desktop.tray_calls()[shell_before:].count("modify"))
    if cpu_before and cpu_after:
        ctx.figure("program CPU from the flood's start to its end: " +
                   cpu_figure(cpu_before, cpu_after, wall_after - wall_before))
    return tail


def report_flood(ctx, tally):
    counts = tally.counts
    ctx.check(counts["dropped"] == 0, "the log kept every line of the flood", "%d lost" % counts["dropped"])
    ctx.check(counts["forwarded"] == counts["raw"] > 0,
              "each raw report is handed back with TpForwardRawReport",
              "%d raw reports, %d forwarded" % (counts["raw"], counts["forwarded"]))
    nonzero = sorted(a for a in tally.answers if a != 0)
    ctx.check(counts["nonzero"] == counts["followups"] > 0 and nonzero == sorted(a for a in CHECK_ANSWERS if a),
              "each nonzero check answer (%s) brings one TpButtonFollowUp(0)"
              % ", ".join(str(a) for a in CHECK_ANSWERS if a),
              "%d nonzero answers, %d follow-ups, answers seen %s" % (counts["nonzero"], counts["followups"],
                                                                       sorted(tally.answers)))
    ctx.check(not tally.problems, "every report brings exactly the library calls its kind calls for",
              "; ".join(tally.problems[:5]))
    span_s = (tally.end_t - tally.begin_t) / 1e6 if tally.end_t and tally.begin_t else float("nan")
    ctx.figure("flood: %d reports in %.1f s (%.0f a second): %d raw, %d status, %d null or of another type"
               % (counts["delivered"], span_s, counts["delivered"] / span_s, counts["raw"], counts["status"],
                  counts["odd"]))
    ctx.figure("check answers (checks/follow-ups): %s" % ", ".join(
        "%d: %d/%d" % (answer, checks, followups) for answer, (checks, followups) in sorted(tally.answers.items())))
    for (count, per_second, elapsed_us), body in zip(tally.rates, (MIXED_BODY, RAW_BODY)):
        ctx.figure("rate block of %d reports a pass: %d passes in %.2f s, %.0f reports a second (asked %d)"
                   % (body, count, elapsed_us / 1e6, count * body / (elapsed_us / 1e6), per_second * body))
    ctx.figure("poll ticks during the flood: %d in %.1f s (%.0f a second)"
               % (counts["ticks"], span_s, counts["ticks"] / span_s))


def check_final_state(ctx, program, tail):
    # Flags 0x0A release both buttons, whatever the flood left held.
    program.pad("status 0x0A 3 2", "mark final")
    entries = waits.tail_until(tail, lambda e: calllog.mark_time(e, "final") is not None)
    ctx.check(calllog.mark_time(entries, "final") is not None, "the final status report was delivered")
    ok, shown = ctx.tray.wait_for(finger_slot(3, 1))
    ctx.check(ok, "after the flood the icon shows the final state: three fingers, medium", "shows %s" % shown)
    return entries


def check_exit(ctx, program, tail):
    program.post(WM_COMMAND, IDM_EXIT)
    code = program.wait_exit(15)
    ctx.check(code == 0, "IDM_EXIT ends the program with exit code 0", "exit code %s" % code)
    entries = waits.tail_until(tail, lambda e: events(e, "unload"), timeout=5)
    ctx.check(len(calls(entries, "TpDisconnect")) == 1, "IDM_EXIT calls TpDisconnect once",
              "%d calls" % len(calls(entries, "TpDisconnect")))


def run(ctx):
    program = Program(ctx.session, ctx.desktop, ctx.work_dir,
                      scenario="refuse %d %d\n" % (REFUSALS, REFUSAL_VALUE), name="hostile")
    ctx.track(program)
    program.start()
    # Retries every 500 ms instead of 1500 ms.
    program.post(WM_WTSSESSION_CHANGE, WTS_CONSOLE_CONNECT)
    if not check_refused_links(ctx, program):
        return
    check_disabled_answers(ctx, program)
    check_tray_modes(ctx, program)
    tail = check_flood(ctx, program)
    check_final_state(ctx, program, tail)
    check_exit(ctx, program, tail)
