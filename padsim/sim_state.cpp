#include "padsim/sim_state.h"

#include "padsim/sim_log.h"

SIMSTATE SimState;

void ApplyStateCommand(const SIMCOMMAND& command)
{
    const int32_t value = static_cast<int32_t>(command.first);
    switch (command.kind) {
    case CMD_REFUSE:
        SimState.refusalValue.store(static_cast<int32_t>(command.second));
        SimState.refusalsLeft.store(value);
        LogEvent(EVENT_SET, STATE_REFUSE, value, command.second);
        break;
    case CMD_TRAYMODE:
        SimState.trayMode.store(value);
        LogEvent(EVENT_SET, STATE_TRAYMODE, value, 0);
        break;
    case CMD_DISABLED:
        SimState.disabled.store(value);
        LogEvent(EVENT_SET, STATE_DISABLED, value, 0);
        break;
    case CMD_CHECKBUTTONS:
        SimState.checkButtons.store(value);
        LogEvent(EVENT_SET, STATE_CHECKBUTTONS, value, 0);
        break;
    default:
        break;
    }
}

bool TakeRefusal(int32_t* value)
{
    int32_t left = SimState.refusalsLeft.load();
    while (left > 0) {
        if (SimState.refusalsLeft.compare_exchange_weak(left, left - 1)) {
            *value = SimState.refusalValue.load();
            return true;
        }
    }
    return false;
}
