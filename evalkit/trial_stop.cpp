#include "evalkit/trial_stop.h"

namespace {

// Windows ends the processes of a closing console 5 s after the event at the latest, in the
// classic console and in Windows Terminal alike.
constexpr DWORD CLOSE_GRACE_MS = 4500;

HANDLE StopEvent = nullptr;  // manual reset: every wait after the stop sees it
HANDLE DoneEvent = nullptr;
volatile LONG Closing = 0;  // set from the handler's thread, read by the main thread

}  // namespace

BOOL WINAPI TrialControlHandler(DWORD type)
{
    const bool key = type == CTRL_C_EVENT || type == CTRL_BREAK_EVENT;
    if (!key) {
        InterlockedExchange(&Closing, 1);
    }
    SetEvent(StopEvent);
    if (!key) {
        // The window is closing: returning ends the process at once, so the main thread
        // gets the time to end the program first.
        WaitForSingleObject(DoneEvent, CLOSE_GRACE_MS);
    }
    return TRUE;
}

void CatchTrialStop()
{
    StopEvent = StopEvent != nullptr ? StopEvent : CreateEventW(nullptr, TRUE, FALSE, nullptr);
    DoneEvent = DoneEvent != nullptr ? DoneEvent : CreateEventW(nullptr, TRUE, FALSE, nullptr);
    if (StopEvent == nullptr || DoneEvent == nullptr) {
        return;  // no handler: the console's default ending, and the job as the backstop
    }
    ResetEvent(StopEvent);
    ResetEvent(DoneEvent);
    InterlockedExchange(&Closing, 0);
    SetConsoleCtrlHandler(nullptr, FALSE);
    SetConsoleCtrlHandler(TrialControlHandler, FALSE);  // in the list once, however often called
    SetConsoleCtrlHandler(TrialControlHandler, TRUE);
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
