// Timers on the main thread armed from any thread, in call order.

#include "qt_timer_port.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <thread>
#include <vector>

namespace {

QCoreApplication& Application() {
    static int argc = 1;
    static char name[] = "qt_timer_port_test";
    static char* argv[] = {name, nullptr};
    static QCoreApplication application(argc, argv);
    return application;
}

// Runs the loop until done() or a generous bound passes.
template <typename Done>
bool RunLoopUntil(Done done) {
    QElapsedTimer elapsed;
    elapsed.start();
    while (!done() && elapsed.elapsed() < 10000) {
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 50);
    }
    return done();
}

TEST(QtTimerPortTest, TimerArmedFromAnotherThreadFiresOnTheMainThread) {
    Application();
    std::vector<std::uint32_t> fired;
    std::thread::id firedOn;
    QtTimerPort timers([&](std::uint32_t timerId) {
        fired.push_back(timerId);
        firedOn = std::this_thread::get_id();
        timers.KillTimer(timerId);
    });
    std::thread reader([&] { timers.SetTimer(100004, 20); });
    reader.join();
    ASSERT_TRUE(RunLoopUntil([&] { return !fired.empty(); }));
    EXPECT_EQ(fired, std::vector<std::uint32_t>{100004});
    EXPECT_EQ(firedOn, std::this_thread::get_id());
    EXPECT_FALSE(timers.IsArmed(100004)) << "killed from its own expiry";
}

TEST(QtTimerPortTest, CallsTakeEffectInTheOrderTheyWereMade) {
    Application();
    QtTimerPort timers([](std::uint32_t /*timerId*/) {});
    std::thread reader([&] { timers.SetTimer(7, 1000); });
    reader.join();
    timers.KillTimer(7);  // made after the reader's arm: must not be overtaken
    EXPECT_FALSE(timers.IsArmed(7));
    timers.KillTimer(8);
    std::thread again([&] { timers.SetTimer(8, 1000); });
    again.join();
    EXPECT_TRUE(timers.IsArmed(8));
    timers.SetTimer(8, 1000);  // re-arming an armed timer keeps it armed
    EXPECT_TRUE(timers.IsArmed(8));
}

}  // namespace
