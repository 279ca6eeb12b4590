// The yardstick for the program's idle cost: a hidden window with a 10 ms window timer and a
// GetMessageW loop, and nothing else. It is built like the program (static, GUI subsystem,
// Unicode entry, stripped), so the difference between the two is the program's own work on
// a quiet poll tick: two library calls and a flag test.
#include <windows.h>

namespace {

const wchar_t REFERENCE_CLASS[] = L"QuibPerfReference";
// Found by the measurement helper by this title.
const wchar_t REFERENCE_TITLE[] = L"QUIB PERF REFERENCE TIMER";
constexpr UINT_PTR IDT_REFERENCE = 102;
constexpr UINT REFERENCE_PERIOD_MS = 10;

LRESULT CALLBACK ReferenceWndProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_TIMER:
        return 0;
    case WM_DESTROY:
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
    SetTimer(window, IDT_REFERENCE, REFERENCE_PERIOD_MS, nullptr);

    MSG message = {};
    while (GetMessageW(&message, nullptr, 0, 0) > 0) {
        TranslateMessage(&message);
        DispatchMessageW(&message);
    }
    return static_cast<int>(message.wParam);
}
