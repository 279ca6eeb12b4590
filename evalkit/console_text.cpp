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

// Alt+Tab to another window leaves Alt in the console's input, and Ctrl+C comes as Ctrl
// first: modifiers alone do not answer. Nor do keys that type nothing, such as F1 or arrows.
bool AnswersPrompt(const KEY_EVENT_RECORD& key)
{
    if (!key.bKeyDown) {
        return false;
    }
    switch (key.wVirtualKeyCode) {
    case VK_RETURN:
    case VK_SPACE:
    case VK_ESCAPE:
        return true;
    case VK_SHIFT:
    case VK_CONTROL:
    case VK_MENU:
    case VK_LWIN:
    case VK_RWIN:
    case VK_CAPITAL:
        return false;
    default:
        return key.uChar.UnicodeChar != 0;
    }
}

bool KeyWasPressed(HANDLE input)
{
    INPUT_RECORD records[16];
    DWORD count = 0;
    if (!ReadConsoleInputW(input, records, 16, &count)) {
        return true;  // a console that cannot be read cannot hold the launcher either
    }
    for (DWORD i = 0; i < count; ++i) {
        if (records[i].EventType == KEY_EVENT && AnswersPrompt(records[i].Event.KeyEvent)) {
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

void Warn(const std::wstring& line)
{
    WriteLine(STD_ERROR_HANDLE, L"TryQuibTPCenter: " + line);
}

int Fail(int code, const std::wstring& line)
{
    Warn(line);
    return code;
}

bool HasConsoleKeys()
{
    DWORD mode = 0;
    return GetConsoleMode(GetStdHandle(STD_INPUT_HANDLE), &mode) != 0;
}

void ForgetTypedKeys()
{
    FlushConsoleInputBuffer(GetStdHandle(STD_INPUT_HANDLE));
}

bool WaitForKeyOr(void* handle)
{
    const HANDLE input = GetStdHandle(STD_INPUT_HANDLE);
    // Ctrl+C stays a stop, not a typed character, whatever mode a parent left the console in.
    DWORD mode = 0;
    const bool processed = GetConsoleMode(input, &mode) && SetConsoleMode(input, mode | ENABLE_PROCESSED_INPUT);
    HANDLE waits[3] = {input};
    DWORD count = 1;
    for (HANDLE other : {static_cast<HANDLE>(handle), TrialStopEvent()}) {
        if (other != nullptr) {
            waits[count++] = other;
        }
    }
    bool pressed = false;
    while (!pressed && WaitForMultipleObjects(count, waits, FALSE, INFINITE) == WAIT_OBJECT_0) {
        pressed = KeyWasPressed(input);
    }
    if (processed) {
        SetConsoleMode(input, mode);
    }
    return pressed;
}

unsigned long SetWalkInputMode()
{
    const HANDLE input = GetStdHandle(STD_INPUT_HANDLE);
    DWORD mode = 0;
    if (!GetConsoleMode(input, &mode)) {
        return 0;
    }
    const DWORD quickEdit = ENABLE_QUICK_EDIT_MODE;
    const DWORD walkMode = (mode & ~quickEdit) | ENABLE_EXTENDED_FLAGS | ENABLE_PROCESSED_INPUT;
    return walkMode != (mode | ENABLE_EXTENDED_FLAGS) && SetConsoleMode(input, walkMode) ? mode : 0;
}

void RestoreInputMode(unsigned long mode)
{
    if (mode != 0) {
        SetConsoleMode(GetStdHandle(STD_INPUT_HANDLE), mode | ENABLE_EXTENDED_FLAGS);
    }
}

void PauseIfOwnConsole()
{
    DWORD processes[2];
    if (GetConsoleProcessList(processes, 2) != 1 || !HasConsoleKeys() || TrialWindowClosing()) {
        return;
    }
    RearmTrialStop();
    ForgetTypedKeys();
    Say(L"");
    Say(L"Press Enter to close this window.");
    WaitForKeyOr(nullptr);
}

std::wstring WideOfUtf8(const std::string& text)
{
    const int size = MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
    std::wstring wide(size > 0 ? static_cast<size_t>(size) : 0, L'\0');
    if (size > 0) {
        MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), &wide[0], size);
    }
    return wide;
}
