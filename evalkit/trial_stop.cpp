#include "evalkit/trial_stop.h"

namespace {

// Windows ends the processes of a closing console 5 s after the event at the latest.
constexpr DWORD CLOSE_GRACE_MS = 4500;

HANDLE StopEvent = nullptr;  // manual reset: every wait after the stop sees it
HANDLE DoneEvent = nullptr;
volatile LONG Closing = 0;  // set from the handler's thread, read by the main thread

BOOL WINAPI OnConsoleControl(DWORD type)
{
    const bool key = type == CTRL_C_EVENT || type == CTRL_BREAK_EVENT;
    if (!key) {
        InterlockedExchange(&Closing, 1);
    }
    SetEvent(StopEvent);
    if (!key) {
        // Closing the window, logoff or shutdown: returning ends the process at once, so
        // the main thread gets the time to end the program first.
        WaitForSingleObject(DoneEvent, CLOSE_GRACE_MS);
    }
    return TRUE;
}

}  // namespace

void CatchTrialStop()
{
    StopEvent = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    DoneEvent = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    if (StopEvent == nullptr || DoneEvent == nullptr) {
        return;  // no handler: the console's default ending, and the job as the backstop
    }
    SetConsoleCtrlHandler(nullptr, FALSE);
    SetConsoleCtrlHandler(OnConsoleControl, TRUE);
}

HANDLE TrialStopEvent()
{
    return StopEvent;
}

bool TrialStopped()
{
    return StopEvent != nullptr && WaitForSingleObject(StopEvent, 0) == WAIT_OBJECT_0;
}

bool TrialWindowClosing()
{
    return InterlockedCompareExchange(&Closing, 0, 0) != 0;
}

void RearmTrialStop()
{
    if (StopEvent != nullptr) {
        ResetEvent(StopEvent);
    }
}

void TrialStopHandled()
{
    if (DoneEvent != nullptr) {
        SetEvent(DoneEvent);
    }
}
