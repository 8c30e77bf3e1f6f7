#include "host_commands.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "case_name.h"
#include "platform/fake_window_system.h"
#include "service_constants.h"

namespace {

using Post = zan::FakeWindowSystem::Post;

const std::string HOST1 = "TfrmForward@Vellum";
const std::string HOST2 = "TfrmTadpoleForward@ZanTadpoleResend";

Post CommandTo(const std::string& window, std::uint64_t code) {
    return {window, {MSG_HOST_COMMAND, code, 0}};
}

struct RelayCase {
    const char* what;
    bool host1Running;
    bool host2Running;
    std::vector<Post> expected;
};

void PrintTo(const RelayCase& testCase, std::ostream* out) {
    *out << testCase.what;
}

class PostHostCommandTest : public testing::TestWithParam<RelayCase> {};

TEST_P(PostHostCommandTest, PostsToHostOneThenHostTwoSkippingMissingRelays) {
    const RelayCase& c = GetParam();
    zan::FakeWindowSystem windows;
    if (c.host2Running) {
        windows.AddWindow("TfrmTadpoleForward", "ZanTadpoleResend");
    }
    if (c.host1Running) {
        windows.AddWindow("TfrmForward", "Vellum");
    }
    PostHostCommand(windows, 33);
    EXPECT_EQ(windows.TakePosts(), c.expected) << c.what;
}

INSTANTIATE_TEST_SUITE_P(
    Relays, PostHostCommandTest,
    testing::Values(RelayCase{"both", true, true, {CommandTo(HOST1, 33), CommandTo(HOST2, 33)}},
                    RelayCase{"host 1 only", true, false, {CommandTo(HOST1, 33)}},
                    RelayCase{"host 2 only", false, true, {CommandTo(HOST2, 33)}},
                    RelayCase{"neither", false, false, {}}),
    CaseName<RelayCase>);

TEST(PostHostCommands, EachHostGetsTheWholeSequenceBeforeTheNext) {
    zan::FakeWindowSystem windows;
    windows.AddWindow("TfrmForward", "Vellum");
    windows.AddWindow("TfrmTadpoleForward", "ZanTadpoleResend");
    PostHostCommands(windows, {86, 22});
    EXPECT_EQ(windows.TakePosts(), (std::vector<Post>{CommandTo(HOST1, 86), CommandTo(HOST1, 22),
                                                      CommandTo(HOST2, 86), CommandTo(HOST2, 22)}));
}

TEST(PostHostCommand, LooksTheRelaysUpAgainForEveryCommand) {
    zan::FakeWindowSystem windows;
    windows.AddWindow("TfrmForward", "Vellum");
    PostHostCommand(windows, 1);
    windows.AddWindow("TfrmTadpoleForward", "ZanTadpoleResend");
    windows.RemoveWindow("TfrmForward", "Vellum");
    PostHostCommand(windows, 2);
    EXPECT_EQ(windows.TakePosts(), (std::vector<Post>{CommandTo(HOST1, 1), CommandTo(HOST2, 2)}));
}

TEST(PostHostCommand, MatchesClassAndTitleExactly) {
    zan::FakeWindowSystem windows;
    windows.AddWindow("TfrmForward", "Vellum 2");
    windows.AddWindow("TfrmForwardX", "Vellum");
    windows.AddWindow("TfrmTadpoleForward", "zantadpoleresend");
    PostHostCommand(windows, 5);
    EXPECT_TRUE(windows.TakePosts().empty());
}

TEST(HostCommandMessage, CarriesTheCodeAsA32BitValue) {
    EXPECT_EQ(HostCommandMessage(0), (zan::WindowMessage{MSG_HOST_COMMAND, 0, 0}));
    EXPECT_EQ(HostCommandMessage(2147483647),
              (zan::WindowMessage{MSG_HOST_COMMAND, 0x7FFFFFFF, 0}));
    EXPECT_EQ(HostCommandMessage(-1), (zan::WindowMessage{MSG_HOST_COMMAND, 0xFFFFFFFF, 0}));
}

}  // namespace
