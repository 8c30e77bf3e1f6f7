// ZanDriverSrv as a process, without a device: found by its window pair,
// one per session, ended cleanly by WM_CLOSE and by signals.

#include <gtest/gtest.h>

#include <csignal>
#include <filesystem>
#include <string>
#include <vector>

#include "service_harness.h"

namespace {

using namespace service_test;

class ServiceProcessTest : public ::testing::Test {
protected:
    Process StartService() {
        auto service = Process::Start({session_.ProgramPath().string()}, false);
        EXPECT_TRUE(session_.WaitForServiceWindow());
        return service;
    }
    int RunZanmsg(const std::vector<std::string>& arguments, std::string* output = nullptr) {
        std::vector<std::string> argv = {(BinDir() / "zanmsg").string()};
        argv.insert(argv.end(), arguments.begin(), arguments.end());
        auto zanmsg = Process::Start(argv, false);
        const auto status = zanmsg.WaitExit();
        if (output != nullptr) {
            *output = zanmsg.ReadLine(1s).value_or("");
        }
        return status.value_or(-1);
    }

    Session session_;
};

TEST_F(ServiceProcessTest, IsFoundByItsWindowClassAndTitle) {
    auto service = StartService();
    std::string found;
    EXPECT_EQ(RunZanmsg({"find", "#32770", "ZanDriverSrv"}, &found), 0);
    EXPECT_EQ(found, "%2332770@ZanDriverSrv");
    service.Signal(SIGTERM);
    EXPECT_EQ(service.WaitExit(), 0);
}

TEST_F(ServiceProcessTest, SecondInstanceEndsAtOnceWithOneLine) {
    auto first = StartService();
    auto second = Process::Start({session_.ProgramPath().string()}, false);
    EXPECT_EQ(second.WaitExit(), 0);
    const std::string said = second.Stderr();
    EXPECT_NE(said.find("already running"), std::string::npos) << said;
    EXPECT_EQ(said.find('\n'), said.size() - 1) << "one line: " << said;
    EXPECT_TRUE(std::filesystem::exists(session_.EndpointFile())) << "the first keeps its window";
    EXPECT_FALSE(first.WaitExit(0ms)) << "the first keeps running";
    first.Signal(SIGTERM);
    EXPECT_EQ(first.WaitExit(), 0);
}

TEST_F(ServiceProcessTest, OtherMessagesAreIgnored) {
    auto service = StartService();
    EXPECT_EQ(RunZanmsg({"post", "#32770", "ZanDriverSrv", "2428", "0", "4"}), 0);
    EXPECT_EQ(RunZanmsg({"post", "#32770", "ZanDriverSrv", "0x0112", "0xF020"}), 0);
    EXPECT_EQ(RunZanmsg({"post", "#32770", "ZanDriverSrv", "0x0112", "16"}), 0);
    EXPECT_EQ(RunZanmsg({"post", "#32770", "ZanDriverSrv", "12345", "1", "-1"}), 0);
    EXPECT_EQ(RunZanmsg({"post", "#32770", "ZanDriverSrv", "2427"}), 0);
    // Still answering: a find after the messages succeeds.
    EXPECT_EQ(RunZanmsg({"find", "#32770", "ZanDriverSrv"}), 0);
    EXPECT_FALSE(service.WaitExit(0ms));
    service.Signal(SIGTERM);
    EXPECT_EQ(service.WaitExit(), 0);
}

struct EndingCase {
    const char* name;
    std::vector<std::string> message;  // zanmsg post arguments after class and title
    int signalNumber;
};

void PrintTo(const EndingCase& testCase, std::ostream* out) {
    *out << testCase.name;
}

class ServiceEndingTest : public ServiceProcessTest,
                          public ::testing::WithParamInterface<EndingCase> {};

TEST_P(ServiceEndingTest, EndsCleanlyWithoutLeavingItsEndpoint) {
    auto service = StartService();
    if (!GetParam().message.empty()) {
        std::vector<std::string> arguments{"post", "#32770", "ZanDriverSrv"};
        arguments.insert(arguments.end(), GetParam().message.begin(), GetParam().message.end());
        EXPECT_EQ(RunZanmsg(arguments), 0);
    } else {
        service.Signal(GetParam().signalNumber);
    }
    EXPECT_EQ(service.WaitExit(), 0);
    EXPECT_FALSE(std::filesystem::exists(session_.EndpointFile()));
    EXPECT_EQ(RunZanmsg({"find", "#32770", "ZanDriverSrv"}), 1);
}

INSTANTIATE_TEST_SUITE_P(Endings, ServiceEndingTest,
                         ::testing::Values(EndingCase{"WmClose", {"0x0010"}, 0},
                                           EndingCase{"SystemMenuClose", {"0x0112", "0xF060"}, 0},
                                           EndingCase{"Sigterm", {}, SIGTERM},
                                           EndingCase{"Sigint", {}, SIGINT}),
                         [](const auto& testInfo) { return std::string(testInfo.param.name); });

}  // namespace
