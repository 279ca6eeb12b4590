"""A short account of a run, from the library's call log and explorer's tray trace."""

from quibe2e import calllog
from quibe2e.calllog import calls, events

REPORT_TYPES = {258: "raw", 259: "status"}


def lines(entries, shell_calls, exit_code):
    out = []
    connects = calls(entries, "TpConnect")
    accepted = [c for c in connects if c.value("ret") == 1]
    refused = [c for c in connects if c.value("ret") != 1]
    if accepted:
        first = accepted[0]
        before = [c for c in refused if c.t < first.t]
        gaps = calllog.periods_ms([c.t for c in before])
        out.append("link: %d attempt(s) refused%s, linked %.2f s after start"
                   % (len(before), " about every %.0f ms" % calllog.median(gaps) if gaps else "", first.t / 1e6))
        if len(accepted) > 1:
            out.append("re-links: %d" % (len(accepted) - 1))
    else:
        out.append("link: never linked (%d attempts refused)" % len(refused))
    ticks = [c.t for c in calls(entries, "TpIsDisabled")]
    if len(ticks) > 1:
        span = (ticks[-1] - ticks[0]) / 1e6
        out.append("poll: %d ticks in %.1f s (%.0f a second), median period %.1f ms"
                   % (len(ticks), span, (len(ticks) - 1) / span, calllog.median(calllog.periods_ms(ticks))))
    deliveries = events(entries, "deliver")
    kinds = {}
    for delivery in deliveries:
        kind = REPORT_TYPES.get(delivery.value("type"), "other")
        kinds[kind] = kinds.get(kind, 0) + 1
    out.append("reports handled: %d (%s)" % (len(deliveries), ", ".join("%d %s" % (n, k) for k, n in sorted(kinds.items()))))
    out.append("notification area: %d add(s), %d picture change(s) (redraws), %d removal(s)"
               % (shell_calls.count("add") + shell_calls.count("duplicate"), shell_calls.count("modify"),
                  shell_calls.count("delete")))
    other = {}
    for call in calls(entries, "TpSetEnabled", "TpInitOnce", "TpCheckButtonFlags", "TpButtonFollowUp",
                      "TpDisconnect"):
        other[call.name] = other.get(call.name, 0) + 1
    out.append("other library calls: " + (", ".join("%s %d" % item for item in sorted(other.items())) or "none"))
    out.append("exit code: %s" % ("unknown (still running)" if exit_code is None else exit_code))
    return out
