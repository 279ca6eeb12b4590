#include "evalkit/program_process.h"

#include "evalkit/kit_folder.h"
#include "evalkit/trial_stop.h"
#include "res/resource.h"

namespace {

// Holds the launched program for as long as the launcher lives; never closed by hand, so a
// launcher ended in any way, Task Manager included, takes the program with it.
HANDLE ProgramJob = nullptr;

// The job that ends the program when the launcher's last handle to it closes. Processes that
// the program starts (the maker's configurator, on a double-click) stay out of it.
HANDLE CreateProgramJob(DWORD* error)
{
    const HANDLE job = CreateJobObjectW(nullptr, nullptr);
    if (job == nullptr) {
        *error = GetLastError();
        return nullptr;
    }
    JOBOBJECT_EXTENDED_LIMIT_INFORMATION limits = {};
    limits.BasicLimitInformation.LimitFlags = JOB_OBJECT_LIMIT_KILL_ON_JOB_CLOSE | JOB_OBJECT_LIMIT_SILENT_BREAKAWAY_OK;
    if (!SetInformationJobObject(job, JobObjectExtendedLimitInformation, &limits, sizeof limits)) {
        *error = GetLastError();
        CloseHandle(job);
        return nullptr;
    }
    return job;
}

// In the job: the program, held suspended, runs not one instruction outside it.
void PutIntoJob(HANDLE process, DWORD* error)
{
    *error = 0;
    if (ProgramJob == nullptr) {
        ProgramJob = CreateProgramJob(error);
    }
    if (ProgramJob != nullptr && !AssignProcessToJobObject(ProgramJob, process)) {
        *error = GetLastError();
        CloseHandle(ProgramJob);
        ProgramJob = nullptr;
    }
    if (ProgramJob == nullptr && *error == 0) {
        *error = ERROR_GEN_FAILURE;
    }
}

std::wstring ImageOf(DWORD processId, DWORD* error)
{
    const HANDLE process = OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, processId);
    if (process == nullptr) {
        *error = GetLastError();
        return std::wstring();
    }
    std::wstring image(32768, L'\0');
    DWORD size = static_cast<DWORD>(image.size());
    const BOOL got = QueryFullProcessImageNameW(process, 0, &image[0], &size);
    *error = got ? 0 : GetLastError();
    CloseHandle(process);
    image.resize(got ? size : 0);
    return image;
}

// Volume and file index: the same file whatever path, short name or case names it.
bool FileIdentity(const wchar_t* path, BY_HANDLE_FILE_INFORMATION* identity)
{
    const HANDLE file = CreateFileW(path, 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                    OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        return false;
    }
    const BOOL got = GetFileInformationByHandle(file, identity);
    CloseHandle(file);
    return got != FALSE;
}

bool SameFile(const wchar_t* one, const wchar_t* other)
{
    BY_HANDLE_FILE_INFORMATION a = {};
    BY_HANDLE_FILE_INFORMATION b = {};
    return FileIdentity(one, &a) && FileIdentity(other, &b) && a.dwVolumeSerialNumber == b.dwVolumeSerialNumber &&
           a.nFileIndexHigh == b.nFileIndexHigh && a.nFileIndexLow == b.nFileIndexLow;
}

}  // namespace

COPYOWNER CopyOwner(HWND window, const std::wstring& folder, std::wstring* image, DWORD* error)
{
    DWORD processId = 0;
    GetWindowThreadProcessId(window, &processId);
    *image = ImageOf(processId, error);
    if (image->empty()) {
        *error = *error != 0 ? *error : ERROR_ACCESS_DENIED;
        return COPY_UNKNOWN;
    }
    const std::wstring kitProgram = folder + KIT_PROGRAM;
    if (CompareStringOrdinal(image->c_str(), -1, kitProgram.c_str(), -1, TRUE) == CSTR_EQUAL ||
        SameFile(image->c_str(), kitProgram.c_str())) {
        return COPY_THIS_KIT;
    }
    // The maker's software has no launcher beside its program; a kit always has.
    const std::wstring imageFolder = image->substr(0, image->find_last_of(L'\\') + 1);
    const DWORD attributes = GetFileAttributesW((imageFolder + KIT_LAUNCHER).c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0 ? COPY_OTHER_KIT
                                                                                                 : COPY_INSTALLED;
}

bool StartProgram(const std::wstring& folder, const std::wstring& logPath, PROCESS_INFORMATION* started, DWORD* error,
                  DWORD* jobError)
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
    // Suspended until it is in the job. Detached from the launcher's console, so that a Ctrl+C there reaches the
    // launcher alone (Wine would otherwise end the program with it), and the program ends by its exit command.
    if (!CreateProcessW(program.c_str(), &commandLine[0], nullptr, nullptr, FALSE, CREATE_SUSPENDED | DETACHED_PROCESS,
                        nullptr, folder.c_str(), &startup, started)) {
        *error = GetLastError();
        return false;
    }
    // Without a job (a system that refuses it) the trial still runs; the console handler
    // covers every end but a killed launcher.
    PutIntoJob(started->hProcess, jobError);
    // A stop that came while it was being made: it never runs an instruction.
    const bool stopped = TrialStopped();
    if (stopped) {
        TerminateProcess(started->hProcess, ERROR_CANCELLED);
        CloseHandle(started->hProcess);
        started->hProcess = nullptr;
        *error = ERROR_CANCELLED;
    } else {
        ResumeThread(started->hThread);
    }
    CloseHandle(started->hThread);
    started->hThread = nullptr;
    return !stopped;
}

bool EndProgram(const PROCESS_INFORMATION& program, DWORD limitMs)
{
    if (WaitForSingleObject(program.hProcess, 0) == WAIT_OBJECT_0 ||
        EndWithExitCommand(program.hProcess, program.dwProcessId, limitMs)) {
        return true;
    }
    TerminateProcess(program.hProcess, 1);
    WaitForSingleObject(program.hProcess, 5000);
    return false;
}

OTHERSTOP StopOtherCopy(HWND window, DWORD limitMs, DWORD* error)
{
    if (!PostMessageW(window, WM_COMMAND, IDM_EXIT, 0)) {
        *error = GetLastError();
        // A window that went meanwhile has ended; anything else is a refusal, such as the
        // system's for a copy that runs as administrator and takes no message from here.
        return IsWindow(window) ? OTHER_REFUSED : OTHER_ENDED;
    }
    const ULONGLONG deadline = GetTickCount64() + limitMs;
    while (IsWindow(window) && GetTickCount64() < deadline && !TrialStopped()) {
        Sleep(20);
    }
    return IsWindow(window) ? OTHER_STAYED : OTHER_ENDED;
}
