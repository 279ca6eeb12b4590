// The control pipe: padctl.exe, run as a separate process, changes the simulated pad's
// state and sends it reports while this program holds the link.
#include <gtest/gtest.h>

#include <windows.h>

#include <atomic>
#include <string>

#include "link/touchpad_api.h"
#include "padsim/tests/sim_test_support.h"

namespace {

std::atomic<int> StatusReports{0};
std::atomic<int> LastFingers{-1};

int32_t CountingCallback(const TouchReport* report)
{
    const uint8_t* bytes = reinterpret_cast<const uint8_t*>(report);
    if (bytes != nullptr && bytes[0] == 0x03 && bytes[1] == 0x01) {
        LastFingers.store(bytes[13]);
        StatusReports.fetch_add(1);
    }
    return 0;
}

class ControlPipe : public ::testing::Test {
protected:
    static std::wstring LogPath;
    static std::wstring PipeName;
    static int32_t FirstConnect;

    static void SetUpTestSuite()
    {
        LogPath = TempFilePath(L"padsim-pipe.log");
        PipeName = UniqueName(L"QuibPadSimPipeTest");
        SetEnvironmentVariableW(L"QUIBSIM_LOG", LogPath.c_str());
        SetEnvironmentVariableW(L"QUIBSIM_PIPE", PipeName.c_str());
        // A scenario that cannot be read leaves the pad quiet.
        SetEnvironmentVariableW(L"QUIBSIM_SCENARIO", L"C:\\no\\such\\scenario.txt");
        FirstConnect = TpConnect(GetModuleHandleW(nullptr), CountingCallback);
    }

    static void TearDownTestSuite()
    {
        if (::testing::UnitTest::GetInstance()->current_test_suite()->Passed()) {
            DeleteFileW(LogPath.c_str());
        }
    }

    // padctl finds the pipe through QUIBSIM_PIPE, which it inherits.
    static int Padctl(const std::wstring& arguments, const std::wstring& input = std::wstring())
    {
        return RunProgram(BesideTestProgram(L"padctl.exe"), arguments, input);
    }
};

std::wstring ControlPipe::LogPath;
std::wstring ControlPipe::PipeName;
int32_t ControlPipe::FirstConnect = 0;

TEST_F(ControlPipe, AnUnreadableScenarioLeavesAQuietPad)
{
    EXPECT_EQ(FirstConnect, 1);
    const LOGLINE wanted = {{"event", "error"}, {"source", "scenario"}, {"line", "0"}};
    const auto errors = LinesWith(WaitForLogLine(LogPath, wanted), wanted);
    ASSERT_EQ(errors.size(), 1u);
    EXPECT_EQ(errors[0].at("text").rfind("cannot read C:\\no\\such\\scenario.txt (error ", 0), 0u);
}

TEST_F(ControlPipe, StateCommandsHoldWhenPadctlReturns)
{
    ASSERT_EQ(Padctl(L"traymode 0"), 0);
    EXPECT_EQ(TpGetTrayMode(), 0);
    ASSERT_EQ(Padctl(L"traymode 0xFFFFFFFF ; disabled 1 ; checkbuttons 3"), 0);
    EXPECT_EQ(TpGetTrayMode(), -1);
    EXPECT_EQ(TpIsDisabled(), 1);
    EXPECT_EQ(TpCheckButtonFlags(1), 3);
    ASSERT_EQ(Padctl(L"\"traymode 1; disabled 0\""), 0);
    EXPECT_EQ(TpGetTrayMode(), 1);
    EXPECT_EQ(TpIsDisabled(), 0);
}

TEST_F(ControlPipe, RefusalsSentOverThePipeApplyToTheNextConnects)
{
    ASSERT_EQ(Padctl(L"refuse 1 2"), 0);
    EXPECT_EQ(TpConnect(GetModuleHandleW(nullptr), CountingCallback), 2);
    EXPECT_EQ(TpConnect(GetModuleHandleW(nullptr), CountingCallback), 1);
}

TEST_F(ControlPipe, ReportsReachTheCallback)
{
    const int before = StatusReports.load();
    ASSERT_EQ(Padctl(L"status 0 2 4"), 0);
    EXPECT_TRUE(WaitUntil([&] { return StatusReports.load() == before + 1; }));
    EXPECT_EQ(LastFingers.load(), 2);
}

TEST_F(ControlPipe, ScriptsComeFromStandardInputToo)
{
    const std::wstring input = TempFilePath(L"padsim-stdin.txt");
    WriteTextFile(input, "repeat 3\n  status 0 5 0\nend\nmark from stdin\n");
    const int before = StatusReports.load();
    ASSERT_EQ(Padctl(L"-", input), 0);
    DeleteFileW(input.c_str());
    WaitForLogLine(LogPath, {{"event", "mark"}, {"text", "from stdin"}});
    EXPECT_EQ(StatusReports.load(), before + 3);
    EXPECT_EQ(LastFingers.load(), 5);
}

TEST_F(ControlPipe, BadLinesAreRefusedAndTheRestTaken)
{
    ASSERT_EQ(Padctl(L"traymode 1"), 0);
    EXPECT_EQ(Padctl(L"traymode 2 ; bogus ; disabled 5"), 1);
    EXPECT_EQ(TpGetTrayMode(), 2);
    EXPECT_EQ(TpIsDisabled(), 5);
    const LOGLINE wanted = {{"event", "error"}, {"source", "pipe"}, {"line", "2"}};
    const auto errors = LinesWith(WaitForLogLine(LogPath, wanted), wanted);
    ASSERT_EQ(errors.size(), 1u);
    EXPECT_EQ(errors[0].at("text"), "unknown command 'bogus'");
    Padctl(L"traymode 1 ; disabled 0");
}

TEST_F(ControlPipe, ClearStopsALongScript)
{
    const int before = StatusReports.load();
    ASSERT_EQ(Padctl(L"wait 600000 ; status 0 4 0"), 0);
    ASSERT_EQ(Padctl(L"clear"), 0);
    ASSERT_EQ(Padctl(L"status 0 3 0"), 0);
    EXPECT_TRUE(WaitUntil([&] { return StatusReports.load() == before + 1; }));
    EXPECT_EQ(LastFingers.load(), 3);
    const auto lines = WaitForLogLine(LogPath, {{"event", "clear"}});
    EXPECT_EQ(LinesWith(lines, {{"event", "clear"}, {"dropped", "1"}}).size(), 1u);
}

TEST_F(ControlPipe, PadctlExitCodesTellWhatWentWrong)
{
    const struct {
        const wchar_t* arguments;
        int exitCode;
    } cases[] = {
        {L"--pipe NoSuchQuibPadSimPipe --wait 0 traymode 1", 2},
        {L"--wait never traymode 1", 3},
        {L"--colour red traymode 1", 3},
        {L"--pipe", 3},
    };
    for (const auto& row : cases) {
        EXPECT_EQ(Padctl(row.arguments), row.exitCode) << Narrow(row.arguments);
    }
}

// A message longer than the pipe takes is refused whole; the pipe serves the next client.
TEST_F(ControlPipe, OverlongMessagesAreRefused)
{
    const std::wstring fullName = L"\\\\.\\pipe\\" + PipeName;
    std::string message(70000, '#');
    char reply[256] = {};
    DWORD replySize = 0;
    ASSERT_TRUE(CallNamedPipeW(fullName.c_str(), &message[0], static_cast<DWORD>(message.size()),
                               reply, sizeof reply - 1, &replySize, 5000));
    EXPECT_EQ(std::string(reply, 4), "ERR\n");
    EXPECT_EQ(Padctl(L"traymode 1"), 0);
}

}  // namespace
