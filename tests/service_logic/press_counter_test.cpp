#include "press_counter.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "built_in_keys.h"
#include "case_name.h"
#include "fake_input_synthesis.h"
#include "fake_timer_port.h"
#include "platform/fake_window_system.h"
#include "service_constants.h"

namespace {

struct Press {
    std::uint64_t atMs;
    int key;
};

// What the hosts and the pointer saw, one line per effect:
// "<ms> host1 <code>", "<ms> host2 <code>", "<ms> right-click".
using Effects = std::vector<std::string>;

// A service in miniature: presses go in through CountPress at their time,
// the click window's timer runs ResolvePresses, and every effect is noted
// with the fake clock's time.
class PressHarness {
public:
    explicit PressHarness(bool host1Running = true, bool host2Running = true) {
        if (host1Running) {
            windows.AddWindow("TfrmForward", "Vellum");
        }
        if (host2Running) {
            windows.AddWindow("TfrmTadpoleForward", "ZanTadpoleResend");
        }
    }

    void PressAt(std::uint64_t atMs, int key) {
        AdvanceTo(atMs);
        counter.CountPress(config, key);
    }

    void AdvanceTo(std::uint64_t atMs) {
        timers.AdvanceTo(atMs, [this](std::uint32_t timerId) {
            if (timerId == TIMER_CLICK_WINDOW) {
                ResolvePresses(counter, windows, input);
                NoteEffects();
            }
        });
    }

    Effects Run(const std::vector<Press>& presses) {
        for (const Press& press : presses) {
            PressAt(press.atMs, press.key);
        }
        AdvanceTo(timers.Now() + 5000);
        return effects;
    }

    void NoteEffects() {
        const std::string at = std::to_string(timers.Now()) + " ";
        for (const auto& post : windows.TakePosts()) {
            EXPECT_EQ(post.message.message, MSG_HOST_COMMAND);
            EXPECT_EQ(post.message.lParam, 0);
            const char* host = post.window == "TfrmForward@Vellum" ? "host1" : "host2";
            effects.push_back(at + host + " " + std::to_string(post.message.wParam));
        }
        for (const auto& event : input.TakeEvents()) {
            EXPECT_EQ(event.kind, FakeInputSynthesis::Event::Kind::RightClick);
            effects.push_back(at + "right-click");
        }
    }

    ButtonConfig config = BuiltInKeys();
    FakeTimerPort timers;
    zan::FakeWindowSystem windows;
    FakeInputSynthesis input;
    PressCounter counter{timers};
    Effects effects;
};

struct Timeline {
    const char* what;
    std::vector<Press> presses;
    Effects effects;
};

void PrintTo(const Timeline& testCase, std::ostream* out) {
    *out << testCase.what;
}

class PressTimelineTest : public testing::TestWithParam<Timeline> {};

TEST_P(PressTimelineTest, ResolvesAsTheTimelineSays) {
    PressHarness harness;
    EXPECT_EQ(harness.Run(GetParam().presses), GetParam().effects) << GetParam().what;
    EXPECT_EQ(harness.counter.State(), PressState::Idle);
    EXPECT_FALSE(harness.timers.IsArmed(TIMER_CLICK_WINDOW));
}

INSTANTIATE_TEST_SUITE_P(
    BuiltInCodes, PressTimelineTest,
    testing::Values(
        Timeline{"one press of key 1", {{0, 1}}, {"500 host1 33", "500 host2 33"}},
        Timeline{"two presses of key 3",
                 {{0, 3}, {200, 3}},
                 {"500 host1 86", "500 host1 22", "500 host2 86", "500 host2 22"}},
        Timeline{"two presses of key 8: right click", {{0, 8}, {100, 8}}, {"500 right-click"}},
        Timeline{"key 1 then key 2: key 2's codes",
                 {{0, 1}, {100, 2}},
                 {"500 host1 0", "500 host1 48", "500 host2 0", "500 host2 48"}},
        Timeline{"three presses count as two",
                 {{0, 1}, {100, 1}, {200, 1}},
                 {"500 host1 0", "500 host1 33", "500 host2 0", "500 host2 33"}},
        Timeline{"two presses 600 ms apart",
                 {{0, 1}, {600, 1}},
                 {"500 host1 33", "500 host2 33", "1100 host1 33", "1100 host2 33"}},
        Timeline{"window not extended by a later press",
                 {{0, 3}, {450, 3}, {700, 3}},
                 {"500 host1 86", "500 host1 22", "500 host2 86", "500 host2 22", "1200 host1 22",
                  "1200 host2 22"}},
        Timeline{"key 8 then key 3: key 3's double code, no right click",
                 {{0, 8}, {100, 3}},
                 {"500 host1 86", "500 host1 22", "500 host2 86", "500 host2 22"}},
        Timeline{"key 3 then key 8: key 8 decides, right click",
                 {{0, 3}, {100, 8}},
                 {"500 right-click"}},
        Timeline{
            "single press of key 8 is a host command", {{0, 8}}, {"500 host1 17", "500 host2 17"}},
        Timeline{"out-of-range keys are not counted",
                 {{0, 0}, {10, 9}, {20, -1}, {30, 2}},
                 {"530 host1 48", "530 host2 48"}}),
    CaseName<Timeline>);

TEST(PressCounter, ArmsTheWindowOnTheFirstPressOnlyAndKillsItOnExpiry) {
    PressHarness harness;
    harness.PressAt(0, 3);
    harness.PressAt(100, 3);
    harness.PressAt(499, 3);
    EXPECT_EQ(harness.timers.DueTime(TIMER_CLICK_WINDOW), 500U);
    harness.AdvanceTo(500);
    using Call = FakeTimerPort::Call;
    EXPECT_EQ(harness.timers.Calls(),
              (std::vector<Call>{{Call::Kind::Set, TIMER_CLICK_WINDOW, 500, 0},
                                 {Call::Kind::Kill, TIMER_CLICK_WINDOW, 0, 500}}));
}

struct RelayPresence {
    const char* what;
    bool host1;
    bool host2;
    Effects effects;
};

void PrintTo(const RelayPresence& testCase, std::ostream* out) {
    *out << testCase.what;
}

class MissingRelayTest : public testing::TestWithParam<RelayPresence> {};

TEST_P(MissingRelayTest, SkipsTheMissingRelay) {
    PressHarness harness(GetParam().host1, GetParam().host2);
    EXPECT_EQ(harness.Run({{0, 3}, {100, 3}}), GetParam().effects) << GetParam().what;
    EXPECT_EQ(harness.counter.State(), PressState::Idle);
}

INSTANTIATE_TEST_SUITE_P(
    Relays, MissingRelayTest,
    testing::Values(RelayPresence{"host 1 missing", false, true, {"500 host2 86", "500 host2 22"}},
                    RelayPresence{"host 2 missing", true, false, {"500 host1 86", "500 host1 22"}},
                    RelayPresence{"both missing", false, false, {}}),
    CaseName<RelayPresence>);

TEST(PressCounter, ExpiryWithNothingCountedDoesNothing) {
    FakeTimerPort timers;
    PressCounter counter(timers);
    EXPECT_EQ(counter.TakePresses(), PendingPresses{});
    EXPECT_EQ(counter.State(), PressState::Idle);
    EXPECT_TRUE(timers.Calls().empty());
}

// A relay window that presses a key while it is being posted to: the press
// lands after the window was taken but before the resolution has finished.
class PressingWindowSystem : public zan::FakeWindowSystem {
public:
    std::function<void()> onFirstPost;

    bool PostMessage(const zan::WindowRef& window, const zan::WindowMessage& message) override {
        if (onFirstPost) {
            std::exchange(onFirstPost, nullptr)();
        }
        return FakeWindowSystem::PostMessage(window, message);
    }
};

TEST(PressCounter, PressDuringResolutionOpensAWindowThatStillCloses) {
    FakeTimerPort timers;
    PressingWindowSystem windows;
    windows.AddWindow("TfrmForward", "Vellum");
    FakeInputSynthesis input;
    PressCounter counter(timers);
    const ButtonConfig config = BuiltInKeys();
    auto resolve = [&](std::uint32_t) { ResolvePresses(counter, windows, input); };

    counter.CountPress(config, 1);
    windows.onFirstPost = [&] { counter.CountPress(config, 2); };
    timers.AdvanceTo(500, resolve);

    ASSERT_EQ(counter.State(), PressState::Counting);
    ASSERT_TRUE(timers.IsArmed(TIMER_CLICK_WINDOW));
    timers.AdvanceTo(1000, resolve);
    const auto posts = windows.TakePosts();
    ASSERT_EQ(posts.size(), 2U);
    EXPECT_EQ(posts[0].message.wParam, 33U);
    EXPECT_EQ(posts[1].message.wParam, 48U);
    EXPECT_EQ(counter.State(), PressState::Idle);
}

TEST(PressCounter, UsesTheSnapshotGivenWithEachPress) {
    PressHarness harness;
    harness.PressAt(0, 1);
    harness.config.keys[0].click = 700;
    harness.config.keys[0].doubleClick = 701;
    harness.PressAt(100, 1);
    EXPECT_EQ(harness.Run({}),
              (Effects{"500 host1 701", "500 host1 700", "500 host2 701", "500 host2 700"}));
}

}  // namespace
