#include <gtest/gtest.h>

#include "status/icon_choice.h"
#include "tests/fakes/test_status.h"

namespace {

struct Fields {
    int32_t linked = 1, trayMode = 1, touchpadDisabled = 0, buttonMode = 0, fingerCount = 0,
            contactLevel = 0;
};

void Fill(TOUCHSTATUS& status, const Fields& f)
{
    status.linked = f.linked;
    status.trayMode = f.trayMode;
    status.touchpadDisabled = f.touchpadDisabled;
    status.buttonMode = f.buttonMode;
    status.fingerCount = f.fingerCount;
    status.contactLevel = f.contactLevel;
}

Fields With(void (*edit)(Fields&))
{
    Fields f;
    edit(f);
    return f;
}

TEST(IconSlotTest, FingerSlotsFillTheSetInRowsOfThree)
{
    EXPECT_EQ(FingerIcon(1, 0), fingerIcons);
    EXPECT_EQ(FingerIcon(5, 2), ICON_SLOT_COUNT - 1);
    EXPECT_EQ(ICON_SLOT_COUNT, 21);
    EXPECT_EQ(FingerIcon(2, 0), FingerIcon(1, 2) + 1);
}

TEST(ChooseTrayIconTest, RulesAndOverrides)
{
    const struct {
        const char* name;
        Fields fields;
        IconSlot slot;
        int32_t contactAfter;
    } cases[] = {
        {"idle", Fields{}, idleIcon, 0},
        {"not linked", With([](Fields& f) { f.linked = 0; }), unlinkedIcon, 0},
        {"not linked beats app icon and disabled",
         With([](Fields& f) { f.linked = 0; f.trayMode = 2; f.touchpadDisabled = 1; }), unlinkedIcon, 0},
        {"not linked, tray mode unread", With([](Fields& f) { f.linked = 0; f.trayMode = -1; f.fingerCount = 3; }),
         unlinkedIcon, 0},
        {"app icon beats disabled", With([](Fields& f) { f.trayMode = 2; f.touchpadDisabled = 1; }), appIcon, 0},
        {"disabled beats buttons and fingers",
         With([](Fields& f) { f.touchpadDisabled = 1; f.buttonMode = 1; f.fingerCount = 3; }), disabledIcon, 0},
        {"disabled by any nonzero value", With([](Fields& f) { f.touchpadDisabled = -5; }), disabledIcon, 0},
        {"left button beats fingers", With([](Fields& f) { f.buttonMode = 1; f.fingerCount = 2; }), leftButtonIcon, 0},
        {"right button", With([](Fields& f) { f.buttonMode = 2; f.fingerCount = 2; }), rightButtonIcon, 0},
        {"odd button mode shows left", With([](Fields& f) { f.buttonMode = 3; }), leftButtonIcon, 0},
        {"negative button mode shows left", With([](Fields& f) { f.buttonMode = -1; }), leftButtonIcon, 0},
        {"one finger firm", With([](Fields& f) { f.fingerCount = 1; f.contactLevel = 2; }), FingerIcon(1, 2), 2},
        {"five fingers medium", With([](Fields& f) { f.fingerCount = 5; f.contactLevel = 1; }), FingerIcon(5, 1), 1},
        {"six fingers show one", With([](Fields& f) { f.fingerCount = 6; f.contactLevel = 1; }), FingerIcon(1, 1), 1},
        {"255 fingers show one", With([](Fields& f) { f.fingerCount = 255; }), FingerIcon(1, 0), 0},
        {"negative finger count is idle", With([](Fields& f) { f.fingerCount = -1; }), idleIcon, 0},
        {"negative level clamps to 0", With([](Fields& f) { f.fingerCount = 2; f.contactLevel = -1; }),
         FingerIcon(2, 0), 0},
        {"high level clamps to 2", With([](Fields& f) { f.fingerCount = 4; f.contactLevel = 7; }), FingerIcon(4, 2), 2},
        {"no finger leaves a wild level alone", With([](Fields& f) { f.contactLevel = 7; }), idleIcon, 7},
        {"button row leaves a wild level alone", With([](Fields& f) { f.buttonMode = 1; f.fingerCount = 3; f.contactLevel = -4; }),
         leftButtonIcon, -4},
        {"clamp is stored even under the app icon",
         With([](Fields& f) { f.fingerCount = 3; f.contactLevel = 9; f.trayMode = 2; }), appIcon, 2},
        {"clamp is stored even when not linked",
         With([](Fields& f) { f.fingerCount = 3; f.contactLevel = INT32_MIN; f.linked = 0; }), unlinkedIcon, 0},
        {"tray mode other than 2 keeps the live slot", With([](Fields& f) { f.trayMode = 7; f.fingerCount = 3; }),
         FingerIcon(3, 0), 0},
        {"tray mode unread keeps the live slot", With([](Fields& f) { f.trayMode = -1; f.buttonMode = 2; }),
         rightButtonIcon, 0},
        {"linked by any nonzero value", With([](Fields& f) { f.linked = 2; }), idleIcon, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        TOUCHSTATUS status;
        Fill(status, c.fields);
        EXPECT_EQ(ChooseTrayIcon(status), c.slot);
        EXPECT_EQ(status.contactLevel, c.contactAfter);
    }
}

TEST(ChooseTrayIconTest, EveryFingerRowAndColumn)
{
    for (int32_t fingers = 1; fingers <= 5; ++fingers) {
        for (int32_t level = 0; level <= 2; ++level) {
            TOUCHSTATUS status;
            Fill(status, Fields{1, 1, 0, 0, fingers, level});
            EXPECT_EQ(ChooseTrayIcon(status), FingerIcon(fingers, level)) << fingers << "/" << level;
        }
    }
}

TEST(ChooseTrayIconTest, WritesNothingButTheClamp)
{
    TOUCHSTATUS status;
    Fill(status, Fields{1, 2, 0, 0, 4, 9});
    status.leftLatch = 1;
    status.refreshPending = 1;
    status.initDone = 1;
    StatusSnapshot expected = SnapshotOf(status);
    expected.contactLevel = 2;
    ChooseTrayIcon(status);
    EXPECT_EQ(SnapshotOf(status), expected);
}

}  // namespace
