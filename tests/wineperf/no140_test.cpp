// QuibTPCenter_no140.exe: the program built without the icon group 140 (three fingers at the
// firmest contact). Its resources lack that group alone, and with the simulated library it
// links, shows the reports that pick the missing icon and keeps running.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include "res/resource.h"
#include "tests/windows/program/program_process.h"
#include "tests/windows/support/debug_run.h"

namespace {

const wchar_t FULL_PROGRAM[] = L"QuibTPCenter.exe";
const wchar_t NO140_PROGRAM[] = L"QuibTPCenter_no140.exe";

// Every icon group that the icon set loads.
const WORD ICON_GROUPS[] = {IDI_APP,           IDI_TRAY_IDLE,      IDI_TRAY_FINGER1_0, IDI_TRAY_FINGER2_0,
                            IDI_TRAY_FINGER3_0, IDI_TRAY_FINGER4_0, IDI_TRAY_FINGER5_0, IDI_TRAY_FINGER1_1,
                            IDI_TRAY_FINGER1_2, IDI_TRAY_FINGER2_1, IDI_TRAY_FINGER2_2, IDI_TRAY_FINGER3_1,
                            IDI_TRAY_FINGER3_2, IDI_TRAY_FINGER4_1, IDI_TRAY_FINGER4_2, IDI_TRAY_FINGER5_1,
                            IDI_TRAY_FINGER5_2, IDI_TRAY_LEFT_BUTTON, IDI_TRAY_RIGHT_BUTTON, IDI_TRAY_DISABLED,
                            IDI_TRAY_UNLINKED};
static_assert(sizeof(ICON_GROUPS) / sizeof(ICON_GROUPS[0]) == 21, "the icon set has 21 slots");

// One executable opened for its resources only: its code never runs.
struct ResourceFile {
    explicit ResourceFile(const wchar_t* name)
        : module(LoadLibraryExW((ThisProgramFolder() + name).c_str(), nullptr,
                                LOAD_LIBRARY_AS_DATAFILE | LOAD_LIBRARY_AS_IMAGE_RESOURCE))
    {
    }
    ~ResourceFile()
    {
        if (module != nullptr) {
            FreeLibrary(module);
        }
    }
    ResourceFile(const ResourceFile&) = delete;
    ResourceFile& operator=(const ResourceFile&) = delete;

    HMODULE module;
};

bool HasIconGroup(HMODULE module, WORD id)
{
    return FindResourceW(module, MAKEINTRESOURCEW(id), RT_GROUP_ICON) != nullptr;
}

TEST(No140Resources, EveryIconGroupButTheOneLeftOutIsFound)
{
    ResourceFile full(FULL_PROGRAM);
    ResourceFile no140(NO140_PROGRAM);
    ASSERT_NE(full.module, nullptr);
    ASSERT_NE(no140.module, nullptr);
    for (WORD id : ICON_GROUPS) {
        SCOPED_TRACE(id);
        EXPECT_TRUE(HasIconGroup(full.module, id));
        EXPECT_EQ(HasIconGroup(no140.module, id), id != IDI_TRAY_FINGER3_2);
    }
}

// What the icon set does at start-up: a 16x16 private load of each group, from the module.
TEST(No140Resources, OnlyTheMissingGroupFailsToLoadAsAnIcon)
{
    ResourceFile no140(NO140_PROGRAM);
    ASSERT_NE(no140.module, nullptr);
    for (WORD id : ICON_GROUPS) {
        SCOPED_TRACE(id);
        HANDLE icon = LoadImageW(no140.module, MAKEINTRESOURCEW(id), IMAGE_ICON, 16, 16, LR_DEFAULTCOLOR);
        EXPECT_EQ(icon != nullptr, id != IDI_TRAY_FINGER3_2);
        if (icon != nullptr) {
            DestroyIcon(static_cast<HICON>(icon));
        }
    }
}

class No140Program : public ::testing::Test {
protected:
    void SetUp() override
    {
        log = UseFreshSimulatorLog(L"quib-no140-test.log");
        SetEnvironmentVariableW(L"QUIBSIM_PIPE", L"QuibNo140Test");
    }

    void TearDown() override
    {
        EndProgram(program);
        SetEnvironmentVariableW(L"QUIBSIM_SCENARIO", nullptr);
        SetEnvironmentVariableW(L"QUIBSIM_PIPE", nullptr);
        if (!scenario.empty()) {
            DeleteFileW(scenario.c_str());
        }
    }

    void UseScenario(const char* text)
    {
        wchar_t folder[MAX_PATH];
        GetTempPathW(MAX_PATH, folder);
        scenario = std::wstring(folder) + L"quib-no140-test.scenario";
        FILE* file = _wfopen(scenario.c_str(), L"wb");
        ASSERT_NE(file, nullptr);
        fputs(text, file);
        fclose(file);
        SetEnvironmentVariableW(L"QUIBSIM_SCENARIO", scenario.c_str());
    }

    std::wstring log;
    std::wstring scenario;
    ProgramProcess program;
};

// Poll ticks logged after the mark: the window thread's work after it.
size_t PollsAfter(const std::vector<LOGLINE>& lines, const std::string& mark)
{
    const auto marker = std::find_if(lines.begin(), lines.end(), [&](const LOGLINE& line) {
        return LineHas(line, {{"event", "mark"}, {"text", mark}});
    });
    return LinesWith(std::vector<LOGLINE>(marker, lines.end()), {{"call", "TpIsDisabled"}}).size();
}

TEST_F(No140Program, LinksShowsTheMissingIconAndRunsOn)
{
    // Every report changes the status, so each is drawn; the firm three-finger ones pick the
    // slot whose icon is missing, the others pick loaded icons on either side of them.
    UseScenario("wait 300\n"
                "status 0 3 0\n"
                "wait 100\n"
                "mark three fingers, firmest\n"
                "status 0 3 4\n"
                "wait 300\n"
                "status 0 2 4\n"
                "wait 100\n"
                "status 0 3 200\n"
                "wait 300\n"
                "status 0x01 3 4\n"
                "wait 100\n"
                "status 0x02 3 4\n"
                "wait 100\n"
                "status 0 0 0\n"
                "wait 300\n"
                "mark done\n");
    program = StartProgram(L"", SW_SHOWNORMAL, NO140_PROGRAM);
    ASSERT_NE(program.process, nullptr);
    HWND window = WaitForProgramWindow(program);
    ASSERT_NE(window, nullptr);

    std::vector<LOGLINE> lines = WaitForLogLine(log, {{"event", "mark"}, {"text", "done"}}, 20000);
    ASSERT_EQ(LinesWith(lines, {{"event", "mark"}, {"text", "done"}}).size(), 1u)
        << "the scenario did not play to its end";
    const std::vector<LOGLINE> connects = LinesWith(lines, {{"call", "TpConnect"}});
    ASSERT_EQ(connects.size(), 1u);
    EXPECT_EQ(LogItem(connects[0], "ret"), "1");
    EXPECT_EQ(LinesWith(lines, {{"event", "deliver"}}).size(), 7u);

    // The window thread goes on polling after the missing icon was drawn; wait for the
    // poll to be seen well past the last report.
    const ULONGLONG deadline = GetTickCount64() + 20000;
    while (PollsAfter(lines, "done") < 20 && GetTickCount64() < deadline) {
        Sleep(50);
        lines = ReadLogLines(log);
    }
    EXPECT_GE(PollsAfter(lines, "three fingers, firmest"), 20u);
    EXPECT_GE(PollsAfter(lines, "done"), 20u);
    EXPECT_EQ(LinesWith(lines, {{"event", "error"}}).size(), 0u);
    ASSERT_EQ(WaitForSingleObject(program.process, 0), static_cast<DWORD>(WAIT_TIMEOUT)) << "the program ended";

    ASSERT_TRUE(PostMessageW(window, WM_COMMAND, IDM_EXIT, 0));
    EXPECT_EQ(WaitForExit(program), 0u);
    EXPECT_EQ(CountInLog(log, {{"call", "TpDisconnect"}}), 1u);
}

}  // namespace
