// Which of the 21 tray icons mirrors the pad's state.
#pragma once

#include <cstdint>

#include "status/touch_status.h"

// Indexes the icon set directly. The fifteen finger slots follow fingerIcons in rows of
// three: row n (1 to 5 fingers), column c (contact level 0 to 2) is FingerIcon(n, c).
enum IconSlot : int32_t {
    appIcon,
    idleIcon,
    leftButtonIcon,
    rightButtonIcon,
    disabledIcon,
    unlinkedIcon,
    fingerIcons,
    ICON_SLOT_COUNT = fingerIcons + 15,
};

constexpr IconSlot FingerIcon(int32_t row, int32_t column)
{
    return static_cast<IconSlot>(fingerIcons + (row - 1) * 3 + column);
}

// Reads the status, clamps an out-of-range contactLevel in place when a finger row is
// taken, and always returns one of the 21 slots.
IconSlot ChooseTrayIcon(TOUCHSTATUS& status);
