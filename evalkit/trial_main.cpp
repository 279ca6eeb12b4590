// TryQuibTPCenter: runs the real QuibTPCenter.exe on this PC with the simulated touchpad
// library of the evaluation kit, walks it through every picture its icon can show, ends it
// with its own exit command and prints a summary from the library's call log.
//
//   TryQuibTPCenter [--hold]          the trial; --hold keeps the program running on a quiet
//                                     pad after the walk until a key is pressed
//   TryQuibTPCenter --stop-installed  ends a copy that already runs on this desktop
//
// Everything runs from the kit's folder; the call log and the summary go to %TEMP%. Ctrl+C,
// Ctrl+Break or closing the window stops the trial and ends the program with its exit
// command, or keeps it from starting; a launcher ended any other way takes the program with
// it (a job object). The waits for a key end only on a key that answers, not on a modifier.
// Exit codes: 0 the trial ran and the program ended with 0; 1 the program failed, ended early
// or did not end; 2 a kit file is missing, a DLL not of the kit lies beside them (the program
// could load it), or walk.txt cannot be played; 3 a copy of the program from elsewhere, or
// another trial, already runs; 4 the call log cannot be written; 5 bad usage; 6 the trial was
// stopped; 7 the summary file cannot be written (the summary is on the console).
#include <windows.h>

#include <cwchar>
#include <string>
#include <vector>

#include "evalkit/call_summary.h"
#include "evalkit/console_text.h"
#include "evalkit/kit_folder.h"
#include "evalkit/program_process.h"
#include "evalkit/trial_stop.h"
#include "evalkit/walk_follow.h"
#include "padsim/log_tail.h"

namespace {

enum : int {
    EXIT_TRIED = 0,
    EXIT_PROGRAM = 1,
    EXIT_KIT = 2,
    EXIT_RUNNING = 3,
    EXIT_LOG = 4,
    EXIT_USAGE = 5,
    EXIT_STOPPED = 6,
    EXIT_SUMMARY = 7,
};

constexpr DWORD WALK_LIMIT_MS = 180000;  // the walk takes about 50 s
constexpr DWORD EXIT_LIMIT_MS = 15000;
constexpr DWORD STOP_LIMIT_MS = 3000;  // within the 5 s a closing console window leaves
const wchar_t LOG_NAME[] = L"QuibTPCenter-trial.log";
const wchar_t SUMMARY_NAME[] = L"QuibTPCenter-trial-summary.txt";
// One trial at a time in a session: a second launcher would take the first one's program
// for a leftover and end it.
const wchar_t TRIAL_MUTEX[] = L"Local\\QuibTPCenter-trial";
HANDLE TrialMutex = nullptr;  // never closed by hand: the system closes it however the launcher ends

enum TRIALCLAIM {
    TRIAL_OURS,           // no other trial runs (or the system keeps no record: go on)
    TRIAL_RUNS,           // another launcher runs a trial
    TRIAL_RUNS_ELEVATED,  // another launcher, run as administrator, runs a trial
};

struct TRIALOPTIONS {
    bool hold = false;
    bool stopInstalled = false;
};

// Decimal for the small codes of programs and the system's errors, hexadecimal for status codes.
std::wstring CodeText(DWORD code)
{
    wchar_t text[32] = {};
    if (swprintf(text, 32, code < 0x10000 ? L"%lu" : L"0x%08lX", code) < 0) {
        return std::wstring();
    }
    return text;
}

// "error 5: Access is denied", in the system's language, so the reason needs no look-up.
std::wstring ErrorText(DWORD code)
{
    std::wstring text = L"error " + CodeText(code);
    wchar_t* message = nullptr;
    const DWORD length = FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM |
                                            FORMAT_MESSAGE_IGNORE_INSERTS,
                                        nullptr, code, 0, reinterpret_cast<wchar_t*>(&message), 0, nullptr);
    if (length > 0 && message != nullptr) {
        std::wstring reason(message, length);
        while (!reason.empty() && (reason.back() == L'.' || iswspace(reason.back()))) {
            reason.pop_back();
        }
        if (!reason.empty()) {
            text += L": " + reason;
        }
    }
    LocalFree(message);
    return text;
}

std::wstring TempFolder(DWORD* error)
{
    wchar_t path[MAX_PATH + 1] = {};
    const DWORD length = GetTempPathW(MAX_PATH + 1, path);
    if (length == 0 || length > MAX_PATH) {
        *error = length == 0 ? GetLastError() : ERROR_FILENAME_EXCED_RANGE;
        return std::wstring();
    }
    return std::wstring(path, length);
}

// A command that runs the launcher from any folder: cmd takes a quoted path as it is,
// PowerShell (Windows 11's "Open in Terminal") needs & before it.
std::wstring LauncherCommand(const std::wstring& folder, const wchar_t* option)
{
    const std::wstring command = L"\"" + folder + KIT_LAUNCHER + L"\" " + option;
    return command + L" (in PowerShell: & " + command + L")";
}

// The mutex of a running trial. An elevated trial's mutex refuses this launcher's access.
TRIALCLAIM ClaimTrial()
{
    TrialMutex = CreateMutexW(nullptr, FALSE, TRIAL_MUTEX);
    const DWORD error = GetLastError();
    if (TrialMutex == nullptr) {
        return error == ERROR_ACCESS_DENIED ? TRIAL_RUNS_ELEVATED : TRIAL_OURS;
    }
    return error == ERROR_ALREADY_EXISTS ? TRIAL_RUNS : TRIAL_OURS;
}

int TrialAlreadyRuns(TRIALCLAIM claim, const wchar_t* andSo)
{
    return Fail(EXIT_RUNNING, std::wstring(L"another TryQuibTPCenter.exe") +
                                  (claim == TRIAL_RUNS_ELEVATED ? L", run as administrator," : L"") +
                                  L" is running a trial" + andSo +
                                  L"; let it end, or close its window, then run this again");
}

int StoppedBeforeStart()
{
    return Fail(EXIT_STOPPED, L"the trial was stopped before QuibTPCenter.exe started; nothing was started");
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

// The summary as UTF-8 with CRLF line ends; 0, or the system's error code.
DWORD WriteSummaryFile(const std::wstring& path, const std::vector<std::wstring>& lines)
{
    std::wstring text;
    for (const std::wstring& line : lines) {
        text += line + L"\r\n";
    }
    const int size = WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0, nullptr,
                                         nullptr);
    std::string bytes(size > 0 ? static_cast<size_t>(size) : 0, '\0');
    if (size > 0) {
        WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), &bytes[0], size, nullptr, nullptr);
    }
    const HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_ALWAYS,
                                    FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        return GetLastError();
    }
    DWORD written = 0;
    const bool whole = WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) &&
                       written == bytes.size();
    const DWORD error = whole ? 0 : GetLastError();
    CloseHandle(file);
    return whole ? 0 : (error != 0 ? error : ERROR_WRITE_FAULT);
}

int MissingFile(const std::wstring& folder, const wchar_t* missing)
{
    if (LooksInsideArchive(folder)) {
        return Fail(EXIT_KIT, std::wstring(L"this runs from inside the kit's archive (") + folder +
                                  L"), where the kit's other files are not; unpack the whole archive into a folder "
                                  L"of your own (in Explorer: right-click the zip file, \"Extract All...\") and run "
                                  L"TryQuibTPCenter.exe from there");
    }
    return Fail(EXIT_KIT, std::wstring(L"the kit's ") + missing + L" is missing from " + folder +
                              L"; unpack the whole archive again (if it goes missing again, antivirus software "
                              L"has probably removed it: see EVALKIT.txt)");
}

// A DLL beside the program that is not the kit's would run inside it, so the kit must have a
// folder of its own, not Downloads with whatever else came down.
int ForeignFile(const std::wstring& folder, const std::wstring& name, DWORD error)
{
    const std::wstring unpack = L"unpack the whole archive into a new, empty folder of its own (in Explorer: "
                                L"right-click the zip file, \"Extract All...\") and run TryQuibTPCenter.exe from there";
    if (error != 0) {
        return Fail(EXIT_KIT, L"cannot look through " + folder + L" for DLLs that are not the kit's (" +
                                  ErrorText(error) + L"); " + unpack);
    }
    return Fail(EXIT_KIT, L"the kit's folder " + folder + L" also holds " + name +
                              L", which is not the kit's: QuibTPCenter.exe could load it from there and run it; " +
                              unpack);
}

std::wstring WhoseCopy(COPYOWNER owner, const std::wstring& image)
{
    switch (owner) {
    case COPY_THIS_KIT:
    case COPY_OTHER_KIT:
        return L"The kit's QuibTPCenter.exe (" + image + L"), left running,";
    case COPY_INSTALLED:
        return L"The running QUIB Touch Pad Center (" + image + L")";
    case COPY_UNKNOWN:
        break;
    }
    return L"The running QUIB Touch Pad Center (whose copy could not be told)";
}

int StopInstalled(const std::wstring& folder)
{
    const TRIALCLAIM claim = ClaimTrial();
    if (claim != TRIAL_OURS) {
        return TrialAlreadyRuns(claim, L", and its QuibTPCenter.exe was left alone");
    }
    const HWND window = FindProgramWindow();
    if (window == nullptr) {
        Say(L"No copy of QUIB Touch Pad Center runs on this desktop.");
        return EXIT_TRIED;
    }
    std::wstring image;
    DWORD error = 0;
    const COPYOWNER owner = CopyOwner(window, folder, &image, &error);
    switch (StopOtherCopy(window, EXIT_LIMIT_MS, &error)) {
    case OTHER_ENDED:
        Say(WhoseCopy(owner, image) + L" has ended" +
            (owner == COPY_INSTALLED ? L"; it starts again at your next logon" : L"") +
            L". Now run TryQuibTPCenter.exe again.");
        return EXIT_TRIED;
    case OTHER_REFUSED:
        return Fail(EXIT_PROGRAM, L"the running QUIB Touch Pad Center does not take the exit command from here (" +
                                      ErrorText(error) +
                                      L"): it runs as administrator, so in a command prompt opened with \"Run as "
                                      L"administrator\" run " +
                                      LauncherCommand(folder, L"--stop-installed"));
    case OTHER_STAYED:
        break;
    }
    return Fail(EXIT_PROGRAM, L"the running QUIB Touch Pad Center did not end on its exit command; "
                              L"end QuibTPCenter.exe in Task Manager (Details tab)");
}

// A copy that runs before the trial: a kit's own (started alone, or left by a trial that
// could not end it) is ended and the trial goes on; the maker's is left alone, and so is one
// that cannot be inspected.
int EndLeftoverCopy(HWND window, const std::wstring& folder)
{
    std::wstring image;
    DWORD error = 0;
    const COPYOWNER owner = CopyOwner(window, folder, &image, &error);
    if (owner == COPY_INSTALLED) {
        return Fail(EXIT_RUNNING, L"QUIB Touch Pad Center (" + image +
                                      L") already runs on this desktop; for the trial, end it with " +
                                      LauncherCommand(folder, L"--stop-installed") +
                                      L"; it starts again at your next logon");
    }
    if (owner == COPY_UNKNOWN) {
        return Fail(EXIT_RUNNING, L"QUIB Touch Pad Center already runs on this desktop, and whose copy it is cannot be "
                                  L"told (" +
                                      ErrorText(error) +
                                      L"), most likely because it runs as administrator; end it in a command prompt "
                                      L"opened with \"Run as administrator\" with " +
                                      LauncherCommand(folder, L"--stop-installed") +
                                      L", or in Task Manager (Details tab), then run the trial again");
    }
    if (StopOtherCopy(window, EXIT_LIMIT_MS, &error) != OTHER_ENDED) {
        return TrialStopped() ? StoppedBeforeStart()
                              : Fail(EXIT_RUNNING, L"the kit's QuibTPCenter.exe (" + image +
                                                       L") already runs and did not end on its exit command; end it "
                                                       L"in Task Manager (Details tab), then run the trial again");
    }
    Say(L"The kit's QuibTPCenter.exe (" + image +
        L") was already running (started on its own); it has been ended for the trial.");
    return EXIT_TRIED;
}

// After the walk with --hold: the program stays on a quiet pad until a key is pressed.
bool HoldUntilKey(HANDLE process)
{
    ForgetTypedKeys();
    Say(L"");
    Say(L"The walk is over; the program keeps running on a quiet pad. Try padctl.exe from another");
    Say(L"command prompt or PowerShell in this folder, for example: .\\padctl.exe \"status 0 3 200\"");
    Say(L"(see EVALKIT.txt). Press Enter here to end the program; Ctrl+C ends it without a summary.");
    return WaitForKeyOr(process);
}

int EndAndSummarise(const PROCESS_INFORMATION& program, const std::wstring& logPath, const std::wstring& temp)
{
    if (!EndWithExitCommand(program.hProcess, program.dwProcessId, EXIT_LIMIT_MS)) {
        EndProgram(program, STOP_LIMIT_MS);
        return Fail(EXIT_PROGRAM, L"QuibTPCenter.exe did not end on its exit command; it was ended by force "
                                  L"(call log: " +
                                      logPath + L")");
    }
    DWORD exitCode = 0;
    GetExitCodeProcess(program.hProcess, &exitCode);
    std::vector<std::string> unreadable;
    const std::vector<LOGLINE> logLines = ReadLogFile(logPath, &unreadable);
    std::vector<std::wstring> lines = SummaryLines(logLines, unreadable, exitCode);
    lines.push_back(L"call log: " + logPath);
    const std::wstring summaryPath = temp + SUMMARY_NAME;
    const DWORD error = WriteSummaryFile(summaryPath, lines);
    Say(L"");
    Say(error == 0 ? L"Summary (also in " + summaryPath + L"):" : std::wstring(L"Summary:"));
    for (const std::wstring& line : lines) {
        Say(L"  " + line);
    }
    if (exitCode != 0) {
        return EXIT_PROGRAM;
    }
    if (error != 0) {
        return Fail(EXIT_SUMMARY, L"cannot write the summary to " + summaryPath + L" (" + ErrorText(error) +
                                      L"); copy it from this window instead");
    }
    return EXIT_TRIED;
}

// The person stopped the trial: the program ends by its exit command, so its icon goes and
// the library closes the log, all within the time a closing window leaves.
int StopTrial(const PROCESS_INFORMATION& program, const std::wstring& logPath)
{
    const bool clean = EndProgram(program, STOP_LIMIT_MS);
    return Fail(EXIT_STOPPED, std::wstring(L"the trial was stopped; QuibTPCenter.exe ") +
                                  (clean ? L"ended on its exit command" : L"was ended by force") + L" (call log: " +
                                  logPath + L")");
}

// The walk did not reach its end: one line, and nothing left running.
int Abandon(const PROCESS_INFORMATION& program, const std::wstring& logPath, WALKEND end, const std::wstring& problem)
{
    const bool ended = WaitForSingleObject(program.hProcess, 0) == WAIT_OBJECT_0;
    DWORD exitCode = 0;
    GetExitCodeProcess(program.hProcess, &exitCode);
    EndProgram(program, STOP_LIMIT_MS);
    if (end == WALK_UNREADABLE) {
        return Fail(EXIT_KIT, L"the simulated library cannot play walk.txt (" + problem +
                                  L"), so the program was ended; unpack walk.txt from the archive again");
    }
    const std::wstring what = ended ? L"QuibTPCenter.exe ended early (exit code " + CodeText(exitCode) + L")"
                                    : L"the walk did not end within three minutes, so the program was ended";
    return Fail(EXIT_PROGRAM, what + L"; call log: " + logPath);
}

int RunTrial(const TRIALOPTIONS& options, const std::wstring& folder)
{
    DWORD error = 0;
    const std::wstring temp = TempFolder(&error);
    if (temp.empty()) {
        return Fail(EXIT_LOG, L"cannot tell the temporary folder for the call log" +
                                  (error != 0 ? L" (" + ErrorText(error) + L")" : std::wstring()) +
                                  L"; check the TEMP variable");
    }
    const std::wstring logPath = temp + LOG_NAME;
    if (!CreateEmptyFile(logPath, &error)) {
        return Fail(EXIT_LOG,
                    L"cannot write the call log " + logPath + L" (" + ErrorText(error) + L"); check the TEMP variable");
    }
    // Set before anything is written while the program runs: see SetWalkInputMode.
    const unsigned long inputMode = SetWalkInputMode();
    PROCESS_INFORMATION program = {};
    DWORD jobError = 0;
    if (!StartProgram(folder, logPath, &program, &error, &jobError)) {
        RestoreInputMode(inputMode);
        return error == ERROR_CANCELLED
                   ? StoppedBeforeStart()
                   : Fail(EXIT_PROGRAM, L"cannot start " + folder + KIT_PROGRAM + L" (" + ErrorText(error) + L")");
    }
    if (jobError != 0) {
        Warn(L"QuibTPCenter.exe runs outside a job object (" + ErrorText(jobError) +
             L"), so if this launcher is ended by force, end QuibTPCenter.exe in Task Manager; the trial goes on");
    }
    Say(L"QuibTPCenter.exe runs with the simulated touchpad library. Watch its icon in the notification area");
    Say(L"(on Windows 10 and 11 a new icon may first sit in the overflow: see EVALKIT.txt). The walk takes");
    Say(L"about a minute; Ctrl+C or closing this window stops it.");
    std::wstring problem;
    WALKEND end = FollowWalk(program.hProcess, logPath, WALK_LIMIT_MS, &problem);
    // The summary and the padctl example can be selected and copied again.
    RestoreInputMode(inputMode);
    if (end == WALK_DONE && options.hold && !HoldUntilKey(program.hProcess)) {
        end = TrialStopped() ? WALK_STOPPED : WALK_PROGRAM_ENDED;
    }
    int code = EXIT_TRIED;
    if (end == WALK_DONE) {
        code = EndAndSummarise(program, logPath, temp);
    } else if (end == WALK_STOPPED) {
        code = StopTrial(program, logPath);
    } else {
        code = Abandon(program, logPath, end, problem);
    }
    CloseHandle(program.hProcess);
    return code;
}

int Trial(const TRIALOPTIONS& options)
{
    const std::wstring folder = KitFolder();
    if (folder.empty()) {
        return Fail(EXIT_KIT, L"cannot tell which folder the kit is in");
    }
    const wchar_t* missing = MissingKitFile(folder);
    if (missing != nullptr) {
        return MissingFile(folder, missing);
    }
    if (options.stopInstalled) {
        return StopInstalled(folder);
    }
    DWORD error = 0;
    const std::wstring foreign = ForeignLibrary(folder, &error);
    if (!foreign.empty() || error != 0) {
        return ForeignFile(folder, foreign, error);
    }
    if (options.hold && !HasConsoleKeys()) {
        return Fail(EXIT_USAGE, L"--hold waits for Enter, so it needs a console window");
    }
    const TRIALCLAIM claim = ClaimTrial();
    if (claim != TRIAL_OURS) {
        return TrialAlreadyRuns(claim, L"");
    }
    const HWND window = FindProgramWindow();
    if (window != nullptr) {
        const int code = EndLeftoverCopy(window, folder);
        if (code != EXIT_TRIED) {
            return code;
        }
    }
    return RunTrial(options, folder);
}

}  // namespace

int wmain(int argc, wchar_t** argv)
{
    CatchTrialStop();
    TRIALOPTIONS options;
    bool usable = argc <= 2;
    if (argc == 2) {
        options.hold = wcscmp(argv[1], L"--hold") == 0;
        options.stopInstalled = wcscmp(argv[1], L"--stop-installed") == 0;
        usable = options.hold || options.stopInstalled;
    }
    const int code = usable ? Trial(options) : Fail(EXIT_USAGE, L"usage: TryQuibTPCenter [--hold | --stop-installed]");
    PauseIfOwnConsole();
    TrialStopHandled();
    return code;
}
