#include "tests/windows/program/program_process.h"

#include <cstdio>
#include <string>

#include "tests/windows/support/debug_run.h"

const wchar_t PROGRAM_CLASS[] = L"RAVIVAVIZIZU";
const wchar_t PROGRAM_TITLE[] = L"QUIB TOUCH PAD CENTER";

ProgramProcess StartProgram(const std::wstring& arguments, WORD showCommand, const wchar_t* exe,
                            const wchar_t* desktop)
{
    ProgramProcess program;
    const std::wstring path = ThisProgramFolder() + exe;
    std::wstring commandLine = L"\"" + path + L"\"";
    if (!arguments.empty()) {
        commandLine += L" " + arguments;
    }
    STARTUPINFOW startup = {sizeof startup};
    startup.dwFlags = STARTF_USESHOWWINDOW;
    startup.wShowWindow = showCommand;
    std::wstring desktopName = desktop != nullptr ? desktop : L"";
    startup.lpDesktop = desktop != nullptr ? desktopName.data() : nullptr;
    PROCESS_INFORMATION info = {};
    if (CreateProcessW(path.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                       &info)) {
        CloseHandle(info.hThread);
        program.process = info.hProcess;
        program.processId = info.dwProcessId;
    }
    return program;
}

std::vector<HWND> ProgramWindows()
{
    std::vector<HWND> windows;
    HWND window = nullptr;
    while ((window = FindWindowExW(nullptr, window, PROGRAM_CLASS, PROGRAM_TITLE)) != nullptr) {
        windows.push_back(window);
    }
    return windows;
}

HWND WaitForProgramWindow(DWORD processId, DWORD timeLimitMs)
{
    const ULONGLONG deadline = GetTickCount64() + timeLimitMs;
    do {
        for (HWND window : ProgramWindows()) {
            DWORD owner = 0;
            GetWindowThreadProcessId(window, &owner);
            if (owner == processId) {
                return window;
            }
        }
        Sleep(20);
    } while (GetTickCount64() < deadline);
    return nullptr;
}

DWORD WaitForExit(const ProgramProcess& program, DWORD timeLimitMs)
{
    WaitForSingleObject(program.process, timeLimitMs);
    DWORD code = STILL_ACTIVE;
    GetExitCodeProcess(program.process, &code);
    return code;
}

void EndProgram(ProgramProcess& program)
{
    if (program.process == nullptr) {
        return;
    }
    if (WaitForSingleObject(program.process, 0) == WAIT_TIMEOUT) {
        TerminateProcess(program.process, 99);
        WaitForSingleObject(program.process, 5000);
    }
    CloseHandle(program.process);
    program = ProgramProcess{};
}

std::wstring UseFreshSimulatorLog(const wchar_t* name)
{
    wchar_t folder[MAX_PATH];
    GetTempPathW(MAX_PATH, folder);
    const std::wstring path = std::wstring(folder) + name;
    DeleteFileW(path.c_str());
    SetEnvironmentVariableW(L"QUIBSIM_LOG", path.c_str());
    return path;
}

std::vector<std::string> ReadLines(const std::wstring& path)
{
    std::vector<std::string> lines;
    FILE* file = _wfopen(path.c_str(), L"rb");
    if (file == nullptr) {
        return lines;
    }
    std::string line;
    for (int c; (c = fgetc(file)) != EOF;) {
        if (c == '\n') {
            lines.push_back(line);
            line.clear();
        } else if (c != '\r') {
            line += static_cast<char>(c);
        }
    }
    fclose(file);
    return lines;
}

int CountLinesWith(const std::vector<std::string>& lines, const std::string& text)
{
    int count = 0;
    for (const std::string& line : lines) {
        count += line.find(text) != std::string::npos;
    }
    return count;
}

bool LinkedInLog(const std::wstring& log, DWORD processId)
{
    const std::string process = " pid=" + std::to_string(processId) + " call=TpConnect ";
    for (const std::string& line : ReadLines(log)) {
        const std::string accepted = " ret=1";
        if (line.find(process) != std::string::npos && line.size() > accepted.size() &&
            line.compare(line.size() - accepted.size(), accepted.size(), accepted) == 0) {
            return true;
        }
    }
    return false;
}
