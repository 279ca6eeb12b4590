// Start-up and exit of the real program, as a separate process with the simulated library.
#include <gtest/gtest.h>
#include <windows.h>
#include <shellapi.h>

#include <deque>
#include <mutex>
#include <string>
#include <utility>
#include <vector>

#include "res/resource.h"
#include "tests/windows/program/program_process.h"
#include "tests/windows/support/debug_run.h"

namespace {

class StartupTest : public ::testing::Test {
protected:
    void SetUp() override { log = UseFreshSimulatorLog(L"quib-startup-test.log"); }

    void TearDown() override
    {
        for (ProgramProcess& program : programs) {
            EndProgram(program);
        }
    }

    ProgramProcess& Start(const std::wstring& arguments = L"", WORD show = SW_SHOWNORMAL)
    {
        programs.push_back(StartProgram(arguments, show));
        return programs.back();
    }

    std::wstring log;
    std::deque<ProgramProcess> programs;  // references stay valid as starts are added
};

TEST_F(StartupTest, RunsHiddenAndEndsWithExitCommand)
{
    // Arguments and the show command change nothing: the window is never shown.
    ProgramProcess& program = Start(L"/show --maximize extra", SW_SHOWMAXIMIZED);
    ASSERT_NE(program.process, nullptr);
    HWND window = WaitForProgramWindow(program);
    ASSERT_NE(window, nullptr);
    Sleep(300);
    EXPECT_FALSE(IsWindowVisible(window));

    ASSERT_TRUE(PostMessageW(window, WM_COMMAND, IDM_EXIT, 0));
    EXPECT_EQ(WaitForExit(program), 0u);
    Sleep(100);
    EXPECT_EQ(CountInLog(log, {{"call", "TpDisconnect"}}), 1u);
}

TEST_F(StartupTest, ExitCommandFromAnAcceleratorSourceEndsItToo)
{
    ProgramProcess& program = Start();
    HWND window = WaitForProgramWindow(program);
    ASSERT_NE(window, nullptr);
    ASSERT_TRUE(PostMessageW(window, WM_COMMAND, MAKEWPARAM(IDM_EXIT, 1), 0));
    EXPECT_EQ(WaitForExit(program), 0u);
}

TEST_F(StartupTest, CloseEndsItWithoutTellingTheLibrary)
{
    ProgramProcess& program = Start();
    HWND window = WaitForProgramWindow(program);
    ASSERT_NE(window, nullptr);
    ASSERT_TRUE(PostMessageW(window, WM_CLOSE, 0, 0));
    EXPECT_EQ(WaitForExit(program), 0u);
    Sleep(100);
    EXPECT_EQ(CountInLog(log, {{"call", "TpDisconnect"}}), 0u);
}

TEST_F(StartupTest, QuitMessageToItsThreadEndsItWithItsCode)
{
    ProgramProcess& program = Start();
    HWND window = WaitForProgramWindow(program);
    ASSERT_NE(window, nullptr);
    const DWORD thread = GetWindowThreadProcessId(window, nullptr);
    ASSERT_TRUE(PostThreadMessageW(thread, WM_QUIT, 7, 0));
    EXPECT_EQ(WaitForExit(program), 7u);
    Sleep(100);
    EXPECT_EQ(CountInLog(log, {{"call", "TpDisconnect"}}), 0u);
}

TEST_F(StartupTest, SecondStartEndsAtOnceAndLeavesTheFirstAlone)
{
    ProgramProcess& first = Start();
    HWND window = WaitForProgramWindow(first);
    ASSERT_NE(window, nullptr);

    ProgramProcess& second = Start();
    EXPECT_EQ(WaitForExit(second), 0u);
    EXPECT_EQ(WaitForSingleObject(first.process, 0), static_cast<DWORD>(WAIT_TIMEOUT));
    EXPECT_EQ(ProgramWindows(), std::vector<HWND>{window});

    PostMessageW(window, WM_COMMAND, IDM_EXIT, 0);
    EXPECT_EQ(WaitForExit(first), 0u);
}

TEST_F(StartupTest, AnyWindowWithItsTitleBlocksTheStart)
{
    HWND impostor = CreateWindowExW(0, L"STATIC", L"QUIB TOUCH PAD CENTER", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr,
                                    GetModuleHandleW(nullptr), nullptr);
    ASSERT_NE(impostor, nullptr);
    ASSERT_FALSE(IsWindowVisible(impostor));

    ProgramProcess& program = Start();
    EXPECT_EQ(WaitForExit(program), 0u);
    EXPECT_TRUE(ProgramWindows().empty());
    DestroyWindow(impostor);
    // Nothing else was done: no library call at all.
    EXPECT_EQ(CallsInLog(log), 0u);
}

TEST_F(StartupTest, SimultaneousStartsLeaveOneCopy)
{
    for (int copy = 0; copy < 3; ++copy) {
        Start();
    }
    HWND window = nullptr;
    for (const ProgramProcess& program : programs) {
        if (window == nullptr) {
            window = WaitForProgramWindow(program, 3000);
        }
    }
    ASSERT_NE(window, nullptr);
    Sleep(1000);

    int running = 0;
    for (const ProgramProcess& program : programs) {
        if (WaitForSingleObject(program.process, 0) == WAIT_TIMEOUT) {
            ++running;
        } else {
            EXPECT_EQ(WaitForExit(program, 0), 0u);
        }
    }
    EXPECT_EQ(running, 1);
    EXPECT_EQ(ProgramWindows().size(), 1u);
    PostMessageW(window, WM_COMMAND, IDM_EXIT, 0);
}

// The lock alone, and not a matter of luck: while the desktop's lock is held and no window
// exists yet, as for the later of two copies started at once, a start ends at once.
TEST_F(StartupTest, HeldDesktopLockEndsTheStart)
{
    wchar_t station[100] = {};
    wchar_t desktop[100] = {};
    GetUserObjectInformationW(GetProcessWindowStation(), UOI_NAME, station, sizeof station, nullptr);
    GetUserObjectInformationW(GetThreadDesktop(GetCurrentThreadId()), UOI_NAME, desktop, sizeof desktop, nullptr);
    const std::wstring name = std::wstring(L"Local\\QuibTouchPadCenter.Instance.") + station + L"." + desktop;
    HANDLE lock = CreateMutexW(nullptr, FALSE, name.c_str());
    ASSERT_NE(lock, nullptr);

    ProgramProcess& program = Start();
    EXPECT_EQ(WaitForExit(program), 0u);
    CloseHandle(lock);
    EXPECT_EQ(CallsInLog(log), 0u);
}

bool WaitForLink(const std::wstring& log, DWORD processId)
{
    const ULONGLONG deadline = GetTickCount64() + 8000;
    while (CountInLog(log, {{"pid", std::to_string(processId)}, {"call", "TpConnect"}, {"ret", "1"}}) == 0) {
        if (GetTickCount64() > deadline) {
            return false;
        }
        Sleep(50);
    }
    return true;
}

// The title test sees one desktop, and so does the lock beside it: a copy on another desktop
// of the same session runs and links, and a second copy there still ends at once. A desktop
// whose name is too long for the lock's name gets no lock: the title test alone decides.
TEST_F(StartupTest, EachDesktopRunsItsOwnCopy)
{
    ProgramProcess& here = Start();
    ASSERT_NE(WaitForProgramWindow(here), nullptr);
    for (const std::wstring& name : {std::wstring(L"QuibStartupOther"), std::wstring(150, L'Q')}) {
        SCOPED_TRACE(name.size());
        HDESK other = CreateDesktopW(name.c_str(), nullptr, nullptr, 0, GENERIC_ALL, nullptr);
        ASSERT_NE(other, nullptr);
        programs.push_back(StartProgram(L"", SW_SHOWNORMAL, L"QuibTPCenter.exe", name.c_str()));
        ProgramProcess& there = programs.back();
        ASSERT_NE(there.process, nullptr);
        EXPECT_TRUE(WaitForLink(log, there.processId)) << "the copy on the other desktop did not link";

        programs.push_back(StartProgram(L"", SW_SHOWNORMAL, L"QuibTPCenter.exe", name.c_str()));
        EXPECT_EQ(WaitForExit(programs.back()), 0u);
        EXPECT_EQ(WaitForSingleObject(there.process, 0), static_cast<DWORD>(WAIT_TIMEOUT));
        EXPECT_EQ(CountInLog(log, {{"pid", std::to_string(programs.back().processId)}}), 0u);
        EndProgram(there);
        CloseDesktop(other);
    }
    EXPECT_TRUE(WaitForLink(log, here.processId));
}

// What an installer does: post IDM_EXIT, wait only until the window is gone, start the new
// copy at once. The library's slow detach keeps the old process alive through the start.
TEST_F(StartupTest, RestartTheMomentTheWindowIsGoneRuns)
{
    SetEnvironmentVariableW(L"QUIBSIM_DETACH_DELAY_MS", L"400");
    ProgramProcess& old = Start();
    SetEnvironmentVariableW(L"QUIBSIM_DETACH_DELAY_MS", nullptr);
    HWND window = WaitForProgramWindow(old);
    ASSERT_NE(window, nullptr);
    ASSERT_TRUE(WaitForLink(log, old.processId));

    ASSERT_TRUE(PostMessageW(window, WM_COMMAND, IDM_EXIT, 0));
    const ULONGLONG deadline = GetTickCount64() + 5000;
    while (FindProgramWindow() != nullptr && GetTickCount64() < deadline) {
        Sleep(1);
    }
    ProgramProcess& next = Start();
    ASSERT_EQ(WaitForSingleObject(old.process, 0), static_cast<DWORD>(WAIT_TIMEOUT))
        << "the old process ended before the new start: no gap was tested";

    EXPECT_NE(WaitForProgramWindow(next), nullptr);
    EXPECT_TRUE(WaitForLink(log, next.processId));
    EXPECT_EQ(WaitForExit(old), 0u);
}

TEST_F(StartupTest, FirstLinkAttemptComesAfterTheLinkPeriod)
{
    SetEnvironmentVariableW(L"QUIBSIM_SCENARIO", nullptr);
    const ULONGLONG started = GetTickCount64();
    ProgramProcess& program = Start();
    HWND window = WaitForProgramWindow(program);
    ASSERT_NE(window, nullptr);
    ULONGLONG firstConnect = 0;
    while (GetTickCount64() - started < 8000) {
        if (CountInLog(log, {{"call", "TpConnect"}}) > 0) {
            firstConnect = GetTickCount64();
            break;
        }
        Sleep(20);
    }
    ASSERT_NE(firstConnect, 0u) << "the link was never tried";
    // Not at once: the first tick of the link timer comes a whole period after start-up.
    EXPECT_GE(firstConnect - started, 1400u);
    PostMessageW(window, WM_COMMAND, IDM_EXIT, 0);
    EXPECT_EQ(WaitForExit(program), 0u);
}

// The program writes the configurator's path to the debugger once, at start-up.
TEST_F(StartupTest, WritesTheConfiguratorPathToTheDebugger)
{
    HKEY key;
    ASSERT_EQ(RegCreateKeyExW(HKEY_LOCAL_MACHINE, L"SOFTWARE\\QUIB\\QUIB Touch Pad", 0, nullptr, 0, KEY_ALL_ACCESS,
                              nullptr, &key, nullptr),
              ERROR_SUCCESS);
    const wchar_t dir[] = L"C:\\Program Files\\QUIB\\";
    RegSetValueExW(key, L"InstalledDir", 0, REG_SZ, reinterpret_cast<const BYTE*>(dir), sizeof dir);
    RegCloseKey(key);

    const DebugRun run = RunUnderDebugger(L"\"" + ThisProgramFolder() + L"QuibTPCenter.exe\"", 15000, [] {
        PostMessageW(FindProgramWindow(), WM_COMMAND, IDM_EXIT, 0);
    });
    RegDeleteKeyW(HKEY_LOCAL_MACHINE, L"SOFTWARE\\QUIB\\QUIB Touch Pad");

    ASSERT_TRUE(run.ended);
    EXPECT_EQ(run.exitCode, 0u);
    EXPECT_EQ(run.lines, std::vector<std::wstring>{L"C:\\Program Files\\QUIB\\DuVOViraro\\x64\\QuibTPConfigure64.exe"});
}

// ---- A taskbar too busy to answer at logon ----

// A stand-in taskbar on a desktop of the test's own: Shell_NotifyIconW finds it before the
// hidden one that Wine gives every desktop and sends it each request as WM_COPYDATA, with the
// NIM_ code in dwData. For BUSY_MS after the first request it answers FALSE, as a taskbar that
// does not answer in time does, and never sends "TaskbarCreated"; then it takes every request.
struct BusyTaskbar {
    static constexpr ULONGLONG BUSY_MS = 1500;
    std::mutex lock;
    ULONGLONG firstRequest = 0;
    std::vector<std::pair<ULONGLONG, DWORD>> taken;  // time and NIM_ code of each request it took
};
BusyTaskbar Taskbar;

LRESULT CALLBACK BusyTaskbarProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message != WM_COPYDATA) {
        return DefWindowProcW(window, message, wParam, lParam);
    }
    const ULONGLONG now = GetTickCount64();
    std::lock_guard<std::mutex> hold(Taskbar.lock);
    Taskbar.firstRequest = Taskbar.firstRequest != 0 ? Taskbar.firstRequest : now;
    if (now - Taskbar.firstRequest < BusyTaskbar::BUSY_MS) {
        return FALSE;
    }
    Taskbar.taken.emplace_back(now, static_cast<DWORD>(reinterpret_cast<const COPYDATASTRUCT*>(lParam)->dwData));
    return TRUE;
}

DWORD WINAPI RunBusyTaskbar(void* desktop)
{
    SetThreadDesktop(static_cast<HDESK>(desktop));
    WNDCLASSW windowClass = {};
    windowClass.lpfnWndProc = BusyTaskbarProc;
    windowClass.hInstance = GetModuleHandleW(nullptr);
    windowClass.lpszClassName = L"Shell_TrayWnd";
    RegisterClassW(&windowClass);
    CreateWindowExW(0, L"Shell_TrayWnd", L"", WS_POPUP, 0, 0, 0, 0, nullptr, nullptr, windowClass.hInstance, nullptr);
    MSG message;
    while (GetMessageW(&message, nullptr, 0, 0) > 0) {
        DispatchMessageW(&message);
    }
    return 0;
}

// The link's add is refused and no "TaskbarCreated" follows: the icon must come all the same,
// soon after the taskbar answers, and a later report's picture change after it.
TEST_F(StartupTest, IconComesOnceABusyTaskbarAnswers)
{
    HDESK desktop = CreateDesktopW(L"QuibBusyTaskbar", nullptr, nullptr, 0, GENERIC_ALL, nullptr);
    ASSERT_NE(desktop, nullptr);
    DWORD taskbarThread = 0;
    HANDLE thread = CreateThread(nullptr, 0, RunBusyTaskbar, desktop, 0, &taskbarThread);
    Sleep(500);
    wchar_t scenario[MAX_PATH];
    GetTempPathW(MAX_PATH, scenario);
    wcscat(scenario, L"quib-busy-taskbar.txt");
    FILE* file = _wfopen(scenario, L"wb");
    ASSERT_NE(file, nullptr);
    fputs("wait 6000\nstatus 0 2 4\n", file);  // from the link on
    fclose(file);
    SetEnvironmentVariableW(L"QUIBSIM_SCENARIO", scenario);
    programs.push_back(StartProgram(L"", SW_SHOWNORMAL, L"QuibTPCenter.exe", L"QuibBusyTaskbar"));
    SetEnvironmentVariableW(L"QUIBSIM_SCENARIO", nullptr);

    std::vector<std::pair<ULONGLONG, DWORD>> taken;
    ULONGLONG firstRequest = 0;
    for (const ULONGLONG deadline = GetTickCount64() + 15000; GetTickCount64() < deadline; Sleep(100)) {
        std::lock_guard<std::mutex> hold(Taskbar.lock);
        taken = Taskbar.taken;
        firstRequest = Taskbar.firstRequest;
        if (!taken.empty() && taken.back().second == NIM_MODIFY && taken.front().second == NIM_ADD) {
            break;
        }
    }
    PostThreadMessageW(taskbarThread, WM_QUIT, 0, 0);
    WaitForSingleObject(thread, 5000);
    CloseHandle(thread);
    EndProgram(programs.back());
    CloseDesktop(desktop);

    ASSERT_NE(firstRequest, 0u) << "the program never asked the stand-in taskbar";
    ASSERT_FALSE(taken.empty()) << "nothing arrived once the taskbar answered";
    EXPECT_EQ(taken.front().second, static_cast<DWORD>(NIM_ADD)) << "the icon was never added again";
    EXPECT_LE(taken.front().first - (firstRequest + BusyTaskbar::BUSY_MS), 2500u);
    EXPECT_EQ(taken.back().second, static_cast<DWORD>(NIM_MODIFY)) << "no picture change after the add";
}

}  // namespace
