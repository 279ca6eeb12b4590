// The stand-in configurator: a dialog of class "#32770" titled "QUIB Touch Pad" that can
// be found, minimised and closed like the maker's, and that logs its start and close.
#include <gtest/gtest.h>

#include <windows.h>

#include <string>

#include "padsim/tests/sim_test_support.h"

namespace {

HWND FindConfigurator()
{
    return FindWindowW(L"#32770", L"QUIB Touch Pad");
}

TEST(StandInConfigurator, OpensFindableAndClosesOnWmClose)
{
    ASSERT_EQ(FindConfigurator(), nullptr) << "a configurator is already open";
    // A line already there must stay: the configurator appends, as every process does.
    const std::wstring logPath = TempFilePath(L"padsim-configurator.log");
    WriteTextFile(logPath, "t=0 tid=0 pid=0 event=before\n");
    SetEnvironmentVariableW(L"QUIBSIM_LOG", logPath.c_str());

    const std::wstring program = BesideTestProgram(L"QuibTPConfigure64.exe");
    std::wstring commandLine = L"\"" + program + L"\"";
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process{};
    ASSERT_TRUE(CreateProcessW(program.c_str(), &commandLine[0], nullptr, nullptr, FALSE, 0,
                               nullptr, nullptr, &startup, &process));

    // The dialog exists a moment before it is shown.
    HWND dialog = nullptr;
    WaitUntil(
        [&] {
            dialog = FindConfigurator();
            return dialog != nullptr && IsWindowVisible(dialog);
        },
        30000);
    ASSERT_NE(dialog, nullptr);
    DWORD owner = 0;
    GetWindowThreadProcessId(dialog, &owner);
    EXPECT_EQ(owner, process.dwProcessId);
    EXPECT_TRUE(IsWindowVisible(dialog));
    EXPECT_NE(GetWindowLongW(dialog, GWL_STYLE) & WS_MINIMIZEBOX, 0);

    ShowWindow(dialog, SW_MINIMIZE);
    EXPECT_TRUE(WaitUntil([&] { return IsIconic(dialog) != FALSE; }, 5000));
    ShowWindow(dialog, SW_RESTORE);
    EXPECT_TRUE(WaitUntil([&] { return IsIconic(dialog) == FALSE; }, 5000));

    PostMessageW(dialog, WM_CLOSE, 0, 0);
    ASSERT_EQ(WaitForSingleObject(process.hProcess, 30000), WAIT_OBJECT_0);
    DWORD exitCode = 1;
    GetExitCodeProcess(process.hProcess, &exitCode);
    EXPECT_EQ(exitCode, 0u);
    EXPECT_EQ(FindConfigurator(), nullptr);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);

    const std::string pid = std::to_string(process.dwProcessId);
    const std::vector<LOGLINE> lines = ReadLogLines(logPath);
    ASSERT_EQ(lines.size(), 3u);
    EXPECT_EQ(lines[0].at("event"), "before");
    EXPECT_EQ(lines[1].at("event"), "configurator-start");
    EXPECT_EQ(lines[1].at("pid"), pid);
    EXPECT_NE(lines[1].at("text").find("QuibTPConfigure64.exe"), std::string::npos);
    EXPECT_EQ(lines[2].at("event"), "configurator-close");
    EXPECT_EQ(lines[2].at("pid"), pid);
    if (!HasFailure()) {
        DeleteFileW(logPath.c_str());
    }
}

}  // namespace
