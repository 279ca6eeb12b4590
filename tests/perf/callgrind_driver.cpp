// Runs each measured path many times, one phase at a time, for callgrind. Under valgrind
// (scripts/perf-host) each phase collects its own costs and ends with a dump named after
// it; run on its own it only checks that every phase takes the path it is named for.
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "tests/perf/perf_scenarios.h"

#if __has_include(<valgrind/callgrind.h>)
#include <valgrind/callgrind.h>
#else
#define CALLGRIND_TOGGLE_COLLECT
#define CALLGRIND_ZERO_STATS
#define CALLGRIND_DUMP_STATS_AT(name) (void)(name)
#endif

namespace {

int Failures = 0;

void Expect(bool holds, const char* phase, const char* what)
{
    if (!holds) {
        std::fprintf(stderr, "%s: %s\n", phase, what);
        ++Failures;
    }
}

// Collection is on only inside the loop, so a dump holds the phase's calls and nothing else.
template <typename Step>
void RunPhase(const char* phase, long calls, Step step)
{
    CALLGRIND_ZERO_STATS;
    CALLGRIND_TOGGLE_COLLECT;
    for (long call = 0; call < calls; ++call) {
        step(call);
    }
    CALLGRIND_TOGGLE_COLLECT;
    CALLGRIND_DUMP_STATS_AT(phase);
}

void MeasureReports(long calls)
{
    EnterQuietLink();
    const REPORTPAIR moving = MovingReports();
    RunPhase("report_changing", calls, [&](long call) { OnTouchReport(&moving.reports[call & 1]); });
    Expect(NullTotalCalls() == 0 && TouchStatus.refreshPending == 1, "report_changing",
           "no library call and a refresh announced");

    EnterQuietLink();
    NullTouchpad.checkButtonsResult = 1;
    const REPORTPAIR click = ClickReports();
    RunPhase("report_click", calls, [&](long call) { OnTouchReport(&click.reports[call & 1]); });
    Expect(NullTouchpad.calls[NULL_CHECK_BUTTONS] == calls && NullTouchpad.calls[NULL_BUTTON_FOLLOW_UP] == calls,
           "report_click", "one button check and one follow-up per report");

    EnterQuietLink();
    const TouchReport resting = RestingReport();
    OnTouchReport(&resting);
    TouchStatus.refreshPending = 0;
    RunPhase("report_repeating", calls, [&](long) { OnTouchReport(&resting); });
    Expect(NullTotalCalls() == 0 && TouchStatus.refreshPending == 0, "report_repeating",
           "no library call and no refresh");

    EnterQuietLink();
    const TouchReport raw = RawReport();
    RunPhase("report_raw", calls, [&](long) { OnTouchReport(&raw); });
    Expect(NullTouchpad.calls[NULL_FORWARD_RAW] == calls && NullTotalCalls() == calls, "report_raw",
           "one forward per report and nothing else");
}

void MeasureIconAndTick(long calls)
{
    EnterThreeFingerStatus();
    IconSlot last = appIcon;
    RunPhase("choose_icon", calls, [&](long) { last = ChooseTrayIcon(TouchStatus); });
    Expect(last == FingerIcon(3, 1), "choose_icon", "the three-finger slot");

    EnterQuietLink();
    RunPhase("poll_quiet", calls, [&](long) { PollTick(); });
    Expect(NullTotalCalls() == 2 * calls && NullTrayCalls() == 0, "poll_quiet",
           "two library calls per tick and no tray call");

    EnterThreeFingerStatus();
    RunPhase("poll_redraw", calls, [&](long) {
        AnnounceRefresh(TouchStatus);
        PollTick();
    });
    Expect(NullTotalCalls() == 2 * calls && NullCyclePorts.trayImages == calls, "poll_redraw",
           "two library calls and one picture change per tick");
}

}  // namespace

int main(int argc, char** argv)
{
    const long calls = argc > 1 ? std::strtol(argv[1], nullptr, 10) : 1000;
    if (calls <= 0) {
        std::fprintf(stderr, "usage: %s [calls per phase]\n", argv[0]);
        return 2;
    }
    MeasureReports(calls);
    MeasureIconAndTick(calls);
    if (Failures != 0) {
        return 1;
    }
    std::printf("%ld calls per phase, every phase on its path\n", calls);
    return 0;
}
