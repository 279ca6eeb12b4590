#include "evalkit/program_window.h"

#include "res/resource.h"

std::vector<HWND> WindowsOf(const wchar_t* className, const wchar_t* title)
{
    std::vector<HWND> windows;
    HWND window = nullptr;
    while ((window = FindWindowExW(nullptr, window, className, title)) != nullptr) {
        windows.push_back(window);
    }
    return windows;
}

HWND FindProgramWindow()
{
    // By the title alone, as the program itself tells whether a copy already runs.
    return FindWindowExW(nullptr, nullptr, nullptr, APP_WINDOW_TITLE);
}

HWND WindowOfProcess(DWORD processId)
{
    for (const HWND window : WindowsOf(APP_WINDOW_CLASS, APP_WINDOW_TITLE)) {
        DWORD owner = 0;
        GetWindowThreadProcessId(window, &owner);
        if (owner == processId) {
            return window;
        }
    }
    return nullptr;
}

HWND AwaitProgramWindow(HANDLE process, DWORD processId, DWORD limitMs)
{
    const ULONGLONG deadline = GetTickCount64() + limitMs;
    for (;;) {
        const HWND window = WindowOfProcess(processId);
        if (window != nullptr || GetTickCount64() >= deadline || WaitForSingleObject(process, 20) == WAIT_OBJECT_0) {
            return window;
        }
    }
}

bool EndWithExitCommand(HANDLE process, DWORD processId, DWORD limitMs)
{
    const ULONGLONG deadline = GetTickCount64() + limitMs;
    const HWND window = AwaitProgramWindow(process, processId, limitMs);
    if (window == nullptr || !PostMessageW(window, WM_COMMAND, IDM_EXIT, 0)) {
        return false;
    }
    const ULONGLONG now = GetTickCount64();
    return WaitForSingleObject(process, now < deadline ? static_cast<DWORD>(deadline - now) : 0) == WAIT_OBJECT_0;
}
