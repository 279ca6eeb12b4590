#include <gtest/gtest.h>

#include "link/poll_cycle.h"
#include "res/resource.h"
#include "tests/fakes/fake_cycle_ports.h"
#include "tests/fakes/fake_touchpad.h"
#include "tests/fakes/test_status.h"

namespace {

using Events = std::vector<std::string>;

const std::string LINK_ADD = "tray add unlinkedIcon 'QUIB Touch Pad Center'";
const std::string RETURN_ADD = "tray add idleIcon 'QuibTP Center'";

class PollCycleTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ResetTouchStatus();
        ResetCycleWorld();
        IconRetry = {};
        // Start-up leaves the link timer running.
        CycleWorld.timers[IDT_LINK] = LINK_PERIOD_MS;
    }

    // Events since the last call, so each step of a test checks only its own effects.
    Events Take()
    {
        Events taken = CycleWorld.events;
        CycleWorld.events.clear();
        return taken;
    }

    void Link()
    {
        LinkTick();
        Take();
    }

    void Deliver(uint8_t buttonFlags, uint8_t fingers, uint8_t contact)
    {
        const TouchReport report = StatusReport(buttonFlags, fingers, contact);
        OnTouchReport(&report);
        Take();
    }

    std::map<uint32_t, uint32_t> PollOnly() const { return {{IDT_POLL, POLL_PERIOD_MS}}; }

    // Poll ticks up to and including the next one that calls the shell, and its events.
    std::pair<uint32_t, Events> TicksToShellCall()
    {
        for (uint32_t tick = 1; tick <= 3 * ICON_RETRY_MAX_TICKS; ++tick) {
            PollTick();
            Events events = Take();
            if (events.size() > 2) {
                return {tick, events};
            }
        }
        return {0, {}};
    }
};

// ---- LinkTick ----

TEST_F(PollCycleTest, RefusedConnectChangesNothing)
{
    for (int32_t refusal : {0, 2, -1, INT32_MIN}) {
        SCOPED_TRACE(refusal);
        FakeScript.connectResult = refusal;
        LinkTick();
        EXPECT_EQ(Take(), Events{"TpConnect()"});
        EXPECT_EQ(CycleWorld.timers, (std::map<uint32_t, uint32_t>{{IDT_LINK, LINK_PERIOD_MS}}));
        EXPECT_FALSE(CycleWorld.iconShown);
        EXPECT_EQ(TouchStatus.linked, 0);
        EXPECT_EQ(TouchStatus.refreshPending, 0);
    }
}

TEST_F(PollCycleTest, AcceptedConnectAddsTheIconAndStartsThePoll)
{
    AppInstance = reinterpret_cast<void*>(0x400000);
    LinkTick();

    EXPECT_EQ(Take(), (Events{"TpConnect()", LINK_ADD, "stop timer 101", "start timer 102 10"}));
    const FakeCall connect = FakeCalls()[0];
    EXPECT_EQ(connect.pointer, AppInstance);
    EXPECT_EQ(connect.pointer2, reinterpret_cast<const void*>(&OnTouchReport));
    EXPECT_EQ(CycleWorld.timers, PollOnly());
    EXPECT_EQ(TouchStatus.linked, 1);
    EXPECT_EQ(TouchStatus.refreshPending, 1);
    AppInstance = nullptr;
}

TEST_F(PollCycleTest, LateLinkTickAfterTheLinkOnlySwapsTimers)
{
    Link();
    CycleWorld.timers[IDT_LINK] = LINK_PERIOD_MS;
    TouchStatus.refreshPending = 0;

    LinkTick();

    EXPECT_EQ(Take(), (Events{"stop timer 101", "start timer 102 10"}));
    EXPECT_EQ(CycleWorld.timers, PollOnly());
    EXPECT_EQ(TouchStatus.refreshPending, 0);
}

// ---- PollTick ----

TEST_F(PollCycleTest, FirstPollWithLiveIcon)
{
    Link();
    PollTick();
    EXPECT_EQ(Take(), (Events{"TpIsDisabled()", "TpGetTrayMode()", "TpInitOnce()", "tray image idleIcon"}));
    EXPECT_EQ(FakeCalls().back().pointer, InitRecord);
    EXPECT_EQ(TouchStatus.trayMode, 1);
    EXPECT_EQ(TouchStatus.initDone, 1);
    EXPECT_EQ(TouchStatus.refreshPending, 0);
}

TEST_F(PollCycleTest, FirstPollWithNoIconRemovesItAndKeepsTheRefresh)
{
    Link();
    FakeScript.trayModeResult = 0;
    PollTick();
    EXPECT_EQ(Take(), (Events{"TpIsDisabled()", "TpGetTrayMode()", "tray remove", "TpInitOnce()"}));
    EXPECT_EQ(TouchStatus.trayMode, 0);
    EXPECT_EQ(TouchStatus.refreshPending, 1);
    EXPECT_FALSE(CycleWorld.iconShown);

    Deliver(0, 3, 4);  // the pad changes while the icon is hidden
    FakeScript.trayModeResult = 1;
    PollTick();
    EXPECT_EQ(Take(), (Events{"TpIsDisabled()", "TpGetTrayMode()", RETURN_ADD, "tray image finger3_2"}));
    EXPECT_TRUE(CycleWorld.iconShown);
    EXPECT_EQ(TouchStatus.refreshPending, 0);
}

TEST_F(PollCycleTest, TrayModeChangesBetweenShownModesOnlyRedraw)
{
    Link();
    PollTick();
    Take();
    const struct {
        int32_t mode;
        Events events;
    } steps[] = {
        {2, {"TpIsDisabled()", "TpGetTrayMode()", "tray image appIcon"}},
        {1, {"TpIsDisabled()", "TpGetTrayMode()", "tray image idleIcon"}},
        {7, {"TpIsDisabled()", "TpGetTrayMode()", "tray image idleIcon"}},
        {-3, {"TpIsDisabled()", "TpGetTrayMode()", "tray image idleIcon"}},
        {0, {"TpIsDisabled()", "TpGetTrayMode()", "tray remove"}},
        {0, {"TpIsDisabled()", "TpGetTrayMode()"}},
        {2, {"TpIsDisabled()", "TpGetTrayMode()", RETURN_ADD, "tray image appIcon"}},
    };
    for (const auto& step : steps) {
        SCOPED_TRACE(step.mode);
        FakeScript.trayModeResult = step.mode;
        PollTick();
        EXPECT_EQ(Take(), step.events);
        EXPECT_EQ(TouchStatus.trayMode, step.mode);
    }
}

TEST_F(PollCycleTest, DisabledStateIsInvertedAndReported)
{
    Link();
    PollTick();
    Take();
    const struct {
        int32_t answer;
        Events events;
        int32_t disabledAfter;
    } steps[] = {
        {1, {"TpIsDisabled()", "TpSetEnabled(0)", "TpGetTrayMode()", "tray image disabledIcon"}, 1},
        {1, {"TpIsDisabled()", "TpGetTrayMode()"}, 1},
        {0, {"TpIsDisabled()", "TpSetEnabled(1)", "TpGetTrayMode()", "tray image idleIcon"}, 0},
        // An answer other than 0 and 1 differs from the flag every time: it flips each tick.
        {5, {"TpIsDisabled()", "TpSetEnabled(0)", "TpGetTrayMode()", "tray image disabledIcon"}, 1},
        {5, {"TpIsDisabled()", "TpSetEnabled(1)", "TpGetTrayMode()", "tray image idleIcon"}, 0},
        {-1, {"TpIsDisabled()", "TpSetEnabled(0)", "TpGetTrayMode()", "tray image disabledIcon"}, 1},
        {0, {"TpIsDisabled()", "TpSetEnabled(1)", "TpGetTrayMode()", "tray image idleIcon"}, 0},
    };
    for (const auto& step : steps) {
        SCOPED_TRACE(step.answer);
        FakeScript.isDisabledResult = step.answer;
        PollTick();
        EXPECT_EQ(Take(), step.events);
        EXPECT_EQ(TouchStatus.touchpadDisabled, step.disabledAfter);
    }
}

TEST_F(PollCycleTest, DisabledWhileHiddenIsToldButNotDrawn)
{
    Link();
    FakeScript.trayModeResult = 0;
    PollTick();
    Take();
    FakeScript.isDisabledResult = 1;
    PollTick();
    EXPECT_EQ(Take(), (Events{"TpIsDisabled()", "TpSetEnabled(0)", "TpGetTrayMode()"}));
    EXPECT_EQ(TouchStatus.refreshPending, 1);
}

TEST_F(PollCycleTest, QuietTickMakesTwoLibraryCallsAndNoTrayCall)
{
    Link();
    PollTick();
    Deliver(0, 2, 2);
    PollTick();
    Take();
    for (int tick = 0; tick < 5; ++tick) {
        PollTick();
    }
    Events expected;
    for (int tick = 0; tick < 5; ++tick) {
        expected.push_back("TpIsDisabled()");
        expected.push_back("TpGetTrayMode()");
    }
    EXPECT_EQ(Take(), expected);
}

TEST_F(PollCycleTest, ReportIsDrawnOnTheNextTick)
{
    Link();
    PollTick();
    const struct {
        uint8_t flags, fingers, contact;
        std::string picture;
    } reports[] = {
        {0, 1, 0, "finger1_0"}, {0, 2, 3, "finger2_1"}, {0x01, 2, 3, "leftButtonIcon"},
        {0x06, 2, 3, "rightButtonIcon"}, {0x08, 5, 9, "finger5_2"}, {0, 0, 0, "idleIcon"},
    };
    for (const auto& r : reports) {
        SCOPED_TRACE(r.picture);
        Deliver(r.flags, r.fingers, r.contact);
        PollTick();
        EXPECT_EQ(Take(), (Events{"TpIsDisabled()", "TpGetTrayMode()", "tray image " + r.picture}));
    }
}

TEST_F(PollCycleTest, InitOnceIsCalledOnceInTheRunEvenAcrossRelinks)
{
    Link();
    PollTick();
    PollTick();
    OnSessionChange(SESSION_CONSOLE_CONNECT);
    LinkTick();
    PollTick();
    EXPECT_EQ(FakeCallCount(FAKE_INIT_ONCE), 1);
}

// ---- Session changes, settings and exit ----

TEST_F(PollCycleTest, ConsoleDisconnectOnlyTellsTheLibrary)
{
    Link();
    PollTick();
    Take();
    OnSessionChange(SESSION_CONSOLE_DISCONNECT);
    EXPECT_EQ(Take(), Events{"TpDisconnect()"});
    EXPECT_EQ(TouchStatus.linked, 1);
    EXPECT_EQ(CycleWorld.timers, PollOnly());
    PollTick();
    EXPECT_EQ(Take(), (Events{"TpIsDisabled()", "TpGetTrayMode()"}));
}

TEST_F(PollCycleTest, ConsoleConnectRelinksEveryHalfSecond)
{
    Link();
    PollTick();
    OnSessionChange(SESSION_CONSOLE_DISCONNECT);
    Take();

    OnSessionChange(SESSION_CONSOLE_CONNECT);
    EXPECT_EQ(Take(), (Events{"stop timer 102", "start timer 101 500"}));
    EXPECT_EQ(TouchStatus.linked, 0);

    FakeScript.connectResult = 0;
    LinkTick();
    EXPECT_EQ(Take(), Events{"TpConnect()"});

    FakeScript.connectResult = 1;
    LinkTick();
    EXPECT_EQ(Take(), (Events{"TpConnect()", LINK_ADD, "stop timer 101", "start timer 102 10"}));
    PollTick();
    EXPECT_EQ(Take(), (Events{"TpIsDisabled()", "TpGetTrayMode()", "tray image idleIcon"}));
}

TEST_F(PollCycleTest, ConsoleConnectWhileWaitingShortensTheRetry)
{
    OnSessionChange(SESSION_CONSOLE_CONNECT);
    EXPECT_EQ(Take(), (Events{"stop timer 102", "start timer 101 500"}));
    EXPECT_EQ(CycleWorld.timers, (std::map<uint32_t, uint32_t>{{IDT_LINK, RELINK_PERIOD_MS}}));
}

TEST_F(PollCycleTest, OtherSessionCodesDoNothing)
{
    Link();
    for (uint64_t code : {0ull, 3ull, 5ull, 7ull, 8ull, 0x100000001ull}) {
        SCOPED_TRACE(code);
        OnSessionChange(code);
        EXPECT_EQ(Take(), Events{});
        EXPECT_EQ(TouchStatus.linked, 1);
    }
}

TEST_F(PollCycleTest, MouseButtonSwapReachesTheLibraryInEveryState)
{
    OnSettingChange(SPI_MOUSE_BUTTON_SWAP);
    EXPECT_EQ(Take(), Events{"TpMouseButtonSwapChanged()"});
    EXPECT_NE(FakeCalls().back().pointer, nullptr);

    Link();
    OnSettingChange(0x0000000100000021ull);  // only the low 32 bits count
    EXPECT_EQ(Take(), Events{"TpMouseButtonSwapChanged()"});

    for (uint64_t setting : {0ull, 0x20ull, 0x22ull, 0x2Full}) {
        OnSettingChange(setting);
    }
    EXPECT_EQ(Take(), Events{});
}

TEST_F(PollCycleTest, ExitTellsTheLibraryWhateverTheLinkState)
{
    OnExitCommand();
    EXPECT_EQ(Take(), Events{"TpDisconnect()"});
    EXPECT_EQ(CycleWorld.timers, (std::map<uint32_t, uint32_t>{{IDT_LINK, LINK_PERIOD_MS}}));
    Link();
    OnExitCommand();
    EXPECT_EQ(Take(), Events{"TpDisconnect()"});
    EXPECT_EQ(TouchStatus.linked, 1);
}

// ---- Re-link while the library asks for no icon ----

TEST_F(PollCycleTest, RelinkInTrayModeZeroLeavesTheIconOut)
{
    Link();
    FakeScript.trayModeResult = 0;
    PollTick();
    OnSessionChange(SESSION_CONSOLE_CONNECT);
    Take();

    LinkTick();
    EXPECT_EQ(Take(), (Events{"TpConnect()", "stop timer 101", "start timer 102 10"}));
    PollTick();
    EXPECT_EQ(Take(), (Events{"TpIsDisabled()", "TpGetTrayMode()"}));
    EXPECT_FALSE(CycleWorld.iconShown);

    FakeScript.trayModeResult = 1;
    PollTick();
    EXPECT_EQ(Take(), (Events{"TpIsDisabled()", "TpGetTrayMode()", RETURN_ADD, "tray image idleIcon"}));
}

// ---- The shell's notification area restarting ----

TEST_F(PollCycleTest, TaskbarRestartRestoresADueIcon)
{
    OnTaskbarCreated();  // not linked: no icon is due
    EXPECT_EQ(Take(), Events{});

    Link();
    OnTaskbarCreated();  // linked, mode not read yet: the icon was added at the link
    EXPECT_EQ(Take(), Events{"tray restore idleIcon 'QUIB Touch Pad Center'"});

    PollTick();
    Deliver(0, 4, 2);
    OnTaskbarCreated();
    EXPECT_EQ(Take(), Events{"tray restore finger4_1 'QUIB Touch Pad Center'"});

    FakeScript.trayModeResult = 0;
    PollTick();
    Take();
    OnTaskbarCreated();  // the library asks for no icon
    EXPECT_EQ(Take(), Events{});
}

// ---- A taskbar too busy to answer ----

TEST_F(PollCycleTest, RefusedIconIsTriedAgainLessOftenUntilTheShellTakesIt)
{
    CycleWorld.shellRefusals = 1 + 2 * 7;  // the link's add, then seven tries of add and picture
    LinkTick();
    PollTick();  // no picture change for an icon that is not there
    EXPECT_EQ(Take(), (Events{"TpConnect()", LINK_ADD + " refused", "stop timer 101", "start timer 102 10",
                              "TpIsDisabled()", "TpGetTrayMode()", "TpInitOnce()"}));
    const Events refusedTry = {"TpIsDisabled()", "TpGetTrayMode()",
                               "tray restore idleIcon 'QUIB Touch Pad Center' refused", "tray image idleIcon refused"};
    for (uint32_t ticks : {63u, 128u, 256u, 512u, 1024u, 2048u, 2048u}) {
        EXPECT_EQ(TicksToShellCall(), std::make_pair(ticks, refusedTry));
    }
    Deliver(0, 2, 4);  // the try shows the picture of the moment
    EXPECT_EQ(TicksToShellCall(), std::make_pair(2048u, Events{"TpIsDisabled()", "TpGetTrayMode()",
                                                               "tray restore finger2_2 'QUIB Touch Pad Center'"}));
    Deliver(0, 1, 0);
    PollTick();
    EXPECT_EQ(Take().back(), "tray image finger1_0");
    EXPECT_EQ(TicksToShellCall().first, 0u);  // in place: quiet ticks again
}

TEST_F(PollCycleTest, RefusedPictureIsPutRightByTheNextTry)
{
    Link();
    PollTick();
    CycleWorld.shellRefusals = 2;  // the picture; then the add, as a duplicate of the icon still there
    Deliver(0, 1, 0);
    EXPECT_EQ(TicksToShellCall(), std::make_pair(1u, Events{"TpIsDisabled()", "TpGetTrayMode()",
                                                            "tray image finger1_0 refused"}));
    EXPECT_EQ(TicksToShellCall(),
              std::make_pair(ICON_RETRY_FIRST_TICKS, Events{"TpIsDisabled()", "TpGetTrayMode()",
                                                            "tray restore finger1_0 'QUIB Touch Pad Center' refused",
                                                            "tray image finger1_0"}));
    EXPECT_EQ(TicksToShellCall().first, 0u);
}

TEST_F(PollCycleTest, IconThatIsNoLongerDueIsNotTriedAgain)
{
    CycleWorld.shellRefusals = 1;
    Link();
    FakeScript.trayModeResult = 0;
    EXPECT_EQ(TicksToShellCall(), std::make_pair(1u, Events{"TpIsDisabled()", "TpGetTrayMode()", "tray remove",
                                                            "TpInitOnce()"}));
    EXPECT_EQ(TicksToShellCall().first, 0u);
    FakeScript.trayModeResult = 1;
    EXPECT_EQ(TicksToShellCall().second, (Events{"TpIsDisabled()", "TpGetTrayMode()", RETURN_ADD,
                                                 "tray image idleIcon"}));
}

// ---- The whole machine, scripted ----

TEST_F(PollCycleTest, ScriptedRun)
{
    // Waiting: refusals, a setting change and a console connect.
    FakeScript.connectResult = 0;
    LinkTick();
    LinkTick();
    OnSettingChange(SPI_MOUSE_BUTTON_SWAP);
    OnSessionChange(SESSION_CONSOLE_CONNECT);
    EXPECT_EQ(Take(), (Events{"TpConnect()", "TpConnect()", "TpMouseButtonSwapChanged()", "stop timer 102",
                              "start timer 101 500"}));

    // The link, then the modes 1 -> 0 -> 1 -> 2 -> 1.
    FakeScript.connectResult = 1;
    LinkTick();
    PollTick();
    EXPECT_EQ(Take(), (Events{"TpConnect()", LINK_ADD, "stop timer 101", "start timer 102 10", "TpIsDisabled()",
                              "TpGetTrayMode()", "TpInitOnce()", "tray image idleIcon"}));
    for (int32_t mode : {0, 1, 2, 1}) {
        FakeScript.trayModeResult = mode;
        PollTick();
    }
    EXPECT_EQ(Take(), (Events{"TpIsDisabled()", "TpGetTrayMode()", "tray remove",
                              "TpIsDisabled()", "TpGetTrayMode()", RETURN_ADD, "tray image idleIcon",
                              "TpIsDisabled()", "TpGetTrayMode()", "tray image appIcon",
                              "TpIsDisabled()", "TpGetTrayMode()", "tray image idleIcon"}));
    EXPECT_TRUE(CycleWorld.iconShown);
    EXPECT_EQ(CycleWorld.tip, L"QuibTP Center");

    // Disable and enable.
    FakeScript.isDisabledResult = 1;
    PollTick();
    FakeScript.isDisabledResult = 0;
    PollTick();
    EXPECT_EQ(CycleWorld.picture, idleIcon);
    EXPECT_EQ(FakeCallCount(FAKE_SET_ENABLED), 2);
    Take();

    // Console disconnect, connect and re-link.
    OnSessionChange(SESSION_CONSOLE_DISCONNECT);
    PollTick();
    OnSessionChange(SESSION_CONSOLE_CONNECT);
    LinkTick();
    const TouchReport rightPress = StatusReport(BUTTON_RIGHT_DOWN, 0, 0);
    OnTouchReport(&rightPress);
    PollTick();
    EXPECT_EQ(Take(), (Events{"TpDisconnect()", "TpIsDisabled()", "TpGetTrayMode()", "stop timer 102",
                              "start timer 101 500", "TpConnect()", LINK_ADD, "stop timer 101",
                              "start timer 102 10", "TpCheckButtonFlags(4)", "TpIsDisabled()", "TpGetTrayMode()",
                              "tray image rightButtonIcon"}));

    // Exit.
    OnExitCommand();
    EXPECT_EQ(Take(), Events{"TpDisconnect()"});
    EXPECT_EQ(FakeCallCount(FAKE_INIT_ONCE), 1);
}

}  // namespace
