// The built zanmsg as a shell script or a test harness runs it.

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <csignal>
#include <memory>
#include <string>
#include <vector>

#include "platform/endpoints.h"
#include "test_support.h"

namespace zan {
namespace {

using endpoint_test::ChildProcess;
using endpoint_test::PrivateRuntimeFolder;
using endpoint_test::ProcessResult;

bool Exists(const std::string& path) {
    struct stat status {};
    return ::lstat(path.c_str(), &status) == 0;
}

class ZanmsgTest : public ::testing::Test {
protected:
    ProcessResult Zanmsg(std::vector<std::string> arguments) const {
        arguments.insert(arguments.begin(), ZANMSG_PROGRAM);
        return endpoint_test::Run(arguments, runtime_.environment());
    }
    std::unique_ptr<ChildProcess> Listen(const std::string& windowClass,
                                         const std::string& title) const {
        return std::make_unique<ChildProcess>(
            std::vector<std::string>{ZANMSG_PROGRAM, "listen", windowClass, title},
            runtime_.environment());
    }

    PrivateRuntimeFolder runtime_;
};

TEST_F(ZanmsgTest, HelpDocumentsCommandsAndExitStatuses) {
    const ProcessResult result = Zanmsg({"--help"});
    EXPECT_EQ(result.status, 0);
    for (const char* text : {"post CLASS TITLE MESSAGE", "find CLASS", "listen CLASS TITLE",
                             "Exit status", "2  usage error", "3  endpoint error"}) {
        EXPECT_NE(result.out.find(text), std::string::npos) << text;
    }
}

TEST_F(ZanmsgTest, UsageErrorsExitTwoWithAReason) {
    const std::vector<std::vector<std::string>> cases = {
        {},
        {"send", "A", "B", "1"},
        {"post", "A", "B"},
        {"post", "A", "B", "1", "2", "3", "4"},
        {"post", "A", "B", "12x"},
        {"post", "A", "B", "0x100000000"},
        {"post", "A", "B", "1", "-1"},
        {"post", "A", "B", "1", "0", "9223372036854775808"},
        {"find"},
        {"find", "A", "B", "C"},
        {"listen", "A"},
    };
    for (const auto& arguments : cases) {
        const ProcessResult result = Zanmsg(arguments);
        const std::string shown = arguments.empty() ? "(none)" : arguments[0];
        EXPECT_EQ(result.status, 2) << shown;
        EXPECT_NE(result.err.find("zanmsg: "), std::string::npos) << shown;
        EXPECT_TRUE(result.out.empty()) << shown;
    }
}

TEST_F(ZanmsgTest, MissingWindowExitsOne) {
    for (const std::vector<std::string>& arguments :
         {std::vector<std::string>{"find", "#32770", "ZanDriverSrv"},
          std::vector<std::string>{"find", "#32770"},
          std::vector<std::string>{"post", "#32770", "ZanDriverSrv", "2427"},
          std::vector<std::string>{"post", "TfrmForward", "-", "2034", "33"}}) {
        const ProcessResult result = Zanmsg(arguments);
        EXPECT_EQ(result.status, 1) << arguments[0] << " " << arguments[1];
        EXPECT_NE(result.err.find("no window with class"), std::string::npos) << result.err;
    }
}

TEST_F(ZanmsgTest, ListenPrintsEveryMessageAndFindShowsTheName) {
    const auto listener = Listen("#32770", "ZanDriverSrv");
    ASSERT_TRUE(listener->started());
    ASSERT_EQ(listener->ReadErrLine(), "listening on %2332770@ZanDriverSrv");

    const ProcessResult found = Zanmsg({"find", "#32770", "ZanDriverSrv"});
    EXPECT_EQ(found.status, 0);
    EXPECT_EQ(found.out, "%2332770@ZanDriverSrv\n");
    EXPECT_EQ(Zanmsg({"find", "#32770", "-"}).out, "%2332770@ZanDriverSrv\n");

    const std::vector<std::pair<std::vector<std::string>, std::string>> posts = {
        {{"2427"}, "2427 0 0"},
        {{"0x0112", "16"}, "274 16 0"},
        {{"2428", "0", "-5"}, "2428 0 -5"},
        {{"0xFFFFFFFF", "0x100000000", "-9223372036854775808"},
         "4294967295 4294967296 -9223372036854775808"},
        {{"2034", "18446744073709551615", "0x7FFFFFFFFFFFFFFF"},
         "2034 18446744073709551615 9223372036854775807"},
    };
    for (const auto& [numbers, line] : posts) {
        std::vector<std::string> arguments = {"post", "#32770", "ZanDriverSrv"};
        arguments.insert(arguments.end(), numbers.begin(), numbers.end());
        ASSERT_EQ(Zanmsg(arguments).status, 0) << line;
        // Each line is there before the next post: the listener flushes at once.
        EXPECT_EQ(listener->ReadOutLine(), line);
    }
    ASSERT_EQ(Zanmsg({"post", "#32770", "-", "2427"}).status, 0);
    EXPECT_EQ(listener->ReadOutLine(), "2427 0 0");
}

TEST_F(ZanmsgTest, TerminationSignalsRemoveTheEndpoint) {
    const std::string path = runtime_.windows() + "/TfrmForward@Vellum";
    for (const int signal : {SIGTERM, SIGINT, SIGHUP}) {
        SCOPED_TRACE(signal);
        const auto listener = Listen("TfrmForward", "Vellum");
        ASSERT_EQ(listener->ReadErrLine(), "listening on TfrmForward@Vellum");
        ASSERT_TRUE(Exists(path));
        listener->Signal(signal);
        const ProcessResult result = listener->Finish();
        EXPECT_EQ(result.status, 0) << result.err;
        EXPECT_FALSE(Exists(path));
        EXPECT_EQ(Zanmsg({"find", "TfrmForward", "Vellum"}).status, 1);
    }
}

TEST_F(ZanmsgTest, KilledListenerLeavesAStaleFileTheNextOneReplaces) {
    const std::string path = runtime_.windows() + "/TfrmForward@Vellum";
    {
        const auto killed = Listen("TfrmForward", "Vellum");
        ASSERT_EQ(killed->ReadErrLine(), "listening on TfrmForward@Vellum");
        killed->Signal(SIGKILL);
        EXPECT_EQ(killed->Finish().status, 128 + SIGKILL);
    }
    ASSERT_TRUE(Exists(path));
    EXPECT_EQ(Zanmsg({"post", "TfrmForward", "Vellum", "2034"}).status, 1);

    const auto next = Listen("TfrmForward", "Vellum");
    ASSERT_EQ(next->ReadErrLine(), "listening on TfrmForward@Vellum");
    ASSERT_EQ(Zanmsg({"post", "TfrmForward", "Vellum", "2034", "33"}).status, 0);
    EXPECT_EQ(next->ReadOutLine(), "2034 33 0");
}

TEST_F(ZanmsgTest, SecondListenerOnALiveNameExitsThree) {
    const auto first = Listen("#32770", "ZanDriverSrv");
    ASSERT_EQ(first->ReadErrLine(), "listening on %2332770@ZanDriverSrv");
    const ProcessResult second = Zanmsg({"listen", "#32770", "ZanDriverSrv"});
    EXPECT_EQ(second.status, 3);
    EXPECT_NE(second.err.find("is already open"), std::string::npos) << second.err;
    EXPECT_EQ(Zanmsg({"find", "#32770", "ZanDriverSrv"}).status, 0);
}

TEST_F(ZanmsgTest, EndpointErrorsExitThreeWithTheLayersMessage) {
    const std::string root = runtime_.path() + "/zansoftware";
    ASSERT_EQ(::mkdir(root.c_str(), 0755), 0);
    ASSERT_EQ(::chmod(root.c_str(), 0755), 0);
    for (const std::vector<std::string>& arguments :
         {std::vector<std::string>{"listen", "A", "B"}, std::vector<std::string>{"find", "A"},
          std::vector<std::string>{"post", "A", "B", "1"}}) {
        const ProcessResult result = Zanmsg(arguments);
        EXPECT_EQ(result.status, 3) << arguments[0];
        EXPECT_NE(result.err.find("is open to group or others"), std::string::npos) << result.err;
    }
    ASSERT_EQ(::chmod(root.c_str(), 0700), 0);
    const ProcessResult tooLong = Zanmsg({"listen", "A", std::string(120, 'x')});
    EXPECT_EQ(tooLong.status, 3);
    EXPECT_NE(tooLong.err.find("a socket path holds at most"), std::string::npos) << tooLong.err;
}

}  // namespace
}  // namespace zan
