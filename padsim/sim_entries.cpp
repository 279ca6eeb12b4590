// The ten entries of the simulated QuibTPApi.dll, exported by ordinal alone through
// link/QuibTPApi.def. Each answers from the scripted state and logs its call.
#include <cstring>

#include "link/touchpad_api.h"
#include "padsim/sim_log.h"
#include "padsim/sim_player.h"
#include "padsim/sim_startup.h"
#include "padsim/sim_state.h"

namespace {

constexpr DWORD DISCONNECT_WAIT_MS = 1000;
constexpr size_t INIT_RECORD_SIZE = 24;
constexpr unsigned char LIBRARY_FILL = 0x5A;

int64_t AsValue(const void* pointer)
{
    return static_cast<int64_t>(reinterpret_cast<intptr_t>(pointer));
}

}  // namespace

extern "C" {

int32_t TpConnect(void* instance, ReportCallback callback)
{
    EnsureStarted();
    LoadScenarioOnce();
    int32_t result = 1;
    const bool refused = TakeRefusal(&result);
    // Logged before the link is made, so no delivery line comes ahead of it.
    LogCall(SIM_TP_CONNECT, AsValue(instance), AsValue(reinterpret_cast<void*>(callback)),
            refused ? result : 1);
    if (refused) {
        return result;
    }
    SimState.callback.store(callback);
    SimState.linked.store(1);
    WakePlayer();
    return 1;
}

int32_t TpDisconnect()
{
    EnsureStarted();
    SimState.linked.store(0);
    WaitForDeliveryToEnd(DISCONNECT_WAIT_MS);
    LogCall(SIM_TP_DISCONNECT, 0, 0, 0);
    FlushLog();
    return 0;
}

int32_t TpForwardRawReport(const void* payload)
{
    EnsureStarted();
    int64_t offset = 0;
    if (payload == nullptr) {
        LogCall(SIM_TP_FORWARD_RAW_REPORT, PAYLOAD_NULL, 0, 0);
    } else if (OffsetInDeliveredRecord(payload, &offset)) {
        LogCall(SIM_TP_FORWARD_RAW_REPORT, PAYLOAD_RELATIVE, offset, 0);
    } else {
        LogCall(SIM_TP_FORWARD_RAW_REPORT, PAYLOAD_ABSOLUTE, AsValue(payload), 0);
    }
    return 0;
}

int32_t TpButtonFollowUp(int32_t zero)
{
    EnsureStarted();
    LogCall(SIM_TP_BUTTON_FOLLOW_UP, zero, 0, 0);
    return 0;
}

int32_t TpCheckButtonFlags(int32_t buttonFlags)
{
    EnsureStarted();
    const int32_t result = SimState.checkButtons.load();
    LogCall(SIM_TP_CHECK_BUTTON_FLAGS, buttonFlags, 0, result);
    return result;
}

// The area is the library's for the call: it is written whole, as a real library may, so a
// caller that hands over less than 560 bytes corrupts its own memory and shows it.
int32_t TpMouseButtonSwapChanged(void* scratch560)
{
    EnsureStarted();
    if (scratch560 != nullptr) {
        std::memset(scratch560, LIBRARY_FILL, MOUSE_SWAP_AREA_SIZE);
    }
    LogCall(SIM_TP_MOUSE_BUTTON_SWAP_CHANGED, AsValue(scratch560), 0, 0);
    return 0;
}

// The library keeps its own state in the caller's 24-byte record.
int32_t TpInitOnce(void* initRecord)
{
    EnsureStarted();
    if (initRecord != nullptr) {
        std::memset(initRecord, LIBRARY_FILL, INIT_RECORD_SIZE);
    }
    LogCall(SIM_TP_INIT_ONCE, AsValue(initRecord), 0, 0);
    return 0;
}

int32_t TpIsDisabled()
{
    EnsureStarted();
    const int32_t result = SimState.disabled.load();
    LogCall(SIM_TP_IS_DISABLED, 0, 0, result);
    return result;
}

int32_t TpGetTrayMode()
{
    EnsureStarted();
    const int32_t result = SimState.trayMode.load();
    LogCall(SIM_TP_GET_TRAY_MODE, 0, 0, result);
    return result;
}

int32_t TpSetEnabled(int32_t enabled)
{
    EnsureStarted();
    LogCall(SIM_TP_SET_ENABLED, enabled, 0, 0);
    return 0;
}

}  // extern "C"
