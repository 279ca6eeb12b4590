// The 21 small icons that the notification-area icon can show, one per IconSlot.
#pragma once

#include <windows.h>

#include "status/icon_choice.h"

// Null until LoadIconSet has run; a slot whose load failed stays null for the run. The set
// owns every handle and only ReleaseIconSet destroys them.
extern HICON IconSet[ICON_SLOT_COUNT];

// The resource group of a slot's picture.
WORD IconSlotResource(IconSlot slot);

void LoadIconSet(HINSTANCE instance);
void ReleaseIconSet();
