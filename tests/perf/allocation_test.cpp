// The report callback, the icon choice and the poll cycle run without touching the heap:
// the callback may run on the library's own thread, where an allocation could wait on a
// lock, and the poll tick runs every 10 ms for the whole run.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "tests/perf/counting_allocator.h"
#include "tests/perf/perf_scenarios.h"

namespace {

// Keeps the compiler from dropping an allocation whose result is never used.
void Escape(void* pointer)
{
    asm volatile("" : : "g"(pointer) : "memory");
}

class AllocationTest : public ::testing::Test {
protected:
    void SetUp() override { EnterQuietLink(); }
    void TearDown() override { StopCountingAllocations(); }
};

// The counter must see an allocation, or a zero below would prove nothing.
TEST_F(AllocationTest, CounterSeesAllocations)
{
    StartCountingAllocations();
    int* single = new int(7);
    Escape(single);
    delete single;
    EXPECT_EQ(StopCountingAllocations(), 1);

    StartCountingAllocations();
    std::string* text = new std::string(100, 'x');
    Escape(text);
    delete text;
    EXPECT_EQ(StopCountingAllocations(), 2);

    StartCountingAllocations();
    char* bytes = new char[33];
    Escape(bytes);
    delete[] bytes;
    EXPECT_EQ(StopCountingAllocations(), 1);

    if (CountsCAllocations()) {
        StartCountingAllocations();
        void* block = std::malloc(48);
        Escape(block);
        std::free(block);
        void* zeroed = std::calloc(4, 8);
        Escape(zeroed);
        std::free(zeroed);
        EXPECT_EQ(StopCountingAllocations(), 2);
    }
}

TEST_F(AllocationTest, ReportCallbackAllocatesNothing)
{
    const REPORTPAIR moving = MovingReports();
    const REPORTPAIR click = ClickReports();
    const TouchReport resting = RestingReport();
    const TouchReport raw = RawReport();
    TouchReport unknown = RestingReport();
    unknown.type = 260;
    NullTouchpad.checkButtonsResult = 1;

    StartCountingAllocations();
    for (int round = 0; round < 100; ++round) {
        OnTouchReport(&moving.reports[round & 1]);
        OnTouchReport(&click.reports[round & 1]);
        OnTouchReport(&resting);
        OnTouchReport(&resting);
        OnTouchReport(&raw);
        OnTouchReport(&unknown);
        OnTouchReport(nullptr);
    }
    EXPECT_EQ(StopCountingAllocations(), 0);

    // Every kind took its own way: raw reports forwarded, clicks checked and followed up.
    EXPECT_EQ(NullTouchpad.calls[NULL_FORWARD_RAW], 100);
    EXPECT_EQ(NullTouchpad.calls[NULL_CHECK_BUTTONS], 100);
    EXPECT_EQ(NullTouchpad.calls[NULL_BUTTON_FOLLOW_UP], 100);
    EXPECT_EQ(NullTotalCalls(), 300);
    EXPECT_EQ(TouchStatus.refreshPending, 1);
}

TEST_F(AllocationTest, IconChoiceAllocatesNothing)
{
    // One status for each way through the choice, clamps included.
    const struct {
        int32_t linked, disabled, trayMode, buttonMode, fingers, level;
        IconSlot slot;
    } cases[] = {
        {0, 0, 1, 0, 0, 0, unlinkedIcon},   {1, 1, 1, 1, 3, 0, disabledIcon},
        {1, 0, 1, 2, 3, 0, rightButtonIcon}, {1, 0, 1, 3, 3, 0, leftButtonIcon},
        {1, 0, 1, 0, -1, 0, idleIcon},       {1, 0, 1, 0, 5, 1, FingerIcon(5, 1)},
        {1, 0, 1, 0, 9, -4, FingerIcon(1, 0)}, {1, 0, 2, 0, 2, 9, appIcon},
    };
    for (const auto& c : cases) {
        TouchStatus.linked = c.linked;
        TouchStatus.touchpadDisabled = c.disabled;
        TouchStatus.trayMode = c.trayMode;
        TouchStatus.buttonMode = c.buttonMode;
        TouchStatus.fingerCount = c.fingers;
        TouchStatus.contactLevel = c.level;
        StartCountingAllocations();
        const IconSlot slot = ChooseTrayIcon(TouchStatus);
        EXPECT_EQ(StopCountingAllocations(), 0) << "slot " << slot;
        EXPECT_EQ(slot, c.slot);
    }
}

TEST_F(AllocationTest, QuietPollTickAllocatesNothing)
{
    StartCountingAllocations();
    for (int tick = 0; tick < 1000; ++tick) {
        PollTick();
    }
    EXPECT_EQ(StopCountingAllocations(), 0);
    EXPECT_EQ(NullTouchpad.calls[NULL_IS_DISABLED], 1000);
    EXPECT_EQ(NullTouchpad.calls[NULL_GET_TRAY_MODE], 1000);
    EXPECT_EQ(NullTotalCalls(), 2000);
    EXPECT_EQ(NullTrayCalls(), 0);
}

// Every step of the tick doing its work: the first tick after a link, a disabled pad, the
// icon hidden and shown again, and a redraw after a report.
TEST_F(AllocationTest, BusyPollTicksAllocateNothing)
{
    TouchStatus.trayMode = -1;
    TouchStatus.initDone = 0;
    AnnounceRefresh(TouchStatus);
    const TouchReport resting = RestingReport();

    StartCountingAllocations();
    PollTick();  // first tick: the tray mode is read, the library initialised, the icon redrawn
    NullTouchpad.isDisabledResult = 1;
    PollTick();  // the pad turns disabled
    NullTouchpad.trayModeResult = 0;
    PollTick();  // the icon is removed
    NullTouchpad.trayModeResult = 1;
    PollTick();  // and added back
    NullTouchpad.isDisabledResult = 0;
    OnTouchReport(&resting);
    PollTick();  // enabled again, with a report to draw
    EXPECT_EQ(StopCountingAllocations(), 0);

    EXPECT_EQ(NullTouchpad.calls[NULL_INIT_ONCE], 1);
    EXPECT_EQ(NullTouchpad.calls[NULL_SET_ENABLED], 2);
    EXPECT_EQ(NullCyclePorts.trayRemoves, 1);
    EXPECT_EQ(NullCyclePorts.trayAdds, 1);
    EXPECT_EQ(NullCyclePorts.trayImages, 4);
    EXPECT_EQ(NullCyclePorts.picture, FingerIcon(2, 1));
}

TEST_F(AllocationTest, LinkAndSessionHandlersAllocateNothing)
{
    TouchStatus.linked = 0;

    StartCountingAllocations();
    LinkTick();
    LinkTick();  // a tick queued before the link
    OnSessionChange(SESSION_CONSOLE_DISCONNECT);
    OnSessionChange(SESSION_CONSOLE_CONNECT);
    LinkTick();
    OnSettingChange(SPI_MOUSE_BUTTON_SWAP);
    OnTaskbarCreated();
    OnExitCommand();
    EXPECT_EQ(StopCountingAllocations(), 0);

    EXPECT_EQ(NullTouchpad.calls[NULL_CONNECT], 2);
    EXPECT_EQ(NullTouchpad.calls[NULL_DISCONNECT], 2);
    EXPECT_EQ(NullTouchpad.calls[NULL_MOUSE_SWAP], 1);
    EXPECT_EQ(NullCyclePorts.trayAdds, 2);
    EXPECT_EQ(NullCyclePorts.trayRestores, 1);
}

}  // namespace
