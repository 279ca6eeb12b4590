#include "evalkit/program_process.h"

#include "evalkit/kit_folder.h"
#include "res/resource.h"

namespace {

const wchar_t PROGRAM_CLASS[] = L"RAVIVAVIZIZU";
const wchar_t PROGRAM_TITLE[] = L"QUIB TOUCH PAD CENTER";

struct WINDOWSEARCH {
    DWORD processId;
    HWND found;
};

BOOL CALLBACK MatchProcessWindow(HWND window, LPARAM parameter)
{
    WINDOWSEARCH* search = reinterpret_cast<WINDOWSEARCH*>(parameter);
    DWORD processId = 0;
    GetWindowThreadProcessId(window, &processId);
    wchar_t className[32] = {};
    if (processId == search->processId && GetClassNameW(window, className, 32) > 0 &&
        lstrcmpW(className, PROGRAM_CLASS) == 0) {
        search->found = window;
        return FALSE;
    }
    return TRUE;
}

// The launched copy's own window, not another copy's that may have come up meanwhile.
HWND WindowOfProcess(DWORD processId)
{
    WINDOWSEARCH search = {processId, nullptr};
    EnumWindows(MatchProcessWindow, reinterpret_cast<LPARAM>(&search));
    return search.found;
}

}  // namespace

HWND FindProgramWindow()
{
    return FindWindowW(PROGRAM_CLASS, PROGRAM_TITLE);
}

bool StartProgram(const std::wstring& folder, const std::wstring& logPath, PROCESS_INFORMATION* started,
                  DWORD* error)
{
    // The program inherits the launcher's environment; the library reads its settings there.
    // The control pipe keeps its default name, so padctl reaches it without options.
    const std::wstring walk = folder + KIT_WALK;
    SetEnvironmentVariableW(L"QUIBSIM_SCENARIO", walk.c_str());
    SetEnvironmentVariableW(L"QUIBSIM_LOG", logPath.c_str());
    SetEnvironmentVariableW(L"QUIBSIM_PIPE", nullptr);
    SetEnvironmentVariableW(L"QUIBSIM_DETACH_DELAY_MS", nullptr);
    const std::wstring program = folder + KIT_PROGRAM;
    std::wstring commandLine = L"\"" + program + L"\"";
    STARTUPINFOW startup = {};
    startup.cb = sizeof startup;
    if (!CreateProcessW(program.c_str(), &commandLine[0], nullptr, nullptr, FALSE, 0, nullptr, folder.c_str(),
                        &startup, started)) {
        *error = GetLastError();
        return false;
    }
    CloseHandle(started->hThread);
    started->hThread = nullptr;
    return true;
}

bool EndWithExitCommand(const PROCESS_INFORMATION& program, DWORD limitMs)
{
    const HWND window = WindowOfProcess(program.dwProcessId);
    if (window == nullptr || !PostMessageW(window, WM_COMMAND, IDM_EXIT, 0)) {
        return false;
    }
    return WaitForSingleObject(program.hProcess, limitMs) == WAIT_OBJECT_0;
}

void EndProgram(const PROCESS_INFORMATION& program)
{
    if (WaitForSingleObject(program.hProcess, 0) == WAIT_OBJECT_0 || EndWithExitCommand(program, 5000)) {
        return;
    }
    TerminateProcess(program.hProcess, 1);
    WaitForSingleObject(program.hProcess, 5000);
}

bool StopOtherCopy(HWND window, DWORD limitMs)
{
    PostMessageW(window, WM_COMMAND, IDM_EXIT, 0);
    const ULONGLONG deadline = GetTickCount64() + limitMs;
    while (IsWindow(window) && GetTickCount64() < deadline) {
        Sleep(20);
    }
    return !IsWindow(window);
}
