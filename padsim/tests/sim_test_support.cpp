#include "padsim/tests/sim_test_support.h"

#include <gtest/gtest.h>

std::wstring UniqueName(const std::wstring& stem)
{
    return stem + L"-" + std::to_wstring(GetCurrentProcessId());
}

std::wstring TempFilePath(const std::wstring& name)
{
    wchar_t directory[MAX_PATH];
    GetTempPathW(MAX_PATH, directory);
    std::wstring path = std::wstring(directory) + UniqueName(name);
    DeleteFileW(path.c_str());
    return path;
}

void WriteTextFile(const std::wstring& path, const std::string& text)
{
    const HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                    FILE_ATTRIBUTE_NORMAL, nullptr);
    DWORD written = 0;
    WriteFile(file, text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
    CloseHandle(file);
}

std::vector<LOGLINE> ReadLogLines(const std::wstring& path)
{
    std::vector<std::string> unreadable;
    std::vector<LOGLINE> lines = ReadLogFile(path, &unreadable);
    for (const std::string& line : unreadable) {
        ADD_FAILURE() << "the call log has a line that does not parse, " << line;
    }
    return lines;
}

bool WaitUntil(const std::function<bool()>& condition, DWORD timeoutMs)
{
    const ULONGLONG deadline = GetTickCount64() + timeoutMs;
    while (!condition()) {
        if (GetTickCount64() >= deadline) {
            return condition();
        }
        Sleep(5);
    }
    return true;
}

std::vector<LOGLINE> WaitForLogLine(const std::wstring& path, const LOGLINE& wanted,
                                    DWORD timeoutMs)
{
    std::vector<LOGLINE> lines;
    WaitUntil(
        [&] {
            lines = ReadLogLines(path);
            return !LinesWith(lines, wanted).empty();
        },
        timeoutMs);
    return lines;
}

std::wstring BesideTestProgram(const std::wstring& name)
{
    wchar_t path[MAX_PATH];
    const DWORD length = GetModuleFileNameW(nullptr, path, MAX_PATH);
    std::wstring directory(path, length);
    directory.erase(directory.find_last_of(L"\\/") + 1);
    return directory + name;
}

int RunProgram(const std::wstring& program, const std::wstring& arguments,
               const std::wstring& standardInput)
{
    std::wstring commandLine = L"\"" + program + L"\" " + arguments;
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    HANDLE input = INVALID_HANDLE_VALUE;
    if (!standardInput.empty()) {
        SECURITY_ATTRIBUTES inheritable{sizeof inheritable, nullptr, TRUE};
        input = CreateFileW(standardInput.c_str(), GENERIC_READ, FILE_SHARE_READ, &inheritable,
                            OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
        startup.dwFlags = STARTF_USESTDHANDLES;
        startup.hStdInput = input;
        startup.hStdOutput = GetStdHandle(STD_OUTPUT_HANDLE);
        startup.hStdError = GetStdHandle(STD_ERROR_HANDLE);
    }
    PROCESS_INFORMATION process{};
    const BOOL started = CreateProcessW(program.c_str(), &commandLine[0], nullptr, nullptr, TRUE, 0,
                                        nullptr, nullptr, &startup, &process);
    if (input != INVALID_HANDLE_VALUE) {
        CloseHandle(input);
    }
    if (!started) {
        return -1;
    }
    DWORD exitCode = static_cast<DWORD>(-1);
    if (WaitForSingleObject(process.hProcess, 60000) == WAIT_OBJECT_0) {
        GetExitCodeProcess(process.hProcess, &exitCode);
    }
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    return static_cast<int>(exitCode);
}

std::string Narrow(const std::wstring& text)
{
    std::string narrow;
    for (const wchar_t c : text) {
        narrow += c < 0x80 ? static_cast<char>(c) : '?';
    }
    return narrow;
}
