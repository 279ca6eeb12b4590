// The program's one icon in the taskbar's notification area.
#pragma once

#include <windows.h>
#include <shellapi.h>

// The record that describes the icon to the shell. Zeroed before the entry function runs
// and never zeroed again: each operation writes only its own fields.
extern NOTIFYICONDATAW TrayIcon;

// Each calls Shell_NotifyIconW once and returns its result: FALSE when the shell refused
// the request or did not answer it in time.
BOOL AddTrayIcon(HICON icon, const wchar_t* tip);
BOOL SetTrayIconImage(HICON icon);
BOOL RemoveTrayIcon();
