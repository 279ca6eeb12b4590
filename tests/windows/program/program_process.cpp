#include "tests/windows/program/program_process.h"

#include <string>

#include "res/resource.h"
#include "tests/windows/support/debug_run.h"

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
    return WindowsOf(APP_WINDOW_CLASS, APP_WINDOW_TITLE);
}

HWND WaitForProgramWindow(const ProgramProcess& program, DWORD timeLimitMs)
{
    return AwaitProgramWindow(program.process, program.processId, timeLimitMs);
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

size_t CountInLog(const std::wstring& log, const LOGLINE& wanted)
{
    return LinesWith(ReadLogLines(log), wanted).size();
}

size_t CallsInLog(const std::wstring& log)
{
    size_t calls = 0;
    for (const LOGLINE& line : ReadLogLines(log)) {
        calls += line.count("call");
    }
    return calls;
}
