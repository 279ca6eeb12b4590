// quibpost: a test tool that reaches the running QuibTPCenter.exe from inside Wine, where the
// Linux-side test driver cannot: it posts or sends window messages to the program's hidden
// window, changes the mouse-button swap setting for real, starts the program on a given
// desktop and hands back its exit code, and looks after the configurator's dialog.
//
//   quibpost [--desktop NAME] COMMAND [ARGUMENTS]
//
//   post MSG [WPARAM [LPARAM]]   PostMessageW to the program's window
//   send MSG [WPARAM [LPARAM]]   SendMessageTimeoutW (5 s) to the program's window
//   linkheld MS COMMAND...       links the program with its first poll tick held back: keeps
//                                its queue full of posted WM_NULL (timers come only to an empty
//                                queue), runs COMMAND (which lets the library accept the next
//                                link) and waits for it, posts WM_TIMER IDT_LINK, and goes on
//                                filling the queue for MS ms; meanwhile the icon shows the
//                                picture the link added it with
//   swapbuttons                  swaps the mouse buttons and back (SPI_SETMOUSEBUTTONSWAP),
//                                which broadcasts WM_SETTINGCHANGE twice
//   run EXE [ARGS...]            starts EXE on the desktop, waits, exits with its exit code
//   console EXE [ARGS...]        as run, with a console window of its own, as Explorer starts a
//                                console program on a double-click
//   screen PID | key PID [VK] | ctrlc PID | close PID
//                                on the console of PID (started by console): prints its
//                                screen's rows, types one key (Enter, or the virtual key VK
//                                alone) and waits up to 10 s until it has been read, has
//                                Ctrl+C sent to it, or closes its window (WM_CLOSE)
//   kill PID                     ends PID at once (TerminateProcess), as Task Manager does
//   upgrade MS FILE TARGET       as an installer upgrades the program: "exit MS", then renames
//                                TARGET to TARGET.old, moves FILE to TARGET and starts it at
//                                once, as run does; its "started" line says whether the old
//                                process still ran
//   hold NAME                    waits until "release NAME"; started as the virtual desktop's
//                                first program, it keeps the desktop open between programs
//   release NAME                 ends "hold NAME"
//   window MS                    waits up to MS ms for the program's window; prints its process,
//                                how many processes run that process's image file, the file's
//                                version record and its path: "window pid=N copies=C
//                                version=a.b.c.d image=PATH"; "window none" when none came
//   processes NAME               lists the processes whose image file is named NAME, on any
//                                desktop: "processes name=NAME count=N", then "pid=N" each
//   exit MS                      posts the exit command (WM_COMMAND IDM_EXIT) and waits up to MS
//                                ms for the window to go; prints "gone pid=N running=R", R being
//                                1 while the process outlives its window
//   repaint-tray                 repaints the taskbar and the notification area, erased
//   configurator                 prints "count=N iconic=I" for the configurator's dialogs
//   minimize-configurator        minimises every configurator dialog
//   close-configurator           closes every configurator dialog
//
// Numbers are decimal or 0x-hexadecimal. --desktop joins the named desktop (for example the
// virtual desktop of "explorer /desktop=NAME,WxH") before anything else, since window searches
// and setting broadcasts only see the caller's desktop.
//
// Exit codes: 0 done (for processes: the whole list was read); 2 the window was not found or
// the call failed; 3 bad usage;
// for run, the started program's exit code.
#include <windows.h>
#include <tlhelp32.h>

#include <atomic>
#include <climits>
#include <cstdio>
#include <cwchar>
#include <string>
#include <vector>

#include "evalkit/program_window.h"
#include "padsim/configurator/configurator_ids.h"
#include "res/resource.h"

namespace {

enum : int { EXIT_DONE = 0, EXIT_FAILED = 2, EXIT_USAGE = 3 };

constexpr DWORD SEND_TIMEOUT_MS = 5000;
constexpr int FLOOD_BATCH = 100;
constexpr DWORD FLOOD_LEAD_MS = 200;
constexpr int FLOOD_THREADS = 2;

int Usage()
{
    fwprintf(stderr, L"usage: quibpost [--desktop NAME] post|send MSG [WPARAM [LPARAM]]\n"
                     L"       quibpost [--desktop NAME] linkheld MS COMMAND... | swapbuttons | window MS | exit MS\n"
                     L"       quibpost [--desktop NAME] run|console EXE [ARGS...] | upgrade MS FILE TARGET\n"
                     L"       quibpost screen|ctrlc|close|kill PID | key PID [VK] | processes NAME\n"
                     L"       quibpost hold NAME | release NAME\n"
                     L"       quibpost [--desktop NAME] repaint-tray | configurator | minimize-configurator |"
                     L" close-configurator\n");
    return EXIT_USAGE;
}

bool ParseNumber(const wchar_t* text, unsigned long long* value)
{
    wchar_t* end = nullptr;
    const bool negative = text[0] == L'-';
    const unsigned long long parsed = wcstoull(negative ? text + 1 : text, &end, 0);
    if (end == text || *end != L'\0') {
        return false;
    }
    *value = negative ? 0 - parsed : parsed;
    return true;
}

bool JoinDesktop(const wchar_t* name)
{
    HDESK desktop = OpenDesktopW(name, 0, FALSE, GENERIC_ALL);
    if (desktop == nullptr || !SetThreadDesktop(desktop)) {
        fwprintf(stderr, L"quibpost: cannot join desktop %ls (error %lu)\n", name, GetLastError());
        return false;
    }
    return true;
}

HWND ProgramWindow()
{
    const std::vector<HWND> windows = WindowsOf(APP_WINDOW_CLASS, APP_WINDOW_TITLE);
    return windows.empty() ? nullptr : windows.front();
}

std::vector<HWND> ConfiguratorDialogs()
{
    return WindowsOf(L"" CONFIGURATOR_CLASS, L"" CONFIGURATOR_TITLE);
}

// MSG [WPARAM [LPARAM]] from the arguments after the command.
bool ParseMessage(int count, wchar_t** words, UINT* message, WPARAM* wParam, LPARAM* lParam)
{
    unsigned long long values[3] = {0, 0, 0};
    if (count < 1 || count > 3) {
        return false;
    }
    for (int i = 0; i < count; ++i) {
        if (!ParseNumber(words[i], &values[i])) {
            return false;
        }
    }
    *message = static_cast<UINT>(values[0]);
    *wParam = static_cast<WPARAM>(values[1]);
    *lParam = static_cast<LPARAM>(values[2]);
    return true;
}

int PostOrSend(bool send, int count, wchar_t** words)
{
    UINT message = 0;
    WPARAM wParam = 0;
    LPARAM lParam = 0;
    if (!ParseMessage(count, words, &message, &wParam, &lParam)) {
        return Usage();
    }
    HWND window = ProgramWindow();
    if (window == nullptr) {
        fwprintf(stderr, L"quibpost: the program's window was not found\n");
        return EXIT_FAILED;
    }
    if (send) {
        DWORD_PTR result = 0;
        return SendMessageTimeoutW(window, message, wParam, lParam, SMTO_ABORTIFHUNG, SEND_TIMEOUT_MS, &result) != 0
                   ? EXIT_DONE
                   : EXIT_FAILED;
    }
    return PostMessageW(window, message, wParam, lParam) ? EXIT_DONE : EXIT_FAILED;
}

std::wstring CommandLineOf(int count, wchar_t** words)
{
    std::wstring commandLine;
    for (int i = 0; i < count; ++i) {
        commandLine += (i > 0 ? L" \"" : L"\"") + std::wstring(words[i]) + L"\"";
    }
    return commandLine;
}

bool StillRuns(HANDLE process)
{
    return WaitForSingleObject(process, 0) == WAIT_TIMEOUT;
}

// Posts the exit command and waits up to limitMs for the window to go, as an installer does.
// The program's process, opened before the post so that the caller can tell whether it
// outlives its window; nullptr when there was no window or it stayed.
HANDLE ExitProgram(DWORD limitMs, DWORD* processId)
{
    HWND window = ProgramWindow();
    if (window == nullptr) {
        fwprintf(stderr, L"quibpost: the program's window was not found\n");
        return nullptr;
    }
    GetWindowThreadProcessId(window, processId);
    HANDLE process = OpenProcess(SYNCHRONIZE, FALSE, *processId);
    if (process == nullptr) {
        return nullptr;
    }
    PostMessageW(window, WM_COMMAND, IDM_EXIT, 0);
    const ULONGLONG deadline = GetTickCount64() + limitMs;
    while (IsWindow(window) && GetTickCount64() < deadline) {
        Sleep(5);
    }
    if (IsWindow(window)) {
        fwprintf(stderr, L"quibpost: the program's window stayed\n");
        CloseHandle(process);
        return nullptr;
    }
    return process;
}

std::wstring CtrlCEventName(DWORD processId)
{
    return L"Local\\quibpost.ctrlc." + std::to_wstring(processId);
}

// Until the child ends, sends Ctrl+C to its console whenever "ctrlc PID" asks. Wine sends
// Ctrl+C for group 0 to the sender's own process group, which the child shares only with the
// process that started it: so the starter sends it, attached to the child's console for the
// moment only (a process that stays attached would count as the console's second one).
void ForwardCtrlC(const PROCESS_INFORMATION& child)
{
    const HANDLE request = CreateEventW(nullptr, FALSE, FALSE, CtrlCEventName(child.dwProcessId).c_str());
    if (request == nullptr) {
        return;
    }
    SetConsoleCtrlHandler(nullptr, TRUE);
    const HANDLE waits[2] = {child.hProcess, request};
    while (WaitForMultipleObjects(2, waits, FALSE, INFINITE) == WAIT_OBJECT_0 + 1) {
        FreeConsole();
        if (AttachConsole(child.dwProcessId)) {
            GenerateConsoleCtrlEvent(CTRL_C_EVENT, 0);
            FreeConsole();
        }
    }
    CloseHandle(request);
}

// Starts a program and waits for it; its exit code, or EXIT_FAILED when it did not start.
// With a previous process, the announcement says whether that one still ran at the start.
DWORD RunAndWait(const wchar_t* desktop, int count, wchar_t** words, bool announce, HANDLE previous = nullptr,
                 DWORD creation = 0)
{
    std::wstring commandLine = CommandLineOf(count, words);
    std::wstring desktopName = desktop != nullptr ? desktop : L"";
    STARTUPINFOW startup = {sizeof startup};
    startup.lpDesktop = desktop != nullptr ? desktopName.data() : nullptr;
    PROCESS_INFORMATION process = {};
    if (!CreateProcessW(words[0], commandLine.data(), nullptr, nullptr, FALSE, creation, nullptr, nullptr,
                        &startup, &process)) {
        fwprintf(stderr, L"quibpost: cannot start %ls (error %lu)\n", words[0], GetLastError());
        return EXIT_FAILED;
    }
    if (announce) {
        wprintf(L"started pid=%lu", process.dwProcessId);
        if (previous != nullptr) {
            wprintf(L" previous=%ls", StillRuns(previous) ? L"running" : L"ended");
        }
        wprintf(L"\n");
        fflush(stdout);
    }
    CloseHandle(process.hThread);
    if ((creation & CREATE_NEW_CONSOLE) != 0) {
        ForwardCtrlC(process);
    }
    WaitForSingleObject(process.hProcess, INFINITE);
    DWORD code = EXIT_FAILED;
    GetExitCodeProcess(process.hProcess, &code);
    CloseHandle(process.hProcess);
    return code;
}

void PostMany(HWND window, int count)
{
    for (int i = 0; i < count; ++i) {
        PostMessageW(window, WM_NULL, 0, 0);
    }
}

struct FLOODJOB {
    HWND window;
    std::atomic<ULONGLONG> deadline;
};

DWORD WINAPI FloodThread(void* parameter)
{
    const FLOODJOB* job = static_cast<const FLOODJOB*>(parameter);
    while (GetTickCount64() < job->deadline.load()) {
        PostMany(job->window, FLOOD_BATCH);
    }
    return 0;
}

// The program takes a message off its queue about as fast as one poster puts one on, so
// two posters make the queue grow and keep it from ever running dry.
int LinkHeld(const wchar_t* desktop, DWORD durationMs, int count, wchar_t** words)
{
    HWND window = ProgramWindow();
    if (window == nullptr) {
        fwprintf(stderr, L"quibpost: the program's window was not found\n");
        return EXIT_FAILED;
    }
    FLOODJOB job;
    job.window = window;
    job.deadline.store(ULLONG_MAX);
    HANDLE threads[FLOOD_THREADS];
    for (HANDLE& thread : threads) {
        thread = CreateThread(nullptr, 0, FloodThread, &job, 0, nullptr);
    }
    // The full queue holds back the program's own link timer while the library changes its mind.
    Sleep(FLOOD_LEAD_MS);
    const DWORD code = RunAndWait(desktop, count, words, false);
    if (code == 0) {
        PostMessageW(window, WM_TIMER, IDT_LINK, 0);
        wprintf(L"link posted\n");
        fflush(stdout);
    } else {
        fwprintf(stderr, L"quibpost: the command ended with %lu\n", code);
    }
    job.deadline.store(GetTickCount64() + (code == 0 ? durationMs : 0));
    for (HANDLE thread : threads) {
        if (thread != nullptr) {
            WaitForSingleObject(thread, INFINITE);
            CloseHandle(thread);
        }
    }
    wprintf(L"released\n");
    return code == 0 ? EXIT_DONE : EXIT_FAILED;
}

// The broadcast goes out only when the value changes, so swap, then swap back. Wine 8 sends
// WM_SETTINGCHANGE only for a change that is also written to the user's profile.
int SwapButtons()
{
    const UINT flags = SPIF_UPDATEINIFILE | SPIF_SENDCHANGE;
    const BOOL swapped = GetSystemMetrics(SM_SWAPBUTTON) != 0;
    const BOOL first = SystemParametersInfoW(SPI_SETMOUSEBUTTONSWAP, !swapped, nullptr, flags);
    const BOOL second = SystemParametersInfoW(SPI_SETMOUSEBUTTONSWAP, swapped, nullptr, flags);
    return first && second ? EXIT_DONE : EXIT_FAILED;
}

int Run(const wchar_t* desktop, int count, wchar_t** words, DWORD creation)
{
    if (count < 1) {
        return Usage();
    }
    const DWORD code = RunAndWait(desktop, count, words, true, nullptr, creation);
    wprintf(L"exit code=%lu\n", code);
    return static_cast<int>(code);
}

std::wstring ImagePath(DWORD processId)
{
    wchar_t path[MAX_PATH] = {};
    DWORD size = MAX_PATH;
    HANDLE process = OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, processId);
    if (process == nullptr) {
        return std::wstring();
    }
    const BOOL got = QueryFullProcessImageNameW(process, 0, path, &size);
    CloseHandle(process);
    return got ? std::wstring(path, size) : std::wstring();
}

// Processes started from the same file: a copy that ended at once is not among them.
int CopiesOf(const std::wstring& image)
{
    HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
    if (snapshot == INVALID_HANDLE_VALUE) {
        return -1;
    }
    int copies = 0;
    PROCESSENTRY32W entry = {sizeof entry};
    for (BOOL more = Process32FirstW(snapshot, &entry); more; more = Process32NextW(snapshot, &entry)) {
        copies += !image.empty() && _wcsicmp(ImagePath(entry.th32ProcessID).c_str(), image.c_str()) == 0 ? 1 : 0;
    }
    CloseHandle(snapshot);
    return copies;
}

// The file version of the version record, "a.b.c.d", or "none".
std::wstring FileVersion(const std::wstring& path)
{
    DWORD ignored = 0;
    const DWORD size = GetFileVersionInfoSizeW(path.c_str(), &ignored);
    std::vector<BYTE> data(size);
    VS_FIXEDFILEINFO* info = nullptr;
    UINT length = 0;
    if (size == 0 || !GetFileVersionInfoW(path.c_str(), 0, size, data.data()) ||
        !VerQueryValueW(data.data(), L"\\", reinterpret_cast<void**>(&info), &length) || length < sizeof *info) {
        return L"none";
    }
    wchar_t text[64];
    swprintf(text, 64, L"%u.%u.%u.%u", HIWORD(info->dwFileVersionMS), LOWORD(info->dwFileVersionMS),
             HIWORD(info->dwFileVersionLS), LOWORD(info->dwFileVersionLS));
    return text;
}

int Exit(DWORD limitMs)
{
    DWORD processId = 0;
    HANDLE process = ExitProgram(limitMs, &processId);
    if (process == nullptr) {
        return EXIT_FAILED;
    }
    wprintf(L"gone pid=%lu running=%d\n", processId, StillRuns(process) ? 1 : 0);
    CloseHandle(process);
    return EXIT_DONE;
}

// The installer's upgrade: the old copy told to exit, its file replaced the moment its window
// is gone, and the new file started at once.
int Upgrade(const wchar_t* desktop, DWORD limitMs, const wchar_t* file, wchar_t* target)
{
    DWORD processId = 0;
    HANDLE previous = ExitProgram(limitMs, &processId);
    if (previous == nullptr) {
        return EXIT_FAILED;
    }
    // A running program's file cannot be replaced or deleted, but it can be renamed.
    const std::wstring aside = std::wstring(target) + L".old";
    if (!MoveFileExW(target, aside.c_str(), MOVEFILE_REPLACE_EXISTING) || !MoveFileExW(file, target, 0)) {
        fwprintf(stderr, L"quibpost: cannot replace %ls (error %lu)\n", target, GetLastError());
        CloseHandle(previous);
        return EXIT_FAILED;
    }
    const DWORD code = RunAndWait(desktop, 1, &target, true, previous);
    CloseHandle(previous);
    wprintf(L"exit code=%lu\n", code);
    return static_cast<int>(code);
}

int WaitForWindow(DWORD limitMs)
{
    const ULONGLONG deadline = GetTickCount64() + limitMs;
    for (;;) {
        HWND window = ProgramWindow();
        if (window != nullptr) {
            DWORD processId = 0;
            GetWindowThreadProcessId(window, &processId);
            const std::wstring image = ImagePath(processId);
            wprintf(L"window pid=%lu copies=%d version=%ls image=%ls\n", processId, CopiesOf(image),
                    FileVersion(image).c_str(), image.c_str());
            return EXIT_DONE;
        }
        if (GetTickCount64() >= deadline) {
            // Said on standard output, so a caller can tell "none" from a failure to look.
            wprintf(L"window none\n");
            return EXIT_FAILED;
        }
        Sleep(20);
    }
}

int ListProcesses(const wchar_t* name)
{
    HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
    if (snapshot == INVALID_HANDLE_VALUE) {
        fwprintf(stderr, L"quibpost: no process list (error %lu)\n", GetLastError());
        return EXIT_FAILED;
    }
    std::vector<DWORD> found;
    PROCESSENTRY32W entry = {sizeof entry};
    BOOL more = Process32FirstW(snapshot, &entry);
    for (; more; more = Process32NextW(snapshot, &entry)) {
        if (_wcsicmp(entry.szExeFile, name) == 0) {
            found.push_back(entry.th32ProcessID);
        }
    }
    // The list ends with ERROR_NO_MORE_FILES; anything else cut it short.
    const bool whole = GetLastError() == ERROR_NO_MORE_FILES;
    CloseHandle(snapshot);
    if (!whole) {
        fwprintf(stderr, L"quibpost: the process list was cut short\n");
        return EXIT_FAILED;
    }
    wprintf(L"processes name=%ls count=%u\n", name, static_cast<unsigned>(found.size()));
    for (DWORD processId : found) {
        wprintf(L"pid=%lu\n", processId);
    }
    return EXIT_DONE;
}

int ShowConfigurators()
{
    const std::vector<HWND> dialogs = ConfiguratorDialogs();
    int iconic = 0;
    for (HWND dialog : dialogs) {
        iconic += IsIconic(dialog) ? 1 : 0;
    }
    wprintf(L"count=%u iconic=%d\n", static_cast<unsigned>(dialogs.size()), iconic);
    return EXIT_DONE;
}

int ForEachConfigurator(bool close)
{
    const std::vector<HWND> dialogs = ConfiguratorDialogs();
    for (HWND dialog : dialogs) {
        if (close) {
            PostMessageW(dialog, WM_CLOSE, 0, 0);
        } else {
            ShowWindow(dialog, SW_MINIMIZE);
        }
    }
    return dialogs.empty() ? EXIT_FAILED : EXIT_DONE;
}

// Wine 10's notification area draws a changed picture over the old one without erasing it, so
// whatever the new picture leaves transparent still shows the old one; Wine 8 and Windows erase.
// Repainting the taskbar with its children, erased, shows only the pictures of the moment.
int RepaintTray()
{
    HWND tray = FindWindowW(L"Shell_TrayWnd", nullptr);
    if (tray == nullptr) {
        fwprintf(stderr, L"quibpost: no taskbar on this desktop\n");
        return EXIT_FAILED;
    }
    const UINT flags = RDW_INVALIDATE | RDW_ERASE | RDW_FRAME | RDW_ALLCHILDREN | RDW_UPDATENOW;
    if (!RedrawWindow(tray, nullptr, nullptr, flags)) {
        fwprintf(stderr, L"quibpost: the taskbar was not repainted (error %lu)\n", GetLastError());
        return EXIT_FAILED;
    }
    return EXIT_DONE;
}

std::wstring HoldEventName(const wchar_t* name)
{
    return std::wstring(L"Local\\quibpost.hold.") + name;
}

int Hold(const wchar_t* name)
{
    HANDLE event = CreateEventW(nullptr, TRUE, FALSE, HoldEventName(name).c_str());
    if (event == nullptr) {
        return EXIT_FAILED;
    }
    WaitForSingleObject(event, INFINITE);
    CloseHandle(event);
    return EXIT_DONE;
}

int Release(const wchar_t* name)
{
    HANDLE event = OpenEventW(EVENT_MODIFY_STATE, FALSE, HoldEventName(name).c_str());
    if (event == nullptr) {
        return EXIT_FAILED;
    }
    const BOOL set = SetEvent(event);
    CloseHandle(event);
    return set ? EXIT_DONE : EXIT_FAILED;
}

// Joins the console of another process, ignoring the Ctrl+C it may send there itself.
bool JoinConsole(DWORD processId)
{
    FreeConsole();
    if (!AttachConsole(processId)) {
        fwprintf(stderr, L"quibpost: cannot attach to the console of %lu (error %lu)\n", processId, GetLastError());
        return false;
    }
    SetConsoleCtrlHandler(nullptr, TRUE);
    return true;
}

HANDLE OpenConsole(const wchar_t* name)
{
    return CreateFileW(name, GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                       0, nullptr);
}

// The screen's rows, read before anything is written to our own output (which is no console).
int ShowScreen()
{
    const HANDLE output = OpenConsole(L"CONOUT$");
    CONSOLE_SCREEN_BUFFER_INFO info = {};
    if (output == INVALID_HANDLE_VALUE || !GetConsoleScreenBufferInfo(output, &info)) {
        return EXIT_FAILED;
    }
    std::wstring text;
    std::wstring row(static_cast<size_t>(info.dwSize.X), L' ');
    for (SHORT y = 0; y < info.dwSize.Y; ++y) {
        DWORD read = 0;
        ReadConsoleOutputCharacterW(output, row.data(), static_cast<DWORD>(row.size()), {0, y}, &read);
        const size_t end = row.find_last_not_of(L' ', read > 0 ? read - 1 : 0);
        text += read > 0 && end != std::wstring::npos ? row.substr(0, end + 1) : std::wstring();
        // A row filled to its last column goes on in the next: one line, as it was written.
        if (read < row.size() || row.back() == L' ') {
            text += L"\n";
        }
    }
    CloseHandle(output);
    const size_t last = text.find_last_not_of(L'\n');
    wprintf(L"%ls\n", last == std::wstring::npos ? L"" : text.substr(0, last + 1).c_str());
    return EXIT_DONE;
}

// Waits until the console's reader has taken every record: a key that nobody read is no answer.
bool InputRead(HANDLE input)
{
    const ULONGLONG deadline = GetTickCount64() + 10000;
    DWORD pending = 1;
    while (GetNumberOfConsoleInputEvents(input, &pending) && pending > 0 && GetTickCount64() < deadline) {
        Sleep(20);
    }
    return pending == 0;
}

// Enter, or a key that types nothing, such as a modifier alone (as Alt+Tab leaves it).
int TypeKey(WORD virtualKey)
{
    const HANDLE input = OpenConsole(L"CONIN$");
    INPUT_RECORD keys[2] = {};
    for (int i = 0; i < 2; ++i) {
        keys[i].EventType = KEY_EVENT;
        keys[i].Event.KeyEvent.bKeyDown = i == 0;
        keys[i].Event.KeyEvent.wRepeatCount = 1;
        keys[i].Event.KeyEvent.wVirtualKeyCode = virtualKey;
        keys[i].Event.KeyEvent.uChar.UnicodeChar = virtualKey == VK_RETURN ? L'\r' : L'\0';
    }
    DWORD written = 0;
    const bool typed = input != INVALID_HANDLE_VALUE && WriteConsoleInputW(input, keys, 2, &written) &&
                       written == 2 && InputRead(input);
    if (input != INVALID_HANDLE_VALUE) {
        CloseHandle(input);
    }
    if (!typed) {
        fwprintf(stderr, L"quibpost: the key was not typed, or not read\n");
    }
    return typed ? EXIT_DONE : EXIT_FAILED;
}

int OnConsole(const std::wstring& command, DWORD processId, WORD virtualKey)
{
    if (command == L"ctrlc") {
        // The process that started it sends it (ForwardCtrlC). Ctrl+Break reaches nothing under Wine.
        const HANDLE request = OpenEventW(EVENT_MODIFY_STATE, FALSE, CtrlCEventName(processId).c_str());
        const bool asked = request != nullptr && SetEvent(request);
        if (request != nullptr) {
            CloseHandle(request);
        }
        return asked ? EXIT_DONE : EXIT_FAILED;
    }
    if (command == L"kill") {
        const HANDLE process = OpenProcess(PROCESS_TERMINATE, FALSE, processId);
        const bool ended = process != nullptr && TerminateProcess(process, 1);
        if (process != nullptr) {
            CloseHandle(process);
        }
        return ended ? EXIT_DONE : EXIT_FAILED;
    }
    if (!JoinConsole(processId)) {
        return EXIT_FAILED;
    }
    if (command == L"screen") {
        return ShowScreen();
    }
    if (command == L"close") {
        const HWND window = GetConsoleWindow();
        FreeConsole();
        return window != nullptr && PostMessageW(window, WM_CLOSE, 0, 0) ? EXIT_DONE : EXIT_FAILED;
    }
    return command == L"key" ? TypeKey(virtualKey) : Usage();
}

unsigned long ParseMs(const wchar_t* text, bool* ok)
{
    unsigned long long value = 0;
    *ok = ParseNumber(text, &value) && value <= 600000;
    return static_cast<unsigned long>(value);
}

}  // namespace

int wmain(int argc, wchar_t** argv)
{
    int first = 1;
    const wchar_t* desktop = nullptr;
    if (argc > 2 && wcscmp(argv[1], L"--desktop") == 0) {
        desktop = argv[2];
        first = 3;
        if (!JoinDesktop(desktop)) {
            return EXIT_FAILED;
        }
    }
    if (first >= argc) {
        return Usage();
    }
    const std::wstring command = argv[first];
    const int count = argc - first - 1;
    wchar_t** words = argv + first + 1;
    bool ok = true;
    if (command == L"post" || command == L"send") {
        return PostOrSend(command == L"send", count, words);
    }
    if (command == L"linkheld" && count >= 2) {
        const unsigned long ms = ParseMs(words[0], &ok);
        return ok ? LinkHeld(desktop, ms, count - 1, words + 1) : Usage();
    }
    if (command == L"window" && count == 1) {
        const unsigned long ms = ParseMs(words[0], &ok);
        return ok ? WaitForWindow(ms) : Usage();
    }
    if (command == L"exit" && count == 1) {
        const unsigned long ms = ParseMs(words[0], &ok);
        return ok ? Exit(ms) : Usage();
    }
    if (command == L"swapbuttons" && count == 0) {
        return SwapButtons();
    }
    if (command == L"upgrade" && count == 3) {
        const unsigned long ms = ParseMs(words[0], &ok);
        return ok ? Upgrade(desktop, ms, words[1], words[2]) : Usage();
    }
    if (command == L"run" || command == L"console") {
        return Run(desktop, count, words, command == L"console" ? CREATE_NEW_CONSOLE : 0);
    }
    if ((command == L"screen" || command == L"key" || command == L"ctrlc" || command == L"close" ||
         command == L"kill") &&
        (count == 1 || (command == L"key" && count == 2))) {
        unsigned long long processId = 0;
        unsigned long long virtualKey = VK_RETURN;
        return ParseNumber(words[0], &processId) && processId <= ULONG_MAX &&
                       (count == 1 || (ParseNumber(words[1], &virtualKey) && virtualKey > 0 && virtualKey < 0xFF))
                   ? OnConsole(command, static_cast<DWORD>(processId), static_cast<WORD>(virtualKey))
                   : Usage();
    }
    if (command == L"processes" && count == 1) {
        return ListProcesses(words[0]);
    }
    if (command == L"hold" && count == 1) {
        return Hold(words[0]);
    }
    if (command == L"release" && count == 1) {
        return Release(words[0]);
    }
    if (command == L"repaint-tray" && count == 0) {
        return RepaintTray();
    }
    if (command == L"configurator" && count == 0) {
        return ShowConfigurators();
    }
    if ((command == L"minimize-configurator" || command == L"close-configurator") && count == 0) {
        return ForEachConfigurator(command == L"close-configurator");
    }
    return Usage();
}
