#include <gtest/gtest.h>

#include <atomic>
#include <cstdint>
#include <latch>
#include <thread>

#include "built_in_keys.h"
#include "fake_timer_port.h"
#include "press_counter.h"
#include "service_constants.h"

namespace {

// One thread presses as the reader does, one takes as the click window's
// timer does. Every press must land in exactly one taken window, and the
// timer must see arm and kill strictly alternate: an arm overtaken by a kill
// would leave a window nobody closes.
TEST(PressCounterConcurrency, EveryPressIsCountedExactlyOnce) {
    constexpr std::uint64_t PRESSES = 20000;
    FakeTimerPort timers;
    PressCounter counter(timers);
    const ButtonConfig config = BuiltInKeys();
    std::atomic<bool> pressingDone{false};
    // Both sides start together, so the presses overlap the taking.
    std::latch start(2);

    std::thread reader([&] {
        start.arrive_and_wait();
        for (std::uint64_t i = 0; i < PRESSES; ++i) {
            counter.CountPress(config, static_cast<int>(i % KEY_ROW_COUNT) + 1);
        }
        pressingDone.store(true);
    });

    std::uint64_t taken = 0;
    std::uint64_t windowsWithPresses = 0;
    auto takeOnce = [&] {
        const PendingPresses presses = counter.TakePresses();
        taken += presses.count;
        windowsWithPresses += presses.count > 0 ? 1 : 0;
    };
    start.arrive_and_wait();
    while (!pressingDone.load()) {
        takeOnce();
    }
    reader.join();
    takeOnce();

    EXPECT_EQ(taken, PRESSES);
    EXPECT_EQ(counter.State(), PressState::Idle);
    EXPECT_FALSE(timers.IsArmed(TIMER_CLICK_WINDOW));

    const auto calls = timers.Calls();
    ASSERT_EQ(calls.size(), 2 * windowsWithPresses);
    for (std::size_t i = 0; i < calls.size(); ++i) {
        const auto expected =
            i % 2 == 0 ? FakeTimerPort::Call::Kind::Set : FakeTimerPort::Call::Kind::Kill;
        ASSERT_EQ(calls[i].kind, expected) << "call " << i;
    }
}

}  // namespace
