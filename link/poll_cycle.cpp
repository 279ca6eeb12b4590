#include "link/poll_cycle.h"

#include <algorithm>

#include "link/cycle_ports.h"
#include "link/touchpad_api.h"
#include "res/resource.h"
#include "status/icon_choice.h"
#include "status/touch_report.h"
#include "status/touch_status.h"

const wchar_t LINK_TIP[] = L"QUIB Touch Pad Center";
const wchar_t RETURN_TIP[] = L"QuibTP Center";

void* AppInstance = nullptr;
ICONRETRY IconRetry = {};

// linked, touchpadDisabled, trayMode and initDone are written on the window thread only;
// the report thread touches the fields behind refreshPending (see touch_status.h).
namespace {

// After every shell call that the shown icon depends on. A refusal while tries are already
// failing doubles the wait, so a taskbar that never answers (each call then waits about
// four seconds on Windows) holds the window thread only a small part of the time.
void NoteIconInPlace(bool inPlace)
{
    if (inPlace) {
        IconRetry.missing = 0;
        return;
    }
    IconRetry.wait = IconRetry.missing == 0 ? ICON_RETRY_FIRST_TICKS
                                            : std::min(IconRetry.wait * 2, ICON_RETRY_MAX_TICKS);
    IconRetry.ticksLeft = IconRetry.wait;
    IconRetry.missing = 1;
}

// Step 1 of a poll tick. The flag is inverted rather than set to the library's answer, so
// an answer other than 0 and 1 flips it on every tick, and the library hears each flip.
void FollowDisabledState()
{
    if (TpIsDisabled() != TouchStatus.touchpadDisabled) {
        AnnounceRefresh(TouchStatus);
        TouchStatus.touchpadDisabled = TouchStatus.touchpadDisabled == 0 ? 1 : 0;
        TpSetEnabled(TouchStatus.touchpadDisabled == 0 ? 1 : 0);
    }
}

// Step 2: only 0 hides the icon; leaving 0 adds it back. The first answer (the mode was
// never read) adds nothing, since the link has just added the icon.
void FollowTrayMode()
{
    const int32_t mode = TpGetTrayMode();
    const int32_t previous = TouchStatus.trayMode;
    if (mode == previous) {
        return;
    }
    if (mode == 0) {
        RemoveStatusIcon();
        IconRetry.missing = 0;  // no icon is due, so none is missing
    }
    if (previous == 0) {
        NoteIconInPlace(AddStatusIcon(idleIcon, RETURN_TIP));
    }
    TouchStatus.trayMode = mode;
    AnnounceRefresh(TouchStatus);
}

// Step 3: once in the whole run, re-links included.
void InitialiseLibraryOnce()
{
    if (TouchStatus.initDone == 0) {
        TpInitOnce(InitRecord);
        TouchStatus.initDone = 1;
    }
}

// Step 4 while the icon is missing. No picture change is sent meanwhile: it would be refused
// as well. The try adds the icon with the picture of the moment and the tip of the last add.
// A refused picture change may have meant the shell's answer was lost and not the icon: then
// the shell refuses the add as a duplicate, and a picture change puts the icon in step.
void RetryMissingIcon()
{
    if (IconRetry.ticksLeft > 1) {
        --IconRetry.ticksLeft;
        return;
    }
    TakeRefreshPending(TouchStatus);
    const IconSlot slot = ChooseTrayIcon(TouchStatus);
    NoteIconInPlace(RestoreStatusIcon(slot) || SetStatusIconImage(slot));
}

// Step 4. The flag is taken before the fields are read, so a report that lands during the
// redraw sets it again and is drawn on the next tick. While the mode hides the icon the
// flag is kept for when the icon returns. A quiet tick only loads the two flags.
void RedrawIfPending()
{
    if (TouchStatus.trayMode == 0) {
        return;
    }
    if (IconRetry.missing != 0) {
        RetryMissingIcon();
        return;
    }
    if (TouchStatus.refreshPending.load(std::memory_order_relaxed) == 0) {
        return;
    }
    if (TakeRefreshPending(TouchStatus) != 0) {
        NoteIconInPlace(SetStatusIconImage(ChooseTrayIcon(TouchStatus)));
    }
}

}  // namespace

void LinkTick()
{
    if (TouchStatus.linked == 1) {
        // A tick that was already queued when the link was made.
        StopCycleTimer(IDT_LINK);
        StartCycleTimer(IDT_POLL, POLL_PERIOD_MS);
        return;
    }
    if (TpConnect(AppInstance, OnTouchReport) != 1) {
        return;
    }
    // A re-link while the library asks for no icon leaves the icon out; the first link
    // always adds it, before the tray mode has ever been read.
    if (TouchStatus.trayMode != 0) {
        NoteIconInPlace(AddStatusIcon(unlinkedIcon, LINK_TIP));
    }
    TouchStatus.linked = 1;
    StopCycleTimer(IDT_LINK);
    StartCycleTimer(IDT_POLL, POLL_PERIOD_MS);
    AnnounceRefresh(TouchStatus);
}

void PollTick()
{
    FollowDisabledState();
    FollowTrayMode();
    InitialiseLibraryOnce();
    RedrawIfPending();
}

void OnSessionChange(uint64_t code)
{
    if (code == SESSION_CONSOLE_CONNECT) {
        TouchStatus.linked = 0;
        StopCycleTimer(IDT_POLL);
        StartCycleTimer(IDT_LINK, RELINK_PERIOD_MS);
    } else if (code == SESSION_CONSOLE_DISCONNECT) {
        TpDisconnect();
    }
}

void OnSettingChange(uint64_t setting)
{
    if (static_cast<uint32_t>(setting) == SPI_MOUSE_BUTTON_SWAP) {
        // The library's own scratch space for the call; it is neither filled nor read here.
        unsigned char scratch[MOUSE_SWAP_AREA_SIZE];
        TpMouseButtonSwapChanged(scratch);
    }
}

void OnExitCommand()
{
    TpDisconnect();
}

void OnTaskbarCreated()
{
    if (TouchStatus.linked == 0 || TouchStatus.trayMode == 0) {
        return;
    }
    NoteIconInPlace(RestoreStatusIcon(ChooseTrayIcon(TouchStatus)));
}
