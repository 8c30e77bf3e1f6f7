// ZanDriverSrv as a process, without a device: found by its window pair,
// one per session, ended cleanly by WM_CLOSE and by signals.

#include <gtest/gtest.h>
#include <sys/socket.h>
#include <sys/un.h>

#include <csignal>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "platform/unique_fd.h"
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

// Sets an environment variable for the service started within its life.
class ScopedEnvironment {
public:
    ScopedEnvironment(const char* name, const std::string& value) : name_(name) {
        ::setenv(name, value.c_str(), 1);
    }
    ~ScopedEnvironment() { ::unsetenv(name_); }
    ScopedEnvironment(const ScopedEnvironment&) = delete;
    ScopedEnvironment& operator=(const ScopedEnvironment&) = delete;

private:
    const char* name_;
};

TEST_F(ServiceProcessTest, QtIsGivenNoneOfTheCommandLine) {
    // A socket that accepts connections passes the service's display probe,
    // so it makes a QApplication; the offscreen platform needs no server.
    const std::string wayland = (session_.root() / "wayland-test").string();
    const zan::UniqueFd compositor(::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0));
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    ASSERT_LT(wayland.size(), sizeof address.sun_path);
    std::memcpy(address.sun_path, wayland.c_str(), wayland.size() + 1);
    ASSERT_EQ(::bind(compositor.get(), reinterpret_cast<const sockaddr*>(&address), sizeof address),
              0);
    ASSERT_EQ(::listen(compositor.get(), 8), 0);
    const ScopedEnvironment display("WAYLAND_DISPLAY", wayland);
    const ScopedEnvironment platform("QT_QPA_PLATFORM", "offscreen");

    // Qt would end the process over a platform it cannot load.
    auto service = Process::Start({session_.ProgramPath().string(), "-platform", "no-such-platform",
                                   "-style", "no-such-style"},
                                  false);
    EXPECT_TRUE(session_.WaitForServiceWindow());
    service.Signal(SIGTERM);
    EXPECT_EQ(service.WaitExit(), 0) << service.Stderr();
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
