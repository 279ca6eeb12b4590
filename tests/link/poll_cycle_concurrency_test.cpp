// Reports arrive on the library's thread while the window thread polls: whatever the
// interleaving, the tick after the last report shows the final state.
#include <gtest/gtest.h>

#include <atomic>
#include <random>
#include <thread>

#include "link/poll_cycle.h"
#include "tests/fakes/fake_cycle_ports.h"
#include "tests/fakes/fake_touchpad.h"
#include "tests/fakes/test_status.h"

namespace {

TEST(PollCycleConcurrencyTest, TickAfterTheLastReportShowsTheFinalState)
{
    ResetTouchStatus();
    ResetCycleWorld();
    FakeCallObserver = nullptr;  // the event list belongs to the window thread
    FakeScript.checkButtonsResult = 1;
    LinkTick();
    PollTick();

    std::atomic<bool> done{false};
    std::thread library([&done] {
        std::mt19937 random(7);
        for (int i = 0; i < 300000; ++i) {
            const uint32_t bits = random();
            const TouchReport report = StatusReport(static_cast<uint8_t>(bits & 0x0F), (bits >> 8) % 7,
                                                    static_cast<uint8_t>(bits >> 16) % 6);
            OnTouchReport(&report);
        }
        done.store(true, std::memory_order_release);
    });

    long ticks = 0;
    while (!done.load(std::memory_order_acquire)) {
        PollTick();
        ++ticks;
        CycleWorld.events.clear();
    }
    library.join();
    PollTick();

    EXPECT_GT(ticks, 0);
    EXPECT_TRUE(CycleWorld.iconShown);
    EXPECT_EQ(SlotName(CycleWorld.picture), SlotName(ChooseTrayIcon(TouchStatus)));
}

}  // namespace
