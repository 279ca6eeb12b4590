#include "tray/tray_icon.h"

#include "app/main_window.h"
#include "res/resource.h"

// 976 bytes: the record's full layout on 64-bit Windows, ending with guidItem and
// hBalloonIcon.
static_assert(sizeof(NOTIFYICONDATAW) == 976, "the tray record must have its full 64-bit layout");

NOTIFYICONDATAW TrayIcon = {sizeof(NOTIFYICONDATAW)};

BOOL AddTrayIcon(HICON icon, const wchar_t* tip)
{
    TrayIcon.hWnd = MainWindow;
    TrayIcon.uID = TRAY_ICON_ID;
    TrayIcon.uFlags = NIF_MESSAGE | NIF_ICON | NIF_TIP;
    TrayIcon.uCallbackMessage = WM_TRAYNOTIFY;
    TrayIcon.hIcon = icon;
    if (tip != nullptr) {
        // Cut to 127 characters and always terminated.
        lstrcpynW(TrayIcon.szTip, tip, ARRAYSIZE(TrayIcon.szTip));
    } else {
        TrayIcon.szTip[0] = L'\0';
    }
    return Shell_NotifyIconW(NIM_ADD, &TrayIcon);
}

// The shell keeps the tip and callback message of the last add.
BOOL SetTrayIconImage(HICON icon)
{
    TrayIcon.hWnd = MainWindow;
    TrayIcon.uID = TRAY_ICON_ID;
    TrayIcon.uFlags = NIF_ICON;
    TrayIcon.hIcon = icon;
    return Shell_NotifyIconW(NIM_MODIFY, &TrayIcon);
}

BOOL RemoveTrayIcon()
{
    TrayIcon.hWnd = MainWindow;
    TrayIcon.uID = TRAY_ICON_ID;
    return Shell_NotifyIconW(NIM_DELETE, &TrayIcon);
}
