#include "tests/perf/null_touchpad.h"

NULLTOUCHPAD NullTouchpad;

void ResetNullTouchpad()
{
    NullTouchpad = NULLTOUCHPAD{1, 0, 1, 0, {}};
}

int64_t NullTotalCalls()
{
    int64_t total = 0;
    for (int64_t count : NullTouchpad.calls) {
        total += count;
    }
    return total;
}

extern "C" {

int32_t TpConnect(void*, ReportCallback)
{
    ++NullTouchpad.calls[NULL_CONNECT];
    return NullTouchpad.connectResult;
}

int32_t TpDisconnect()
{
    ++NullTouchpad.calls[NULL_DISCONNECT];
    return 0;
}

int32_t TpForwardRawReport(const void*)
{
    ++NullTouchpad.calls[NULL_FORWARD_RAW];
    return 0;
}

int32_t TpButtonFollowUp(int32_t)
{
    ++NullTouchpad.calls[NULL_BUTTON_FOLLOW_UP];
    return 0;
}

int32_t TpCheckButtonFlags(int32_t)
{
    ++NullTouchpad.calls[NULL_CHECK_BUTTONS];
    return NullTouchpad.checkButtonsResult;
}

int32_t TpMouseButtonSwapChanged(void*)
{
    ++NullTouchpad.calls[NULL_MOUSE_SWAP];
    return 0;
}

int32_t TpInitOnce(void*)
{
    ++NullTouchpad.calls[NULL_INIT_ONCE];
    return 0;
}

int32_t TpIsDisabled()
{
    ++NullTouchpad.calls[NULL_IS_DISABLED];
    return NullTouchpad.isDisabledResult;
}

int32_t TpGetTrayMode()
{
    ++NullTouchpad.calls[NULL_GET_TRAY_MODE];
    return NullTouchpad.trayModeResult;
}

int32_t TpSetEnabled(int32_t)
{
    ++NullTouchpad.calls[NULL_SET_ENABLED];
    return 0;
}

}  // extern "C"
