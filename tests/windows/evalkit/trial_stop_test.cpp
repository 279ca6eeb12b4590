// The kit launcher's stop path with the real QuibTPCenter.exe and the simulated library: the
// console's handler is called as the console calls it, on a thread of its own, while the main
// path follows the walk and ends the program by its exit command. Wine's console never sends
// CTRL_CLOSE_EVENT, nor delivers Ctrl+Break, so this is where those branches run.
#include <gtest/gtest.h>
#include <windows.h>

#include <string>
#include <vector>

#include "evalkit/call_summary.h"
#include "evalkit/kit_folder.h"
#include "evalkit/program_process.h"
#include "evalkit/trial_stop.h"
#include "evalkit/walk_follow.h"

namespace {

constexpr DWORD CLOSE_ALLOWED_MS = 5000;  // what Windows gives a closing console's processes
constexpr DWORD STOP_LIMIT_MS = 3000;     // the launcher's own limit for the exit command

struct HANDLERCALL {
    DWORD type = 0;
    HANDLE program = nullptr;
    BOOL result = FALSE;
    ULONGLONG tookMs = 0;
    bool programEndedFirst = false;
};

DWORD WINAPI CallHandler(void* parameter)
{
    HANDLERCALL* call = static_cast<HANDLERCALL*>(parameter);
    const ULONGLONG start = GetTickCount64();
    call->result = TrialControlHandler(call->type);
    call->tookMs = GetTickCount64() - start;
    call->programEndedFirst = WaitForSingleObject(call->program, 0) == WAIT_OBJECT_0;
    return 0;
}

class TrialStopTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        CatchTrialStop();
        wchar_t temp[MAX_PATH + 1] = {};
        log = std::wstring(temp, GetTempPathW(MAX_PATH + 1, temp)) + L"quib-trial-stop-test.log";
        DeleteFileW(log.c_str());  // the walk is followed from a log of its own
        DWORD error = 0;
        DWORD jobError = 0;
        ASSERT_TRUE(StartProgram(KitFolder(), log, &program, &error, &jobError)) << error;
        const ULONGLONG deadline = GetTickCount64() + 10000;
        while (FindProgramWindow() == nullptr && GetTickCount64() < deadline) {
            Sleep(20);
        }
        ASSERT_NE(FindProgramWindow(), nullptr);
    }

    void TearDown() override
    {
        EndProgram(program, STOP_LIMIT_MS);
        CloseHandle(program.hProcess);
    }

    // The stop comes mid-walk from the console's thread; the main path does what the launcher
    // does (unless told not to): the walk sees the stop, the program gets its exit command.
    HANDLERCALL StopMidWalk(DWORD type, bool mainPathEnds = true)
    {
        HANDLERCALL call;
        call.type = type;
        call.program = program.hProcess;
        const HANDLE thread = CreateThread(nullptr, 0, CallHandler, &call, 0, nullptr);
        if (mainPathEnds) {
            std::wstring problem;
            EXPECT_EQ(FollowWalk(program.hProcess, log, 60000, &problem), WALK_STOPPED);
            EXPECT_TRUE(EndProgram(program, STOP_LIMIT_MS)) << "ended by force";
            DWORD code = STILL_ACTIVE;
            EXPECT_TRUE(GetExitCodeProcess(program.hProcess, &code) && code == 0) << code;
            closing = TrialWindowClosing();
            TrialStopHandled();
        }
        EXPECT_EQ(WaitForSingleObject(thread, 2 * CLOSE_ALLOWED_MS), static_cast<DWORD>(WAIT_OBJECT_0));
        CloseHandle(thread);
        EXPECT_TRUE(call.result) << "an unhandled event ends the launcher at once";
        return call;
    }

    std::wstring log;
    PROCESS_INFORMATION program = {};
    bool closing = false;
};

TEST(TrialStopBeforeStartTest, StopBeforeTheStartStartsNothing)
{
    CatchTrialStop();
    TrialControlHandler(CTRL_C_EVENT);
    PROCESS_INFORMATION program = {};
    DWORD error = 0;
    DWORD jobError = 0;
    EXPECT_FALSE(StartProgram(KitFolder(), L"quib-trial-stop-test.log", &program, &error, &jobError));
    EXPECT_EQ(error, static_cast<DWORD>(ERROR_CANCELLED));
    EXPECT_EQ(program.hProcess, nullptr);
}

TEST_F(TrialStopTest, ClosingWindowIsHeldUntilTheProgramHasEndedByItsExitCommand)
{
    const HANDLERCALL call = StopMidWalk(CTRL_CLOSE_EVENT);
    EXPECT_TRUE(closing);
    EXPECT_TRUE(call.programEndedFirst) << "the handler let the process go while the program still ran";
    EXPECT_LT(call.tookMs, CLOSE_ALLOWED_MS);
}

TEST_F(TrialStopTest, ClosingWindowWithoutAnEndStillReturnsWithinTheGrace)
{
    EXPECT_LT(StopMidWalk(CTRL_CLOSE_EVENT, false).tookMs, CLOSE_ALLOWED_MS);
}

TEST_F(TrialStopTest, CtrlBreakStopsTheWalkAndKeepsTheClosingPause)
{
    StopMidWalk(CTRL_BREAK_EVENT);
    EXPECT_FALSE(closing);
}

// The summary names a log line it cannot read, and still counts the rest.
TEST(TrialSummaryTest, AnUnreadableLogLineIsNamed)
{
    std::vector<LOGLINE> lines(2);
    ASSERT_TRUE(ParseLogLine("t=5 tid=1 pid=2 call=TpConnect ret=1", &lines[0]));
    ASSERT_TRUE(ParseLogLine("t=7 tid=1 pid=2 call=TpIsDisabled ret=0", &lines[1]));
    const std::vector<std::wstring> summary = SummaryLines(lines, {"line 2: t=6 tid=1 pid=2 call=TpIsDis"}, 0);
    EXPECT_EQ(summary.front(), L"link: made at attempt 1 (0 refused), 0.00 s after the start");
    EXPECT_EQ(summary.back(), L"unreadable call log lines: 1, the first line 2: t=6 tid=1 pid=2 call=TpIsDis");
}

}  // namespace
