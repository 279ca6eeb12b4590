// The program's hidden main window: the one place where every event arrives.
#pragma once

#include <windows.h>

// Set once by start-up right after the window is created.
extern HWND MainWindow;

// The shell's "TaskbarCreated" message, registered at start-up; 0 until then.
extern UINT TaskbarCreatedMessage;

LRESULT CALLBACK MainWndProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
