#include "tests/perf/null_cycle_ports.h"

#include "link/cycle_ports.h"

NULLCYCLEPORTS NullCyclePorts;

void ResetNullCyclePorts()
{
    NullCyclePorts = NULLCYCLEPORTS{0, 0, 0, 0, 0, 0, appIcon};
}

int64_t NullTrayCalls()
{
    return NullCyclePorts.trayAdds + NullCyclePorts.trayImages + NullCyclePorts.trayRemoves +
           NullCyclePorts.trayRestores;
}

void StartCycleTimer(uint32_t, uint32_t)
{
    ++NullCyclePorts.timerStarts;
}

void StopCycleTimer(uint32_t)
{
    ++NullCyclePorts.timerStops;
}

bool AddStatusIcon(IconSlot slot, const wchar_t*)
{
    ++NullCyclePorts.trayAdds;
    NullCyclePorts.picture = slot;
    return true;
}

bool SetStatusIconImage(IconSlot slot)
{
    ++NullCyclePorts.trayImages;
    NullCyclePorts.picture = slot;
    return true;
}

void RemoveStatusIcon()
{
    ++NullCyclePorts.trayRemoves;
}

bool RestoreStatusIcon(IconSlot slot)
{
    ++NullCyclePorts.trayRestores;
    NullCyclePorts.picture = slot;
    return true;
}
