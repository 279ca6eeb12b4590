// The link and poll cycle's timers and icon, on the real window and shell.
#include "link/cycle_ports.h"

#include "app/main_window.h"
#include "tray/icon_set.h"
#include "tray/tray_icon.h"

void StartCycleTimer(uint32_t timerId, uint32_t periodMs)
{
    SetTimer(MainWindow, timerId, periodMs, nullptr);
}

void StopCycleTimer(uint32_t timerId)
{
    KillTimer(MainWindow, timerId);
}

bool AddStatusIcon(IconSlot slot, const wchar_t* tip)
{
    return AddTrayIcon(IconSet[slot], tip) != FALSE;
}

bool SetStatusIconImage(IconSlot slot)
{
    return SetTrayIconImage(IconSet[slot]) != FALSE;
}

void RemoveStatusIcon()
{
    RemoveTrayIcon();
}

bool RestoreStatusIcon(IconSlot slot)
{
    // The tip is copied out first: the add writes it back into the same record.
    wchar_t tip[ARRAYSIZE(TrayIcon.szTip)];
    lstrcpynW(tip, TrayIcon.szTip, ARRAYSIZE(tip));
    return AddTrayIcon(IconSet[slot], tip) != FALSE;
}
