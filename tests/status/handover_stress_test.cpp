// The report thread and the window thread share TouchStatus without a lock. However the
// two interleave, the redraw that follows the last report must show the final state.
#include <gtest/gtest.h>

#include <atomic>
#include <random>
#include <thread>

#include "status/icon_choice.h"
#include "tests/fakes/fake_touchpad.h"
#include "tests/fakes/test_status.h"

namespace {

constexpr int REPORTS = 1000000;

void DeliverRandomReports(std::atomic<bool>& done)
{
    std::mt19937 random(20261207);
    for (int i = 0; i < REPORTS; ++i) {
        const uint32_t bits = random();
        if ((bits & 0x3F) == 0) {
            const TouchReport raw{REPORT_RAW, {}, 0, 0, 0};
            OnTouchReport(&raw);
            continue;
        }
        // Mostly small finger counts and contact values, with the odd wild one.
        const uint8_t fingers = (bits >> 8) & 0x80 ? static_cast<uint8_t>(bits >> 16) : (bits >> 16) % 7;
        const uint8_t contact = static_cast<uint8_t>(bits >> 24) % 6;
        const uint8_t buttons = (bits >> 6) & 1 ? static_cast<uint8_t>(bits >> 12) & 0x0F : 0;
        const TouchReport report = StatusReport(buttons, fingers, contact);
        OnTouchReport(&report);
    }
    done.store(true, std::memory_order_release);
}

TEST(HandoverStressTest, LastRedrawMatchesFinalStatus)
{
    ResetTouchStatus();
    ResetFakeTouchpad();
    FakeScript.checkButtonsResult = 1;
    TouchStatus.linked = 1;
    TouchStatus.trayMode = 1;

    std::atomic<bool> done{false};
    std::thread library(DeliverRandomReports, std::ref(done));

    IconSlot shown = unlinkedIcon;
    long redraws = 0;
    while (!done.load(std::memory_order_acquire)) {
        if (TakeRefreshPending(TouchStatus)) {
            shown = ChooseTrayIcon(TouchStatus);
            ++redraws;
        }
    }
    library.join();
    if (TakeRefreshPending(TouchStatus)) {
        shown = ChooseTrayIcon(TouchStatus);
    }

    EXPECT_EQ(shown, ChooseTrayIcon(TouchStatus));
    EXPECT_GT(redraws, 0);
    EXPECT_GE(TouchStatus.contactLevel, 0);
    EXPECT_LE(TouchStatus.contactLevel, 2);
    EXPECT_EQ(TouchStatus.buttonMode,
              TouchStatus.leftLatch == 1 ? 1 : (TouchStatus.rightLatch == 1 ? 2 : 0));
}

}  // namespace
