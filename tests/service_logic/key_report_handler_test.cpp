#include "key_report_handler.h"

#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "built_in_keys.h"
#include "fake_local_actions.h"
#include "fake_timer_port.h"
#include "platform/fake_window_system.h"
#include "service_constants.h"

namespace {

class KeyReportHandlerTest : public testing::Test {
protected:
    KeyReportHandlerTest() {
        windows.AddWindow("TfrmForward", "Vellum");
        windows.AddWindow("TfrmTadpoleForward", "ZanTadpoleResend");
        config.keys[0].combination = 8;  // row 0: combination number 8
    }

    std::optional<KeyReport> Feed(std::uint8_t keyField, std::uint8_t kind,
                                  std::uint32_t count = REPORT_BUFFER_LENGTH) {
        std::array<std::uint8_t, REPORT_BUFFER_LENGTH> buffer{};
        buffer[1] = keyField;
        buffer[2] = kind;
        return HandleKeyReport(buffer, count, config, counter, ports);
    }

    ButtonConfig config = BuiltInKeys();
    FakeTimerPort timers;
    PressCounter counter{timers};
    zan::FakeWindowSystem windows;
    FakeLocalActions local;
    ActionPorts ports{windows, local};
};

TEST_F(KeyReportHandlerTest, ClickReportIsCountedNotPosted) {
    EXPECT_EQ(Feed(0x03, REPORT_KIND_CLICK), (KeyReport{KeyReportKind::Click, 3, 2}));
    EXPECT_EQ(counter.State(), PressState::Counting);
    EXPECT_TRUE(timers.IsArmed(TIMER_CLICK_WINDOW));
    EXPECT_TRUE(windows.TakePosts().empty());
    EXPECT_EQ(counter.TakePresses(), (PendingPresses{1, 22, 86}));
}

TEST_F(KeyReportHandlerTest, CombinationReportRunsItsRowAtOnce) {
    EXPECT_EQ(Feed(0x18, REPORT_KIND_COMBINATION), (KeyReport{KeyReportKind::Combination, 8, 0}));
    const zan::WindowMessage message{MSG_HOST_COMMAND, 39, 0};
    EXPECT_EQ(windows.TakePosts(), (std::vector<zan::FakeWindowSystem::Post>{
                                       {"TfrmForward@Vellum", message},
                                       {"TfrmTadpoleForward@ZanTadpoleResend", message}}));
    EXPECT_EQ(counter.State(), PressState::Idle);
}

TEST_F(KeyReportHandlerTest, CombinationDuringCountingLeavesTheCountAlone) {
    Feed(0x01, REPORT_KIND_CLICK);
    Feed(0x18, REPORT_KIND_COMBINATION);
    EXPECT_EQ(counter.TakePresses(), (PendingPresses{1, 33, 0}));
}

TEST_F(KeyReportHandlerTest, ReportsWithoutMeaningChangeNothing) {
    EXPECT_EQ(Feed(0x03, 0xCA), std::nullopt);
    EXPECT_EQ(Feed(0x09, REPORT_KIND_CLICK), std::nullopt);
    EXPECT_EQ(Feed(0x10, REPORT_KIND_COMBINATION), std::nullopt);
    EXPECT_EQ(Feed(0x03, REPORT_KIND_CLICK, READ_FAILED), std::nullopt);
    EXPECT_EQ(Feed(0x03, REPORT_KIND_CLICK, 2), std::nullopt);
    EXPECT_EQ(counter.State(), PressState::Idle);
    EXPECT_TRUE(timers.Calls().empty());
    EXPECT_TRUE(windows.TakePosts().empty());
    EXPECT_TRUE(local.TakeCalls().empty());
}

}  // namespace
