// Keeps the program linked to the touchpad library and the notification-area icon in step
// with the pad. Every handler runs on the window thread, called by the window procedure.
#pragma once

#include <cstdint>

constexpr uint32_t LINK_PERIOD_MS = 1500;     // the link timer from start-up
constexpr uint32_t RELINK_PERIOD_MS = 500;    // the link timer after a console connect
constexpr uint32_t POLL_PERIOD_MS = 10;
constexpr uint32_t SPI_MOUSE_BUTTON_SWAP = 0x21;  // SPI_SETMOUSEBUTTONSWAP
constexpr uint32_t SESSION_CONSOLE_CONNECT = 1;     // WTS_CONSOLE_CONNECT
constexpr uint32_t SESSION_CONSOLE_DISCONNECT = 2;  // WTS_CONSOLE_DISCONNECT

extern const wchar_t LINK_TIP[];    // the tip of the add at a link
extern const wchar_t RETURN_TIP[];  // the tip of the add when the tray mode turns on again

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
