#include "status/icon_choice.h"

namespace {

constexpr auto relaxed = std::memory_order_relaxed;

// The column of a finger row. Only an out-of-range level is written back, and only if it
// still stands: a level the report thread stored meanwhile is newer and must not be undone.
int32_t ClampedContactColumn(TOUCHSTATUS& status)
{
    int32_t level = status.contactLevel.load(relaxed);
    const int32_t column = level < 0 ? 0 : (level > 2 ? 2 : level);
    if (column != level) {
        status.contactLevel.compare_exchange_strong(level, column, relaxed);
    }
    return column;
}

IconSlot ChooseLiveSlot(TOUCHSTATUS& status)
{
    if (status.touchpadDisabled.load(relaxed) != 0) {
        return disabledIcon;
    }
    const int32_t buttonMode = status.buttonMode.load(relaxed);
    if (buttonMode == 2) {
        return rightButtonIcon;
    }
    if (buttonMode != 0) {
        return leftButtonIcon;
    }
    const int32_t fingers = status.fingerCount.load(relaxed);
    if (fingers <= 0) {
        return idleIcon;
    }
    // Six fingers or more have no picture of their own and show as one.
    const int32_t row = fingers <= 5 ? fingers : 1;
    return FingerIcon(row, ClampedContactColumn(status));
}

}  // namespace

IconSlot ChooseTrayIcon(TOUCHSTATUS& status)
{
    IconSlot slot = ChooseLiveSlot(status);
    if (status.trayMode.load(relaxed) == 2) {
        slot = appIcon;
    }
    if (status.linked.load(relaxed) == 0) {
        slot = unlinkedIcon;
    }
    return slot;
}
