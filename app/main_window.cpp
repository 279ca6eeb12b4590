#include "app/main_window.h"

#include "app/configurator.h"
#include "app/desktop_instance.h"
#include "link/poll_cycle.h"
#include "res/resource.h"
#include "tray/icon_set.h"

HWND MainWindow = nullptr;
UINT TaskbarCreatedMessage = 0;

namespace {

// The claim goes with the window: an installer that waits for the window to go may start
// the next copy at once, while this process is still unloading its libraries.
void OnDestroy()
{
    ReleaseIconSet();
    ReleaseDesktopInstance();
    PostQuitMessage(0);
}

// The window is never shown; a stray paint request is only validated.
void OnPaint(HWND window)
{
    PAINTSTRUCT paint;
    BeginPaint(window, &paint);
    EndPaint(window, &paint);
}

// Only the low word names the command; the source (menu, accelerator) does not matter.
void OnCommand(HWND window, WORD command)
{
    switch (command) {
    case IDM_EXIT:
        // The library is told before the window, and with it the icon set, goes.
        OnExitCommand();
        DestroyWindow(window);
        break;
    case IDM_PROPERTY:
        OpenConfigurator();
        break;
    default:
        break;
    }
}

void OnTimer(WPARAM timerId)
{
    if (timerId == IDT_LINK) {
        LinkTick();
    } else if (timerId == IDT_POLL) {
        PollTick();
    }
}

// Only a left double-click on the icon does anything; the icon has no menu.
void OnTrayNotify(LPARAM mouseMessage)
{
    if (mouseMessage == WM_LBUTTONDBLCLK) {
        OpenConfigurator();
    }
}

}  // namespace

LRESULT CALLBACK MainWndProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_DESTROY:
        OnDestroy();
        return 0;
    case WM_PAINT:
        OnPaint(window);
        return 0;
    case WM_SETTINGCHANGE:
        OnSettingChange(wParam);
        return 0;
    case WM_COMMAND:
        OnCommand(window, LOWORD(wParam));
        return 0;
    case WM_TIMER:
        OnTimer(wParam);
        return 0;
    case WM_LBUTTONUP:
    case WM_POWERBROADCAST:
        return 0;
    case WM_WTSSESSION_CHANGE:
        OnSessionChange(wParam);
        return 0;
    case WM_TRAYNOTIFY:
        OnTrayNotify(lParam);
        return 0;
    default:
        break;
    }
    if (message == TaskbarCreatedMessage && TaskbarCreatedMessage != 0) {
        OnTaskbarCreated();
        return 0;
    }
    return DefWindowProcW(window, message, wParam, lParam);
}
