// The yardsticks for the program's idle cost, built like the program (static, GUI subsystem,
// Unicode entry, stripped):
// - reference_timer.exe: a hidden window with a 10 ms window timer and a GetMessageW loop, and
//   nothing else. The difference to the program is its own work on a quiet poll tick.
// - reference_tray.exe (built with REFERENCE_TRAY_ICON): the same and one notification-area
//   icon. Any process that shows an icon pays for the shell DLLs and the tray's bookkeeping;
//   measured against this, the rest is the program's own code, resources and icons.
//
// Exit codes: 0 closed; 1 no window; 2 the shell refused the icon (so a run that ends at once
// with 2 has nothing in the notification area).
#include <windows.h>
#ifdef REFERENCE_TRAY_ICON
#include <shellapi.h>
#endif

namespace {

constexpr UINT_PTR IDT_REFERENCE = 102;
constexpr UINT REFERENCE_PERIOD_MS = 10;

#ifdef REFERENCE_TRAY_ICON
const wchar_t REFERENCE_CLASS[] = L"QuibPerfTrayReference";
// Found by the measurement helper by this title, and the icon by this window and id.
const wchar_t REFERENCE_TITLE[] = L"QUIB PERF REFERENCE TRAY";
constexpr UINT TRAY_REFERENCE_ICON_ID = 1;
constexpr UINT WM_TRAY_REFERENCE = WM_APP + 1;

// The same record size as the program's: the full 64-bit layout.
static_assert(sizeof(NOTIFYICONDATAW) == 976, "the tray record must have its full 64-bit layout");

NOTIFYICONDATAW TrayReferenceIcon = {sizeof(NOTIFYICONDATAW)};

// A system icon: the picture costs this program no resources of its own.
bool AddReferenceIcon(HWND window)
{
    TrayReferenceIcon.hWnd = window;
    TrayReferenceIcon.uID = TRAY_REFERENCE_ICON_ID;
    TrayReferenceIcon.uFlags = NIF_MESSAGE | NIF_ICON | NIF_TIP;
    TrayReferenceIcon.uCallbackMessage = WM_TRAY_REFERENCE;
    TrayReferenceIcon.hIcon = LoadIconW(nullptr, IDI_APPLICATION);
    lstrcpynW(TrayReferenceIcon.szTip, REFERENCE_TITLE, ARRAYSIZE(TrayReferenceIcon.szTip));
    return Shell_NotifyIconW(NIM_ADD, &TrayReferenceIcon) != FALSE;
}

void RemoveReferenceIcon()
{
    Shell_NotifyIconW(NIM_DELETE, &TrayReferenceIcon);
}
#else
const wchar_t REFERENCE_CLASS[] = L"QuibPerfReference";
// Found by the measurement helper by this title.
const wchar_t REFERENCE_TITLE[] = L"QUIB PERF REFERENCE TIMER";

bool AddReferenceIcon(HWND)
{
    return true;
}

void RemoveReferenceIcon() {}
#endif

// Timer ticks and icon callbacks are only answered.
LRESULT CALLBACK ReferenceWndProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_TIMER:
#ifdef REFERENCE_TRAY_ICON
    case WM_TRAY_REFERENCE:
#endif
        return 0;
    case WM_DESTROY:
        RemoveReferenceIcon();
        PostQuitMessage(0);
        return 0;
    default:
        return DefWindowProcW(window, message, wParam, lParam);
    }
}

}  // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int)
{
    WNDCLASSEXW windowClass = {};
    windowClass.cbSize = sizeof(windowClass);
    windowClass.lpfnWndProc = ReferenceWndProc;
    windowClass.hInstance = instance;
    windowClass.lpszClassName = REFERENCE_CLASS;
    RegisterClassExW(&windowClass);

    // Never shown, like the program's window.
    HWND window = CreateWindowExW(0, REFERENCE_CLASS, REFERENCE_TITLE, WS_POPUPWINDOW, CW_USEDEFAULT, 0,
                                  CW_USEDEFAULT, 0, nullptr, nullptr, instance, nullptr);
    if (window == nullptr) {
        return 1;
    }
    if (!AddReferenceIcon(window)) {
        DestroyWindow(window);
        return 2;
    }
    SetTimer(window, IDT_REFERENCE, REFERENCE_PERIOD_MS, nullptr);

    MSG message = {};
    while (GetMessageW(&message, nullptr, 0, 0) > 0) {
        TranslateMessage(&message);
        DispatchMessageW(&message);
    }
    return static_cast<int>(message.wParam);
}
