// TryQuibTPCenter: runs the real QuibTPCenter.exe on this PC with the simulated touchpad
// library of the evaluation kit, walks it through every picture its icon can show, ends it
// with its own exit command and prints a summary from the library's call log.
//
//   TryQuibTPCenter [--hold]          the trial; --hold keeps the program running on a quiet
//                                     pad after the walk until a key is pressed
//   TryQuibTPCenter --stop-installed  ends a copy that already runs on this desktop
//
// Everything runs from the kit's folder; the call log and the summary go to %TEMP%.
// Exit codes: 0 the trial ran and the program ended with 0; 1 the program failed, ended early
// or did not end; 2 a kit file is missing; 3 a copy of the program already runs;
// 4 the call log cannot be written; 5 bad usage.
#include <windows.h>

#include <cwchar>
#include <string>
#include <vector>

#include "evalkit/call_summary.h"
#include "evalkit/console_text.h"
#include "evalkit/kit_folder.h"
#include "evalkit/log_tail.h"
#include "evalkit/program_process.h"
#include "evalkit/walk_follow.h"

namespace {

enum : int { EXIT_TRIED = 0, EXIT_PROGRAM = 1, EXIT_KIT = 2, EXIT_RUNNING = 3, EXIT_LOG = 4, EXIT_USAGE = 5 };

constexpr DWORD WALK_LIMIT_MS = 180000;  // the walk takes about 50 s
constexpr DWORD EXIT_LIMIT_MS = 15000;
const wchar_t LOG_NAME[] = L"QuibTPCenter-trial.log";
const wchar_t SUMMARY_NAME[] = L"QuibTPCenter-trial-summary.txt";

struct TRIALOPTIONS {
    bool hold = false;
    bool stopInstalled = false;
};

// Decimal for the small codes of programs and the system's errors, hexadecimal for status codes.
std::wstring CodeText(DWORD code)
{
    wchar_t text[32];
    swprintf(text, 32, code < 0x10000 ? L"%lu" : L"0x%08lX", code);
    return text;
}

std::wstring ErrorText(DWORD code)
{
    return L"error " + CodeText(code);
}

std::wstring TempFolder()
{
    wchar_t path[MAX_PATH + 1] = {};
    const DWORD length = GetTempPathW(MAX_PATH + 1, path);
    return length > 0 && length <= MAX_PATH ? std::wstring(path, length) : std::wstring();
}

// A fresh, empty log each run, so a second trial reads only its own lines.
bool CreateEmptyFile(const std::wstring& path, DWORD* error)
{
    const HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_ALWAYS,
                                    FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        *error = GetLastError();
        return false;
    }
    CloseHandle(file);
    return true;
}

std::vector<std::string> ReadLogLines(const std::wstring& path)
{
    std::vector<std::string> lines;
    LOGTAIL tail;
    if (OpenLogTail(path, &tail)) {
        ReadNewLines(tail, &lines);
        CloseLogTail(tail);
    }
    return lines;
}

void WriteSummaryFile(const std::wstring& path, const std::vector<std::wstring>& lines)
{
    std::wstring text;
    for (const std::wstring& line : lines) {
        text += line + L"\r\n";
    }
    const int size = WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0,
                                         nullptr, nullptr);
    std::string bytes(size > 0 ? static_cast<size_t>(size) : 0, '\0');
    if (size > 0) {
        WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), &bytes[0], size, nullptr,
                            nullptr);
    }
    const HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_ALWAYS,
                                    FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file != INVALID_HANDLE_VALUE) {
        DWORD written = 0;
        WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
        CloseHandle(file);
    }
}

int StopInstalled()
{
    const HWND window = FindProgramWindow();
    if (window == nullptr) {
        Say(L"No copy of QUIB Touch Pad Center runs on this desktop.");
        return EXIT_TRIED;
    }
    if (!StopOtherCopy(window, EXIT_LIMIT_MS)) {
        return Fail(EXIT_PROGRAM, L"the running QUIB Touch Pad Center did not end on its exit command; "
                                  L"end QuibTPCenter.exe in Task Manager (Details tab)");
    }
    Say(L"The running QUIB Touch Pad Center has ended; it starts again at your next logon. "
        L"Now run TryQuibTPCenter.exe again.");
    return EXIT_TRIED;
}

// After the walk with --hold: the program stays on a quiet pad until a key is pressed.
bool HoldUntilKey(HANDLE process)
{
    Say(L"");
    Say(L"The walk is over; the program keeps running on a quiet pad. Try padctl.exe from another");
    Say(L"command prompt in this folder (see EVALKIT.txt). Press a key here to end the program.");
    return WaitForKeyOr(process);
}

int EndAndSummarise(const PROCESS_INFORMATION& program, const std::wstring& logPath, const std::wstring& temp)
{
    if (!EndWithExitCommand(program, EXIT_LIMIT_MS)) {
        EndProgram(program);
        return Fail(EXIT_PROGRAM, L"QuibTPCenter.exe did not end on its exit command; it was ended by force "
                                  L"(call log: " + logPath + L")");
    }
    DWORD exitCode = 0;
    GetExitCodeProcess(program.hProcess, &exitCode);
    std::vector<std::wstring> lines = SummaryLines(ReadLogLines(logPath), exitCode);
    lines.push_back(L"call log: " + logPath);
    Say(L"");
    Say(L"Summary (also in " + temp + SUMMARY_NAME + L"):");
    for (const std::wstring& line : lines) {
        Say(L"  " + line);
    }
    WriteSummaryFile(temp + SUMMARY_NAME, lines);
    return exitCode == 0 ? EXIT_TRIED : EXIT_PROGRAM;
}

// The program ended before the walk did, or the walk never ended: one line, and nothing left running.
int Abandon(const PROCESS_INFORMATION& program, const std::wstring& logPath)
{
    const bool ended = WaitForSingleObject(program.hProcess, 0) == WAIT_OBJECT_0;
    DWORD exitCode = 0;
    GetExitCodeProcess(program.hProcess, &exitCode);
    EndProgram(program);
    const std::wstring what = ended ? L"QuibTPCenter.exe ended early (exit code " + CodeText(exitCode) + L")"
                                    : L"the walk did not end within three minutes, so the program was ended";
    return Fail(EXIT_PROGRAM, what + L"; call log: " + logPath);
}

int Trial(const TRIALOPTIONS& options)
{
    const std::wstring folder = KitFolder();
    if (folder.empty()) {
        return Fail(EXIT_KIT, L"cannot tell which folder the kit is in");
    }
    const wchar_t* missing = MissingKitFile(folder);
    if (missing != nullptr) {
        return Fail(EXIT_KIT, std::wstring(L"the kit's ") + missing + L" is missing from " + folder +
                                  L"; unpack the whole archive again");
    }
    if (options.stopInstalled) {
        return StopInstalled();
    }
    if (FindProgramWindow() != nullptr) {
        return Fail(EXIT_RUNNING, L"QUIB Touch Pad Center already runs on this desktop; for the trial, end it with "
                                  L"\"TryQuibTPCenter.exe --stop-installed\" (it starts again at your next logon)");
    }
    if (options.hold && !HasConsoleKeys()) {
        return Fail(EXIT_USAGE, L"--hold waits for a key, so it needs a console window");
    }
    const std::wstring temp = TempFolder();
    const std::wstring logPath = temp + LOG_NAME;
    DWORD error = 0;
    if (temp.empty() || !CreateEmptyFile(logPath, &error)) {
        return Fail(EXIT_LOG, L"cannot write the call log " + logPath + L" (" + ErrorText(error) +
                                  L"); check the TEMP variable");
    }
    PROCESS_INFORMATION program = {};
    if (!StartProgram(folder, logPath, &program, &error)) {
        return Fail(EXIT_PROGRAM, L"cannot start " + folder + KIT_PROGRAM + L" (" + ErrorText(error) + L")");
    }
    Say(L"QuibTPCenter.exe runs with the simulated touchpad library. Watch its icon in the notification");
    Say(L"area (on Windows 11 it may first sit in the overflow: see EVALKIT.txt). The walk takes about a minute.");
    const WALKEND end = FollowWalk(program.hProcess, logPath, WALK_LIMIT_MS);
    const bool held = end == WALK_DONE && (!options.hold || HoldUntilKey(program.hProcess));
    if (!held) {
        const int code = Abandon(program, logPath);
        CloseHandle(program.hProcess);
        return code;
    }
    const int code = EndAndSummarise(program, logPath, temp);
    CloseHandle(program.hProcess);
    return code;
}

}  // namespace

int wmain(int argc, wchar_t** argv)
{
    TRIALOPTIONS options;
    bool usable = argc <= 2;
    if (argc == 2) {
        options.hold = wcscmp(argv[1], L"--hold") == 0;
        options.stopInstalled = wcscmp(argv[1], L"--stop-installed") == 0;
        usable = options.hold || options.stopInstalled;
    }
    const int code = usable ? Trial(options)
                            : Fail(EXIT_USAGE, L"usage: TryQuibTPCenter [--hold | --stop-installed]");
    PauseIfOwnConsole();
    return code;
}
