"""How other programs know the program: its window's class and title, the command that ends it,
its timers and its notification-area icon. These are res/resource.h's own #defines, under their
names there; test_quibe2e holds each to the header."""

APP_WINDOW_CLASS = "RAVIVAVIZIZU"
APP_WINDOW_TITLE = "QUIB TOUCH PAD CENTER"
IDM_EXIT = 105
IDT_LINK = 101
IDT_POLL = 102
WM_TRAYNOTIFY = 0x8001
TRAY_ICON_ID = 0x48619518
