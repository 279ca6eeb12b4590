#include "tray/icon_set.h"

#include "res/resource.h"

HICON IconSet[ICON_SLOT_COUNT];

namespace {

// The loading order: the single pictures first, then the finger rows, one to five.
constexpr IconSlot LOAD_ORDER[ICON_SLOT_COUNT] = {
    appIcon,          idleIcon,         leftButtonIcon,   rightButtonIcon,  disabledIcon,     unlinkedIcon,
    FingerIcon(1, 0), FingerIcon(1, 1), FingerIcon(1, 2), FingerIcon(2, 0), FingerIcon(2, 1), FingerIcon(2, 2),
    FingerIcon(3, 0), FingerIcon(3, 1), FingerIcon(3, 2), FingerIcon(4, 0), FingerIcon(4, 1), FingerIcon(4, 2),
    FingerIcon(5, 0), FingerIcon(5, 1), FingerIcon(5, 2),
};

}  // namespace

WORD IconSlotResource(IconSlot slot)
{
    switch (slot) {
    case appIcon:
        return IDI_APP;
    case idleIcon:
        return IDI_TRAY_IDLE;
    case leftButtonIcon:
        return IDI_TRAY_LEFT_BUTTON;
    case rightButtonIcon:
        return IDI_TRAY_RIGHT_BUTTON;
    case disabledIcon:
        return IDI_TRAY_DISABLED;
    case unlinkedIcon:
        return IDI_TRAY_UNLINKED;
    default:
        break;
    }
    // Finger row n: column 0 is 129 + n, column 1 is 133 + 2n, column 2 is 134 + 2n.
    const int index = slot - fingerIcons;
    const int row = index / 3 + 1;
    const int column = index % 3;
    return static_cast<WORD>(column == 0 ? 129 + row : 132 + column + 2 * row);
}

void LoadIconSet(HINSTANCE instance)
{
    for (HICON& icon : IconSet) {
        icon = nullptr;
    }
    // A private 16x16 copy of each picture (no LR_SHARED), so the set may destroy it.
    for (IconSlot slot : LOAD_ORDER) {
        IconSet[slot] = static_cast<HICON>(
            LoadImageW(instance, MAKEINTRESOURCEW(IconSlotResource(slot)), IMAGE_ICON, 16, 16, LR_DEFAULTCOLOR));
    }
}

void ReleaseIconSet()
{
    for (HICON icon : IconSet) {
        if (icon != nullptr) {
            DestroyIcon(icon);
        }
    }
}
