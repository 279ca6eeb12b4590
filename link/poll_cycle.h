// Keeps the program linked to the touchpad library and the notification-area icon in step
// with the pad. Every handler runs on the window thread, called by the window procedure.
#pragma once

#include <cstdint>

constexpr uint32_t LINK_PERIOD_MS = 1500;   // the link timer from start-up
constexpr uint32_t RELINK_PERIOD_MS = 500;  // the link timer after a console connect
constexpr uint32_t POLL_PERIOD_MS = 10;
constexpr uint32_t SPI_MOUSE_BUTTON_SWAP = 0x21;    // SPI_SETMOUSEBUTTONSWAP
constexpr uint32_t SESSION_CONSOLE_CONNECT = 1;     // WTS_CONSOLE_CONNECT
constexpr uint32_t SESSION_CONSOLE_DISCONNECT = 2;  // WTS_CONSOLE_DISCONNECT
// Poll ticks before the icon that the shell refused is tried again, doubling while the tries
// fail: about a second at first and half a minute at most at Windows' usual timer
// resolution of 15.6 ms (a 10 ms timer ticks about 64 times a second there).
constexpr uint32_t ICON_RETRY_FIRST_TICKS = 64;
constexpr uint32_t ICON_RETRY_MAX_TICKS = 2048;

extern const wchar_t LINK_TIP[];    // the tip of the add at a link
extern const wchar_t RETURN_TIP[];  // the tip of the add when the tray mode turns on again

// The icon that the cycle means to show and the shell has not taken: at logon a taskbar that
// is too busy to answer in time refuses the add, and it sends no "TaskbarCreated" later,
// because it was not created again. Written on the window thread only.
struct ICONRETRY {
    int32_t missing;     // 1 while the icon that should show is not in place
    uint32_t wait;       // poll ticks from the last refusal to the next try
    uint32_t ticksLeft;  // poll ticks until that try
};
extern ICONRETRY IconRetry;

// The program's module instance, kept by start-up before the first timer can fire; the
// library receives it with the report callback.
extern void* AppInstance;

void LinkTick();
void PollTick();
void OnSessionChange(uint64_t code);
void OnSettingChange(uint64_t setting);
void OnExitCommand();
// The shell's notification area was (re)created: show the icon again when one is due.
void OnTaskbarCreated();
