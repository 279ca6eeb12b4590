// Start-up and the message loop: one copy per desktop, one hidden window, one thread.
#include <windows.h>
#include <wtsapi32.h>

#include "app/configurator.h"
#include "app/desktop_instance.h"
#include "app/main_window.h"
#include "link/poll_cycle.h"
#include "res/resource.h"
#include "tray/icon_set.h"

namespace {

// The hidden window's title, and the marker that the single-instance test looks for.
const wchar_t WINDOW_TITLE[] = APP_WINDOW_TITLE;
constexpr int CLASS_NAME_CHARS = 100;

// The title on this desktop first; then the desktop's lock, which only one of two copies
// started at the same moment can claim before either has its window.
bool AnotherCopyRuns()
{
    return FindWindowExW(nullptr, nullptr, nullptr, WINDOW_TITLE) != nullptr || !ClaimDesktopInstance();
}

void RegisterMainWindowClass(HINSTANCE instance, const wchar_t* className)
{
    WNDCLASSEXW windowClass = {};
    windowClass.cbSize = sizeof(windowClass);
    windowClass.style = CS_HREDRAW | CS_VREDRAW;
    windowClass.lpfnWndProc = MainWndProc;
    windowClass.hInstance = instance;
    windowClass.hIcon = LoadIconW(instance, MAKEINTRESOURCEW(IDI_APP));
    windowClass.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    windowClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
    windowClass.lpszMenuName = MAKEINTRESOURCEW(IDC_APPCLASS);
    windowClass.lpszClassName = className;
    // LoadIconW again, at the standard icon size like the large icon.
    windowClass.hIconSm = LoadIconW(instance, MAKEINTRESOURCEW(IDI_APP));
    RegisterClassExW(&windowClass);
}

// A copy started from an administrator's prompt runs elevated, and the privilege isolation
// drops the messages of the non-elevated Explorer: let the restarted taskbar's one message
// through, so the icon comes back, and nothing else.
void ListenForTaskbarCreated()
{
    TaskbarCreatedMessage = RegisterWindowMessageW(L"TaskbarCreated");
    ChangeWindowMessageFilterEx(MainWindow, TaskbarCreatedMessage, MSGFLT_ALLOW, nullptr);
}

int RunMessageLoop(HACCEL accelerators)
{
    MSG message = {};
    // GetMessageW fails only for a bad window filter, and there is none; an error ends
    // the loop rather than spinning on it.
    while (GetMessageW(&message, nullptr, 0, 0) > 0) {
        if (!TranslateAcceleratorW(message.hwnd, accelerators, &message)) {
            TranslateMessage(&message);
            DispatchMessageW(&message);
        }
    }
    return static_cast<int>(message.wParam);
}

}  // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int)
{
    if (AnotherCopyRuns()) {
        return 0;
    }

    wchar_t className[CLASS_NAME_CHARS] = {};
    LoadStringW(instance, IDC_APPCLASS, className, CLASS_NAME_CHARS);
    RegisterMainWindowClass(instance, className);

    // Never shown: the window exists to receive the program's events.
    MainWindow = CreateWindowExW(0, className, WINDOW_TITLE, WS_POPUPWINDOW, CW_USEDEFAULT, 0, CW_USEDEFAULT, 0,
                                 nullptr, nullptr, instance, nullptr);
    if (MainWindow == nullptr) {
        return 0;
    }

    WTSRegisterSessionNotification(MainWindow, NOTIFY_FOR_THIS_SESSION);
    ResolveConfiguratorPath();
    UpdateWindow(MainWindow);
    AppInstance = instance;
    LoadIconSet(instance);
    HACCEL accelerators = LoadAcceleratorsW(instance, MAKEINTRESOURCEW(IDC_APPCLASS));
    ListenForTaskbarCreated();
    SetTimer(MainWindow, IDT_LINK, LINK_PERIOD_MS, nullptr);

    return RunMessageLoop(accelerators);
}
