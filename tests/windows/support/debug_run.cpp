#include "tests/windows/support/debug_run.h"

namespace {

std::wstring ReadDebugString(HANDLE process, const OUTPUT_DEBUG_STRING_INFO& info)
{
    const size_t units = info.nDebugStringLength;
    if (info.fUnicode) {
        std::wstring text(units, L'\0');
        ReadProcessMemory(process, info.lpDebugStringData, text.data(), units * sizeof(wchar_t), nullptr);
        return std::wstring(text.c_str());
    }
    std::string bytes(units, '\0');
    ReadProcessMemory(process, info.lpDebugStringData, bytes.data(), units, nullptr);
    const std::string text(bytes.c_str());
    std::wstring wide(text.size() + 1, L'\0');
    const int length = MultiByteToWideChar(CP_ACP, 0, text.c_str(), -1, wide.data(), static_cast<int>(wide.size()));
    wide.resize(length > 0 ? length - 1 : 0);
    return wide;
}

}  // namespace

DebugRun RunUnderDebugger(const std::wstring& commandLine, DWORD timeLimitMs, const std::function<void()>& onLine)
{
    DebugRun run;
    STARTUPINFOW startup = {sizeof startup};
    PROCESS_INFORMATION process = {};
    std::wstring mutableLine = commandLine;
    if (!CreateProcessW(nullptr, mutableLine.data(), nullptr, nullptr, FALSE, DEBUG_ONLY_THIS_PROCESS, nullptr,
                        nullptr, &startup, &process)) {
        return run;
    }
    run.started = true;
    const ULONGLONG deadline = GetTickCount64() + timeLimitMs;
    while (!run.ended) {
        const ULONGLONG now = GetTickCount64();
        DEBUG_EVENT event;
        if (now >= deadline || !WaitForDebugEvent(&event, static_cast<DWORD>(deadline - now))) {
            break;
        }
        DWORD status = DBG_CONTINUE;
        switch (event.dwDebugEventCode) {
        case OUTPUT_DEBUG_STRING_EVENT:
            run.lines.push_back(ReadDebugString(process.hProcess, event.u.DebugString));
            if (onLine) {
                onLine();
            }
            break;
        case CREATE_PROCESS_DEBUG_EVENT:
            if (event.u.CreateProcessInfo.hFile != nullptr) {
                CloseHandle(event.u.CreateProcessInfo.hFile);
            }
            break;
        case LOAD_DLL_DEBUG_EVENT:
            if (event.u.LoadDll.hFile != nullptr) {
                CloseHandle(event.u.LoadDll.hFile);
            }
            break;
        case EXCEPTION_DEBUG_EVENT:
            // The loader's breakpoint is ours to pass; anything else is the program's.
            if (event.u.Exception.ExceptionRecord.ExceptionCode != EXCEPTION_BREAKPOINT) {
                status = DBG_EXCEPTION_NOT_HANDLED;
            }
            break;
        case EXIT_PROCESS_DEBUG_EVENT:
            run.exitCode = event.u.ExitProcess.dwExitCode;
            run.ended = true;
            break;
        default:
            break;
        }
        ContinueDebugEvent(event.dwProcessId, event.dwThreadId, status);
    }
    if (!run.ended) {
        TerminateProcess(process.hProcess, 1);
        DebugActiveProcessStop(process.dwProcessId);
    }
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    return run;
}

std::wstring ThisProgramFolder()
{
    wchar_t path[MAX_PATH] = {};
    GetModuleFileNameW(nullptr, path, MAX_PATH);
    std::wstring folder = path;
    return folder.substr(0, folder.find_last_of(L'\\') + 1);
}
