// process_meter: reads, from inside Wine, what Windows itself reports about the programs that
// scripts/perf-wine measures. Each program is found by the title of its top-level window.
//
//   process_meter times TITLE...   one line per title:
//                                  title=... pid=... user_100ns=... kernel_100ns=... threads=...
//                                  thread_user_100ns=... thread_kernel_100ns=... (summed over threads)
//                                  peak_working_set=... working_set=... ok=1
//                                  (ok=0 and the failing step when a value could not be read)
//   process_meter close TITLE      posts WM_CLOSE to the window
//   process_meter exit TITLE       posts WM_COMMAND 105 (the program's exit command)
//   process_meter icon TITLE ID    exit code 0 when the window shows notification-area icon ID
//   process_meter selftest         starts reference_timer.exe and reference_tray.exe from this
//                                  program's folder, reads their times and memory, finds the
//                                  tray reference's icon, closes them, checks exit codes 0
//
// Exit codes: 0 done; 2 a window was not found or a value could not be read; 3 bad usage.
#include <windows.h>
#include <psapi.h>
#include <shellapi.h>
#include <tlhelp32.h>

#include <cstdio>
#include <cwchar>
#include <string>

#include "res/resource.h"

namespace {

enum : int { EXIT_DONE = 0, EXIT_FAILED = 2, EXIT_USAGE = 3 };

const wchar_t REFERENCE_TITLE[] = L"QUIB PERF REFERENCE TIMER";
const wchar_t TRAY_REFERENCE_TITLE[] = L"QUIB PERF REFERENCE TRAY";
constexpr UINT TRAY_REFERENCE_ICON_ID = 1;
constexpr DWORD WINDOW_WAIT_MS = 10000;

struct ProcessFigures {
    DWORD processId = 0;
    ULONGLONG user100ns = 0;
    ULONGLONG kernel100ns = 0;
    // The same, summed over the process's threads as GetThreadTimes gives them.
    ULONGLONG threadUser100ns = 0;
    ULONGLONG threadKernel100ns = 0;
    DWORD threads = 0;
    SIZE_T peakWorkingSet = 0;
    SIZE_T workingSet = 0;
    const char* failure = nullptr;  // the step that failed, or null
};

ULONGLONG FileTimeValue(const FILETIME& time)
{
    return (static_cast<ULONGLONG>(time.dwHighDateTime) << 32) | time.dwLowDateTime;
}

HWND FindTitledWindow(const wchar_t* title)
{
    return FindWindowExW(nullptr, nullptr, nullptr, title);
}

// Wine keeps each thread's times apart from the process's, so both are read: a process whose
// threads' sum differs from its own times shows which of the two Wine keeps up to date.
bool AddThreadTimes(ProcessFigures* figures)
{
    HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPTHREAD, 0);
    if (snapshot == INVALID_HANDLE_VALUE) {
        return false;
    }
    THREADENTRY32 entry = {};
    entry.dwSize = sizeof(entry);
    bool allRead = true;
    for (BOOL more = Thread32First(snapshot, &entry); more; more = Thread32Next(snapshot, &entry)) {
        if (entry.th32OwnerProcessID != figures->processId) {
            continue;
        }
        HANDLE thread = OpenThread(THREAD_QUERY_INFORMATION, FALSE, entry.th32ThreadID);
        FILETIME created, ended, kernel, user;
        if (thread != nullptr && GetThreadTimes(thread, &created, &ended, &kernel, &user)) {
            figures->threadUser100ns += FileTimeValue(user);
            figures->threadKernel100ns += FileTimeValue(kernel);
            ++figures->threads;
        } else {
            allRead = false;
        }
        if (thread != nullptr) {
            CloseHandle(thread);
        }
    }
    CloseHandle(snapshot);
    return allRead && figures->threads > 0;
}

ProcessFigures ReadFigures(DWORD processId)
{
    ProcessFigures figures;
    figures.processId = processId;
    HANDLE process = OpenProcess(PROCESS_QUERY_INFORMATION | PROCESS_VM_READ, FALSE, processId);
    if (process == nullptr) {
        figures.failure = "OpenProcess";
        return figures;
    }
    FILETIME created, ended, kernel, user;
    if (GetProcessTimes(process, &created, &ended, &kernel, &user)) {
        figures.user100ns = FileTimeValue(user);
        figures.kernel100ns = FileTimeValue(kernel);
    } else {
        figures.failure = "GetProcessTimes";
    }
    PROCESS_MEMORY_COUNTERS memory = {};
    memory.cb = sizeof(memory);
    if (GetProcessMemoryInfo(process, &memory, sizeof(memory))) {
        figures.peakWorkingSet = memory.PeakWorkingSetSize;
        figures.workingSet = memory.WorkingSetSize;
    } else if (figures.failure == nullptr) {
        figures.failure = "GetProcessMemoryInfo";
    }
    CloseHandle(process);
    if (!AddThreadTimes(&figures) && figures.failure == nullptr) {
        figures.failure = "GetThreadTimes";
    }
    return figures;
}

void PrintFigures(const wchar_t* title, const ProcessFigures& figures)
{
    wprintf(L"title=%ls pid=%lu user_100ns=%llu kernel_100ns=%llu threads=%lu thread_user_100ns=%llu "
            L"thread_kernel_100ns=%llu peak_working_set=%llu working_set=%llu ok=%d",
            title, figures.processId, figures.user100ns, figures.kernel100ns, figures.threads,
            figures.threadUser100ns, figures.threadKernel100ns, static_cast<unsigned long long>(figures.peakWorkingSet),
            static_cast<unsigned long long>(figures.workingSet), figures.failure == nullptr ? 1 : 0);
    if (figures.failure != nullptr) {
        wprintf(L" failed=%hs", figures.failure);
    }
    wprintf(L"\n");
}

int Times(int count, wchar_t** titles)
{
    int result = EXIT_DONE;
    for (int i = 0; i < count; ++i) {
        HWND window = FindTitledWindow(titles[i]);
        DWORD processId = 0;
        if (window == nullptr || GetWindowThreadProcessId(window, &processId) == 0) {
            wprintf(L"title=%ls ok=0 failed=FindWindowExW\n", titles[i]);
            result = EXIT_FAILED;
            continue;
        }
        const ProcessFigures figures = ReadFigures(processId);
        PrintFigures(titles[i], figures);
        if (figures.failure != nullptr) {
            result = EXIT_FAILED;
        }
    }
    fflush(stdout);
    return result;
}

int Post(const wchar_t* title, UINT message, WPARAM wParam)
{
    HWND window = FindTitledWindow(title);
    return window != nullptr && PostMessageW(window, message, wParam, 0) ? EXIT_DONE : EXIT_FAILED;
}

// The shell keeps icons by owner window and id, whoever asks: a change that changes nothing
// succeeds only for an icon that is there.
bool ShowsTrayIcon(HWND window, UINT iconId)
{
    NOTIFYICONDATAW icon = {sizeof(NOTIFYICONDATAW)};
    icon.hWnd = window;
    icon.uID = iconId;
    return Shell_NotifyIconW(NIM_MODIFY, &icon) != FALSE;
}

int Icon(const wchar_t* title, const wchar_t* iconId)
{
    HWND window = FindTitledWindow(title);
    return window != nullptr && ShowsTrayIcon(window, static_cast<UINT>(wcstoul(iconId, nullptr, 0)))
               ? EXIT_DONE
               : EXIT_FAILED;
}

std::wstring ThisFolder()
{
    wchar_t path[MAX_PATH] = {};
    const DWORD length = GetModuleFileNameW(nullptr, path, MAX_PATH);
    std::wstring folder(path, length);
    return folder.substr(0, folder.find_last_of(L"\\/") + 1);
}

HWND WaitForTitledWindow(const wchar_t* title)
{
    const ULONGLONG deadline = GetTickCount64() + WINDOW_WAIT_MS;
    HWND window = nullptr;
    while ((window = FindTitledWindow(title)) == nullptr && GetTickCount64() < deadline) {
        Sleep(20);
    }
    return window;
}

// Proves the helper against a reference program: every value it reports can be read, the
// tray reference's icon is found (and a window without one is not), and the program ends
// cleanly when closed.
int SelfTestWith(const wchar_t* exeName, const wchar_t* title, bool hasIcon)
{
    std::wstring exe = ThisFolder() + exeName;
    std::wstring commandLine = L"\"" + exe + L"\"";
    STARTUPINFOW startup = {sizeof startup};
    PROCESS_INFORMATION info = {};
    if (!CreateProcessW(exe.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                        &info)) {
        wprintf(L"selftest: cannot start %ls\n", exe.c_str());
        return EXIT_FAILED;
    }
    CloseHandle(info.hThread);
    int result = EXIT_DONE;
    HWND window = WaitForTitledWindow(title);
    DWORD owner = 0;
    if (window == nullptr || GetWindowThreadProcessId(window, &owner) == 0 || owner != info.dwProcessId) {
        wprintf(L"selftest: the window of %ls was not found\n", exeName);
        result = EXIT_FAILED;
    } else {
        Sleep(300);  // some timer ticks, so the times have something to count
        const ProcessFigures figures = ReadFigures(owner);
        PrintFigures(title, figures);
        if (figures.failure != nullptr || figures.peakWorkingSet == 0 ||
            figures.peakWorkingSet < figures.workingSet) {
            wprintf(L"selftest: implausible figures\n");
            result = EXIT_FAILED;
        }
        if (ShowsTrayIcon(window, TRAY_REFERENCE_ICON_ID) != hasIcon) {
            wprintf(L"selftest: %ls %ls a notification-area icon\n", exeName, hasIcon ? L"does not show" : L"shows");
            result = EXIT_FAILED;
        }
        PostMessageW(window, WM_CLOSE, 0, 0);
    }
    DWORD exitCode = STILL_ACTIVE;
    if (WaitForSingleObject(info.hProcess, WINDOW_WAIT_MS) != WAIT_OBJECT_0) {
        TerminateProcess(info.hProcess, 99);
    }
    GetExitCodeProcess(info.hProcess, &exitCode);
    CloseHandle(info.hProcess);
    if (exitCode != 0) {
        wprintf(L"selftest: %ls ended with %lu\n", exeName, exitCode);
        result = EXIT_FAILED;
    }
    fflush(stdout);
    return result;
}

int SelfTest()
{
    const int timer = SelfTestWith(L"reference_timer.exe", REFERENCE_TITLE, false);
    const int tray = SelfTestWith(L"reference_tray.exe", TRAY_REFERENCE_TITLE, true);
    return timer != EXIT_DONE ? timer : tray;
}

}  // namespace

int wmain(int argc, wchar_t** argv)
{
    if (argc >= 3 && wcscmp(argv[1], L"times") == 0) {
        return Times(argc - 2, argv + 2);
    }
    if (argc == 3 && wcscmp(argv[1], L"close") == 0) {
        return Post(argv[2], WM_CLOSE, 0);
    }
    if (argc == 3 && wcscmp(argv[1], L"exit") == 0) {
        return Post(argv[2], WM_COMMAND, IDM_EXIT);
    }
    if (argc == 4 && wcscmp(argv[1], L"icon") == 0) {
        return Icon(argv[2], argv[3]);
    }
    if (argc == 2 && wcscmp(argv[1], L"selftest") == 0) {
        return SelfTest();
    }
    fwprintf(stderr, L"usage: process_meter times TITLE... | close TITLE | exit TITLE | icon TITLE ID | selftest\n");
    return EXIT_USAGE;
}
