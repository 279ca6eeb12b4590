// The paths that the benchmarks, the allocation checks and the instruction counts run, set
// up the same way for all three so their figures describe the same work.
#pragma once

#include "link/poll_cycle.h"
#include "status/icon_choice.h"
#include "status/touch_report.h"
#include "status/touch_status.h"
#include "tests/fakes/test_status.h"
#include "tests/perf/null_cycle_ports.h"
#include "tests/perf/null_touchpad.h"

// Two reports delivered in turn, so that every delivery differs from the one before.
struct REPORTPAIR {
    TouchReport reports[2];
};

// A moving hand, one finger lightly then two firmly: each delivery changes the finger count
// and the contact level and announces a refresh.
inline REPORTPAIR MovingReports()
{
    return REPORTPAIR{{StatusReport(0, 1, 1), StatusReport(0, 2, 4)}};
}

// A left press and its release, in turn: the longest way through the callback, with the
// button check (answering nonzero, so the follow-up is called) and a button mode change.
inline REPORTPAIR ClickReports()
{
    return REPORTPAIR{{StatusReport(BUTTON_LEFT_DOWN, 1, 2), StatusReport(BUTTON_LEFT_UP, 1, 2)}};
}

// Two fingers resting firmly: after the first delivery every further one changes nothing.
inline TouchReport RestingReport()
{
    return StatusReport(0, 2, 3);
}

inline TouchReport RawReport()
{
    TouchReport report{};
    report.type = REPORT_RAW;
    return report;
}

// A standing link with a live icon, the first tick long done and nothing pending: the state
// in which a poll tick makes its two library calls and nothing else.
inline void EnterQuietLink()
{
    ResetTouchStatus();
    ResetNullTouchpad();
    ResetNullCyclePorts();
    TouchStatus.linked = 1;
    TouchStatus.trayMode = 1;
    TouchStatus.initDone = 1;
}

// Three fingers at the middle level on a live icon: the icon choice goes all the way to a
// finger slot, the longest of its paths.
inline void EnterThreeFingerStatus()
{
    EnterQuietLink();
    TouchStatus.fingerCount = 3;
    TouchStatus.contactLevel = 1;
}
