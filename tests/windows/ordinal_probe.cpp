// Links every library entry, so its import table shows how each one is bound. Never run.
#include "link/touchpad_api.h"

int main()
{
    TpConnect(nullptr, nullptr);
    TpDisconnect();
    TpForwardRawReport(nullptr);
    TpButtonFollowUp(0);
    TpCheckButtonFlags(0);
    TpMouseButtonSwapChanged(nullptr);
    TpInitOnce(nullptr);
    TpIsDisabled();
    TpGetTrayMode();
    TpSetEnabled(0);
    return 0;
}
