// Helpers shared by the tests of the status core and the poll cycle.
#pragma once

#include <cstring>

#include "status/touch_report.h"
#include "status/touch_status.h"

// Puts the process-wide status back to its start-of-run values.
inline void ResetTouchStatus()
{
    TouchStatus.linked = 0;
    TouchStatus.touchpadDisabled = 0;
    TouchStatus.trayMode = -1;
    TouchStatus.initDone = 0;
    TouchStatus.fingerCount = 0;
    TouchStatus.contactLevel = 0;
    TouchStatus.leftLatch = 0;
    TouchStatus.rightLatch = 0;
    TouchStatus.buttonMode = 0;
    TouchStatus.refreshPending = 0;
}

// A plain copy of every field, comparable in one assertion.
struct StatusSnapshot {
    int32_t linked, touchpadDisabled, trayMode, initDone, fingerCount, contactLevel, leftLatch,
        rightLatch, buttonMode, refreshPending;
    bool operator==(const StatusSnapshot& other) const
    {
        return std::memcmp(this, &other, sizeof other) == 0;
    }
};

inline StatusSnapshot SnapshotOf(const TOUCHSTATUS& s)
{
    return StatusSnapshot{s.linked,     s.touchpadDisabled, s.trayMode,   s.initDone,
                          s.fingerCount, s.contactLevel,    s.leftLatch,  s.rightLatch,
                          s.buttonMode, s.refreshPending};
}

inline TouchReport StatusReport(uint8_t buttonFlags, uint8_t fingers, uint8_t contact)
{
    TouchReport report{};
    report.type = REPORT_STATUS;
    report.buttonFlags = buttonFlags;
    report.fingers = fingers;
    report.contact = contact;
    return report;
}
