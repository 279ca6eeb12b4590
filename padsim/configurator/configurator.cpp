// QuibTPConfigure64.exe, the stand-in for the touchpad maker's configurator: one dialog of
// class "#32770" titled "QUIB Touch Pad" that tests can find, raise and close. It logs its
// start and its close (with its process id) to the simulator's log, QUIBSIM_LOG.
#include <windows.h>

#include <string>

#include "padsim/configurator/configurator_ids.h"
#include "padsim/log_file.h"
#include "padsim/log_record.h"

namespace {

LARGE_INTEGER StartTicks;

uint64_t MicrosSinceStart()
{
    LARGE_INTEGER now, frequency;
    QueryPerformanceCounter(&now);
    QueryPerformanceFrequency(&frequency);
    const uint64_t delta = static_cast<uint64_t>(now.QuadPart - StartTicks.QuadPart);
    const uint64_t ticks = static_cast<uint64_t>(frequency.QuadPart);
    return delta / ticks * 1000000 + delta % ticks * 1000000 / ticks;
}

std::wstring ModulePath()
{
    wchar_t path[MAX_PATH];
    const DWORD length = GetModuleFileNameW(nullptr, path, MAX_PATH);
    return std::wstring(path, length < MAX_PATH ? length : 0);
}

void LogConfiguratorEvent(SimEvent event)
{
    const HANDLE file = OpenAppendLog(LogPathFromEnvironment());
    if (file == INVALID_HANDLE_VALUE) {
        return;
    }
    SIMLOGRECORD record{};
    record.micros = MicrosSinceStart();
    record.threadId = GetCurrentThreadId();
    record.kind = LOG_EVENT;
    record.code = event;
    const std::string path = Utf8(ModulePath());
    SetLogText(record, path.data(), path.size());
    AppendLogRecord(file, record);
    CloseHandle(file);
}

void ShowProcessLine(HWND dialog)
{
    wchar_t line[128];
    wsprintfW(line, L"Process %lu. Close it with the button, Esc or WM_CLOSE.",
              GetCurrentProcessId());
    SetDlgItemTextW(dialog, IDC_CONFIGURATOR_PROCESS, line);
}

INT_PTR CALLBACK ConfiguratorDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM)
{
    switch (message) {
    case WM_INITDIALOG:
        ShowProcessLine(dialog);
        return TRUE;
    case WM_COMMAND:
        if (LOWORD(wParam) == IDCANCEL || LOWORD(wParam) == IDOK) {
            EndDialog(dialog, 0);
            return TRUE;
        }
        return FALSE;
    case WM_CLOSE:
        EndDialog(dialog, 0);
        return TRUE;
    default:
        return FALSE;
    }
}

}  // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int)
{
    QueryPerformanceCounter(&StartTicks);
    LogConfiguratorEvent(EVENT_CONFIGURATOR_START);
    DialogBoxParamW(instance, MAKEINTRESOURCEW(IDD_CONFIGURATOR), nullptr, ConfiguratorDialogProc,
                    0);
    LogConfiguratorEvent(EVENT_CONFIGURATOR_CLOSE);
    return 0;
}
