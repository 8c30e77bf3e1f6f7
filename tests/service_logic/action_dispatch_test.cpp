#include "action_dispatch.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "built_in_keys.h"
#include "fake_local_actions.h"
#include "platform/fake_window_system.h"
#include "service_constants.h"

namespace {

using Post = zan::FakeWindowSystem::Post;

const std::string HOST1 = "TfrmForward@Vellum";
const std::string HOST2 = "TfrmTadpoleForward@ZanTadpoleResend";

class ActionDispatchTest : public testing::Test {
protected:
    ActionDispatchTest() {
        windows.AddWindow("TfrmForward", "Vellum");
        windows.AddWindow("TfrmTadpoleForward", "ZanTadpoleResend");
    }

    // Runs `code` from row 5 of an otherwise built-in table.
    void RunCode(std::int32_t code) {
        ButtonConfig config = BuiltInKeys();
        config.keys[5].combination = code;
        config.keys[5].exePath = L"/opt/board/bin/board-tool";
        RunAction(config, 5, ports);
    }

    zan::FakeWindowSystem windows;
    FakeLocalActions local;
    ActionPorts ports{windows, local};
};

struct HostCommandCase {
    std::int32_t action;
    std::uint64_t hostCode;
};

void PrintTo(const HostCommandCase& testCase, std::ostream* out) {
    *out << "action " << testCase.action << " posts " << testCase.hostCode;
}

class HostCommandActionTest : public ActionDispatchTest,
                              public testing::WithParamInterface<HostCommandCase> {};

TEST_P(HostCommandActionTest, PostsTheFixedCodeToBothRelays) {
    RunCode(GetParam().action);
    const zan::WindowMessage message{MSG_HOST_COMMAND, GetParam().hostCode, 0};
    EXPECT_EQ(windows.TakePosts(), (std::vector<Post>{{HOST1, message}, {HOST2, message}}));
    EXPECT_TRUE(local.TakeCalls().empty());
}

INSTANTIATE_TEST_SUITE_P(Codes, HostCommandActionTest,
                         testing::Values(HostCommandCase{8, 39}, HostCommandCase{9, 38},
                                         HostCommandCase{10, 37}, HostCommandCase{11, 53}),
                         [](const testing::TestParamInfo<HostCommandCase>& tested) {
                             return "action_" + std::to_string(tested.param.action);
                         });

struct LocalActionCase {
    std::int32_t action;
    const wchar_t* call;
};

void PrintTo(const LocalActionCase& testCase, std::ostream* out) {
    *out << "action " << testCase.action;
}

class LocalActionTest : public ActionDispatchTest,
                        public testing::WithParamInterface<LocalActionCase> {};

TEST_P(LocalActionTest, ReachesItsLocalActionAndPostsNothing) {
    RunCode(GetParam().action);
    EXPECT_EQ(local.TakeCalls(), std::vector<std::wstring>{GetParam().call});
    EXPECT_TRUE(windows.TakePosts().empty());
}

INSTANTIATE_TEST_SUITE_P(
    Codes, LocalActionTest,
    testing::Values(LocalActionCase{1, L"VolumeUp"}, LocalActionCase{2, L"VolumeDown"},
                    LocalActionCase{3, L"ToggleMute"}, LocalActionCase{4, L"HostPrint"},
                    LocalActionCase{5, L"ScreenCopy"}, LocalActionCase{6, L"ToggleCalculator"},
                    LocalActionCase{7, L"ToggleOnScreenKeyboard"},
                    LocalActionCase{12, L"LaunchProgram:/opt/board/bin/board-tool"}),
    [](const testing::TestParamInfo<LocalActionCase>& tested) {
        return "action_" + std::to_string(tested.param.action);
    });

class NoActionTest : public ActionDispatchTest, public testing::WithParamInterface<std::int32_t> {};

TEST_P(NoActionTest, DoesNothing) {
    RunCode(GetParam());
    EXPECT_TRUE(windows.TakePosts().empty());
    EXPECT_TRUE(local.TakeCalls().empty());
}

// The built-in combination values are host command numbers, not actions.
INSTANTIATE_TEST_SUITE_P(Codes, NoActionTest, testing::Values(0, 13, 37, 38, 39, 53, -1, -8));

TEST_F(ActionDispatchTest, RunsTheCodeOfTheSelectedRow) {
    ButtonConfig config = BuiltInKeys();
    config.keys[0].combination = 8;
    config.keys[7].combination = 11;
    RunAction(config, 7, ports);
    const zan::WindowMessage message{MSG_HOST_COMMAND, 53, 0};
    EXPECT_EQ(windows.TakePosts(), (std::vector<Post>{{HOST1, message}, {HOST2, message}}));
}

TEST_F(ActionDispatchTest, RowOutsideTheTableDoesNothing) {
    ButtonConfig config = BuiltInKeys();
    for (auto& key : config.keys) {
        key.combination = 8;
    }
    RunAction(config, -1, ports);
    RunAction(config, KEY_ROW_COUNT, ports);
    EXPECT_TRUE(windows.TakePosts().empty());
}

TEST_F(ActionDispatchTest, BuiltInTableRunsNoActionOnAnyRow) {
    const ButtonConfig config = BuiltInKeys();
    for (int row = 0; row < KEY_ROW_COUNT; ++row) {
        RunAction(config, row, ports);
    }
    EXPECT_TRUE(windows.TakePosts().empty());
    EXPECT_TRUE(local.TakeCalls().empty());
}

}  // namespace
