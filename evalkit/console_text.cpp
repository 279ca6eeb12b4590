#include "evalkit/console_text.h"

#include <windows.h>

#include "evalkit/trial_stop.h"

namespace {

void WriteLine(DWORD which, const std::wstring& text)
{
    const HANDLE output = GetStdHandle(which);
    if (output == nullptr || output == INVALID_HANDLE_VALUE) {
        return;
    }
    const std::wstring line = text + L"\r\n";
    DWORD mode = 0;
    DWORD written = 0;
    if (GetConsoleMode(output, &mode)) {
        // The console takes UTF-16 as it is: folder names in any script show right.
        WriteConsoleW(output, line.data(), static_cast<DWORD>(line.size()), &written, nullptr);
        return;
    }
    const int size = WideCharToMultiByte(CP_UTF8, 0, line.data(), static_cast<int>(line.size()), nullptr, 0, nullptr,
                                         nullptr);
    if (size <= 0) {
        return;
    }
    std::string bytes(static_cast<size_t>(size), '\0');
    WideCharToMultiByte(CP_UTF8, 0, line.data(), static_cast<int>(line.size()), &bytes[0], size, nullptr, nullptr);
    WriteFile(output, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
}

bool KeyWasPressed(HANDLE input)
{
    INPUT_RECORD records[16];
    DWORD count = 0;
    if (!ReadConsoleInputW(input, records, 16, &count)) {
        return true;  // a console that cannot be read cannot hold the launcher either
    }
    for (DWORD i = 0; i < count; ++i) {
        if (records[i].EventType == KEY_EVENT && records[i].Event.KeyEvent.bKeyDown) {
            return true;
        }
    }
    return false;
}

}  // namespace

void Say(const std::wstring& line)
{
    WriteLine(STD_OUTPUT_HANDLE, line);
}

int Fail(int code, const std::wstring& line)
{
    WriteLine(STD_ERROR_HANDLE, L"TryQuibTPCenter: " + line);
    return code;
}

bool HasConsoleKeys()
{
    DWORD mode = 0;
    return GetConsoleMode(GetStdHandle(STD_INPUT_HANDLE), &mode) != 0;
}

bool WaitForKeyOr(void* handle)
{
    const HANDLE input = GetStdHandle(STD_INPUT_HANDLE);
    FlushConsoleInputBuffer(input);
    HANDLE waits[3] = {input};
    DWORD count = 1;
    for (HANDLE other : {static_cast<HANDLE>(handle), TrialStopEvent()}) {
        if (other != nullptr) {
            waits[count++] = other;
        }
    }
    for (;;) {
        const DWORD which = WaitForMultipleObjects(count, waits, FALSE, INFINITE);
        if (which != WAIT_OBJECT_0) {
            return false;
        }
        if (KeyWasPressed(input)) {
            return true;
        }
    }
}

void PauseIfOwnConsole()
{
    DWORD processes[2];
    if (GetConsoleProcessList(processes, 2) != 1 || !HasConsoleKeys() || TrialWindowClosing()) {
        return;
    }
    RearmTrialStop();
    Say(L"");
    Say(L"Press a key to close this window.");
    WaitForKeyOr(nullptr);
}
