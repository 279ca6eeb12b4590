// Timers and tray icon that only count their calls and keep the last picture: no strings,
// no containers, so they neither allocate nor weigh on a measurement.
#pragma once

#include <cstdint>

#include "status/icon_choice.h"

struct NULLCYCLEPORTS {
    int64_t timerStarts;
    int64_t timerStops;
    int64_t trayAdds;
    int64_t trayImages;
    int64_t trayRemoves;
    int64_t trayRestores;
    IconSlot picture;
};

extern NULLCYCLEPORTS NullCyclePorts;

void ResetNullCyclePorts();
int64_t NullTrayCalls();
