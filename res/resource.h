// Identifiers shared by the resource script and the code, and by the tools and tests that find
// the program's window and post to it.
#pragma once

// The hidden window's class and title: other programs find the program by them.
#define APP_WINDOW_CLASS L"RAVIVAVIZIZU"
#define APP_WINDOW_TITLE L"QUIB TOUCH PAD CENTER"

#define IDS_APP_TITLE 103   // "RaviVAVizizu"
#define IDM_ABOUT 104       // both accelerators; does nothing
#define IDM_EXIT 105        // posted by other programs to end this one
#define IDI_APP 107         // the application icon group
#define IDC_APPCLASS 109    // class-name string, class menu and accelerator table
#define IDM_PROPERTY 32776  // the class menu's item: open the configurator

// The notification-area icon groups. Row n (1 to 5 fingers) of the finger pictures is
// column 0: 129 + n, column 1: 133 + 2n, column 2: 134 + 2n.
#define IDI_TRAY_IDLE 129
#define IDI_TRAY_FINGER1_0 130
#define IDI_TRAY_FINGER2_0 131
#define IDI_TRAY_FINGER3_0 132
#define IDI_TRAY_FINGER4_0 133
#define IDI_TRAY_FINGER5_0 134
#define IDI_TRAY_FINGER1_1 135
#define IDI_TRAY_FINGER1_2 136
#define IDI_TRAY_FINGER2_1 137
#define IDI_TRAY_FINGER2_2 138
#define IDI_TRAY_FINGER3_1 139
#define IDI_TRAY_FINGER3_2 140
#define IDI_TRAY_FINGER4_1 141
#define IDI_TRAY_FINGER4_2 142
#define IDI_TRAY_FINGER5_1 143
#define IDI_TRAY_FINGER5_2 144
#define IDI_TRAY_LEFT_BUTTON 145
#define IDI_TRAY_RIGHT_BUTTON 146
#define IDI_TRAY_DISABLED 147
#define IDI_TRAY_UNLINKED 32513

#define IDC_POINTER 152  // a cursor group that no code loads

// Timers, commands and the icon's callback, shared by the window procedure and the cycle.
#define IDT_LINK 101
#define IDT_POLL 102
#define WM_TRAYNOTIFY 0x8001  // WM_APP + 1
#define TRAY_ICON_ID 0x48619518
