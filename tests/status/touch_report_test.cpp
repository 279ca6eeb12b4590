#include <gtest/gtest.h>

#include "status/touch_report.h"
#include "tests/fakes/fake_touchpad.h"
#include "tests/fakes/test_status.h"

namespace {

class TouchReportTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ResetTouchStatus();
        ResetFakeTouchpad();
    }

    // Delivers a status report and returns the callback's result.
    int32_t Deliver(uint8_t buttonFlags, uint8_t fingers, uint8_t contact)
    {
        const TouchReport report = StatusReport(buttonFlags, fingers, contact);
        return OnTouchReport(&report);
    }
};

TEST_F(TouchReportTest, NullReportIsIgnored)
{
    const StatusSnapshot before = SnapshotOf(TouchStatus);
    EXPECT_EQ(OnTouchReport(nullptr), 0);
    EXPECT_EQ(SnapshotOf(TouchStatus), before);
    EXPECT_EQ(FakeTotalCalls(), 0);
}

TEST_F(TouchReportTest, RawReportIsForwardedWithPayloadAddressOnly)
{
    // A raw report need not be as long as a status report: give it just the type and two
    // bytes, so a read of a status field would be out of bounds under the sanitizers.
    struct {
        uint32_t type;
        uint8_t body[2];
    } raw{REPORT_RAW, {0xAA, 0xBB}};
    TouchStatus.fingerCount = 3;
    const StatusSnapshot before = SnapshotOf(TouchStatus);

    EXPECT_EQ(OnTouchReport(reinterpret_cast<const TouchReport*>(&raw)), 0);

    ASSERT_EQ(FakeCallNames(), std::vector<std::string>{"TpForwardRawReport()"});
    EXPECT_EQ(FakeCalls()[0].pointer, reinterpret_cast<const uint8_t*>(&raw) + 4);
    EXPECT_EQ(SnapshotOf(TouchStatus), before);
}

TEST_F(TouchReportTest, UnknownTypesAreIgnored)
{
    for (uint32_t type : {0u, 0x101u, 0x104u, 260u, 0x103u << 8, 0xFFFFFFFFu}) {
        SCOPED_TRACE(type);
        TouchReport report = StatusReport(0x05, 3, 4);
        report.type = type;
        const StatusSnapshot before = SnapshotOf(TouchStatus);
        EXPECT_EQ(OnTouchReport(&report), 0);
        EXPECT_EQ(SnapshotOf(TouchStatus), before);
        EXPECT_EQ(FakeTotalCalls(), 0);
    }
}

TEST_F(TouchReportTest, ContactValueMapsToThreeLevels)
{
    const struct {
        uint8_t contact;
        int32_t level;
    } cases[] = {{0, 0}, {1, 0}, {2, 1}, {3, 1}, {4, 2}, {5, 2}, {127, 2}, {128, 2}, {200, 2}, {255, 2}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.contact);
        TouchStatus.contactLevel = 7;  // a level the decoder never stores: forces a change
        TouchStatus.refreshPending = 0;
        EXPECT_EQ(Deliver(0, 0, c.contact), 0);
        EXPECT_EQ(TouchStatus.contactLevel, c.level);
        EXPECT_EQ(TouchStatus.refreshPending, 1);
    }
}

TEST_F(TouchReportTest, FingerCountIsStoredUnclamped)
{
    for (uint8_t fingers : {1, 5, 6, 9, 255, 0}) {
        SCOPED_TRACE(fingers);
        TouchStatus.refreshPending = 0;
        Deliver(0, fingers, 0);
        EXPECT_EQ(TouchStatus.fingerCount, fingers);
        EXPECT_EQ(TouchStatus.refreshPending, 1);
    }
}

TEST_F(TouchReportTest, RepeatedReportChangesNothing)
{
    Deliver(BUTTON_LEFT_DOWN, 2, 3);
    TouchStatus.refreshPending = 0;
    const StatusSnapshot before = SnapshotOf(TouchStatus);

    Deliver(0, 2, 3);

    EXPECT_EQ(SnapshotOf(TouchStatus), before);
    EXPECT_EQ(TouchStatus.refreshPending, 0);
}

TEST_F(TouchReportTest, ReportLikeTheStartStateSetsNoRefresh)
{
    Deliver(0, 0, 1);
    EXPECT_EQ(TouchStatus.refreshPending, 0);
    EXPECT_EQ(FakeTotalCalls(), 0);
}

// Latch and mode transitions: the latches before, the button byte, the latches and mode after.
TEST_F(TouchReportTest, ButtonLatchesAndMode)
{
    const struct {
        const char* name;
        int32_t left, right;
        uint8_t flags;
        int32_t leftAfter, rightAfter, modeAfter;
    } cases[] = {
        {"left press", 0, 0, 0x01, 1, 0, 1},
        {"right press", 0, 0, 0x04, 0, 1, 2},
        {"both pressed: left wins", 0, 0, 0x05, 1, 1, 1},
        {"left release and press: release wins (held)", 1, 0, 0x03, 0, 0, 0},
        {"left release and press: release wins (free)", 0, 0, 0x03, 0, 0, 0},
        {"right release and press: release wins", 0, 1, 0x0C, 0, 0, 0},
        {"right release while left held", 1, 1, 0x08, 1, 0, 1},
        {"left release while right held", 1, 1, 0x02, 0, 1, 2},
        {"zero flags keep both latches", 1, 1, 0x00, 1, 1, 1},
        {"high bits keep both latches", 0, 1, 0xF0, 0, 1, 2},
        {"all bits release both", 1, 1, 0xFF, 0, 0, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        TouchStatus.leftLatch = c.left;
        TouchStatus.rightLatch = c.right;
        TouchStatus.buttonMode = c.left ? 1 : (c.right ? 2 : 0);
        Deliver(c.flags, 0, 0);
        EXPECT_EQ(TouchStatus.leftLatch, c.leftAfter);
        EXPECT_EQ(TouchStatus.rightLatch, c.rightAfter);
        EXPECT_EQ(TouchStatus.buttonMode, c.modeAfter);
    }
}

TEST_F(TouchReportTest, LatchChangeThatKeepsTheModeSetsNoRefresh)
{
    Deliver(BUTTON_LEFT_DOWN, 0, 0);
    ASSERT_EQ(TouchStatus.buttonMode, 1);
    TouchStatus.refreshPending = 0;

    Deliver(BUTTON_RIGHT_DOWN, 0, 0);
    EXPECT_EQ(TouchStatus.rightLatch, 1);
    EXPECT_EQ(TouchStatus.buttonMode, 1);
    EXPECT_EQ(TouchStatus.refreshPending, 0);

    Deliver(BUTTON_LEFT_UP, 0, 0);
    EXPECT_EQ(TouchStatus.leftLatch, 0);
    EXPECT_EQ(TouchStatus.buttonMode, 2);
    EXPECT_EQ(TouchStatus.refreshPending, 1);
}

TEST_F(TouchReportTest, ButtonByteReachesTheLibraryCheck)
{
    const struct {
        uint8_t flags;
        int32_t checkAnswer;
        std::vector<std::string> calls;
    } cases[] = {
        {0x00, 1, {}},
        {0x10, 0, {"TpCheckButtonFlags(16)"}},
        {0x10, 1, {"TpCheckButtonFlags(16)", "TpButtonFollowUp(0)"}},
        {0x10, -1, {"TpCheckButtonFlags(16)", "TpButtonFollowUp(0)"}},
        {0x80, 0x100, {"TpCheckButtonFlags(128)", "TpButtonFollowUp(0)"}},
        {0xFF, 0, {"TpCheckButtonFlags(255)"}},  // zero-extended, not sign-extended
        {0x01, 2, {"TpCheckButtonFlags(1)", "TpButtonFollowUp(0)"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(static_cast<int>(c.flags));
        ResetFakeTouchpad();
        FakeScript.checkButtonsResult = c.checkAnswer;
        EXPECT_EQ(Deliver(c.flags, 1, 1), 0);
        EXPECT_EQ(FakeCallNames(), c.calls);
    }
}

TEST_F(TouchReportTest, StatusReportCallsNothingElse)
{
    FakeScript.checkButtonsResult = 1;
    Deliver(0x01, 2, 2);
    Deliver(0x00, 3, 4);
    EXPECT_EQ(FakeCallCount(FAKE_CHECK_BUTTONS), 1);
    EXPECT_EQ(FakeCallCount(FAKE_BUTTON_FOLLOW_UP), 1);
    EXPECT_EQ(FakeTotalCalls(), 2);
}

TEST_F(TouchReportTest, LinkFieldsAreNeverWritten)
{
    TouchStatus.linked = 1;
    TouchStatus.touchpadDisabled = 1;
    TouchStatus.trayMode = 2;
    TouchStatus.initDone = 1;
    Deliver(0x05, 4, 9);
    Deliver(0x0A, 0, 0);
    EXPECT_EQ(TouchStatus.linked, 1);
    EXPECT_EQ(TouchStatus.touchpadDisabled, 1);
    EXPECT_EQ(TouchStatus.trayMode, 2);
    EXPECT_EQ(TouchStatus.initDone, 1);
}

}  // namespace
