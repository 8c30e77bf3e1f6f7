// ZanDriverSrv end to end: palmkey-sim plays the device on a umockdev
// testbed, the test's own endpoints play the host applications' relay
// windows, and every effect is a message that reaches them.

#include <gtest/gtest.h>

#include <filesystem>
#include <optional>

#include "service_harness.h"

namespace {

using namespace service_test;

using Codes = std::vector<std::uint64_t>;

std::vector<DocumentRow> Rows(std::initializer_list<std::pair<int, DocumentRow>> changes) {
    auto rows = BuiltInRows();
    for (const auto& [row, values] : changes) {
        rows[static_cast<std::size_t>(row)] = values;
    }
    return rows;
}

class ServiceEndToEndTest : public ::testing::Test {
protected:
    void TearDown() override {
        if (!simulator_) {
            return;
        }
        simulator_->WriteLine("quit");
        EXPECT_EQ(simulator_->WaitExit(), 0) << "the service ends with status 0";
        EXPECT_FALSE(std::filesystem::exists(session_.EndpointFile()));
    }

    void StartService(bool deviceAbsent = false) {
        std::vector<std::string> argv = {(BinDir() / "palmkey-sim").string()};
        if (deviceAbsent) {
            argv.emplace_back("--absent");
        }
        argv.emplace_back("--");
        argv.push_back(session_.ProgramPath().string());
        simulator_.emplace(Process::Start(argv, true));
        ASSERT_TRUE(simulator_->WaitForLine("started"));
        ASSERT_TRUE(session_.WaitForServiceWindow());
        if (!deviceAbsent) {
            WaitUntilDeviceIsRead();
        }
    }

    // Reports written before the first poll opens the node wait in it and
    // would all fall into one press window; a first press that comes
    // through shows the reader is running. Key 2 keeps its built-in click
    // code in every document of these tests.
    void WaitUntilDeviceIsRead() {
        Press(2);
        ExpectAtBothRelays({48});
    }

    // Sends one simulator command and waits until it is done.
    void Device(const std::string& command, const std::string& done) {
        simulator_->WriteLine(command);
        ASSERT_TRUE(simulator_->WaitForLine(done)) << command;
    }
    void Press(int key) { Device("press " + std::to_string(key), "pressed"); }
    // Two presses well inside one press window, paced because the simulated
    // node does not keep report boundaries.
    void DoublePress(int key) {
        Press(key);
        Device("sleep 100", "slept");
        Press(key);
    }

    // The codes both relays received, each in its own order.
    void ExpectAtBothRelays(const Codes& codes) {
        EXPECT_EQ(vellum_.WaitCodes(codes.size()), codes) << "host 1 (Vellum)";
        EXPECT_EQ(tadpole_.WaitCodes(codes.size()), codes) << "host 2 (Tadpole)";
    }

    // Presses key 1 until a press posts `code` (a reload races the press
    // that follows it); each press is resolved before the next.
    bool PressKey1UntilItPosts(std::uint64_t code) {
        for (int attempt = 0; attempt < 5; ++attempt) {
            Press(1);
            const auto host1 = vellum_.WaitCodes(1);
            const auto host2 = tadpole_.WaitCodes(1);
            if (host1 == Codes{code} && host2 == Codes{code}) {
                return true;
            }
        }
        return false;
    }

    Session session_;  // first: the relays' endpoints live in its runtime folder
    Relay vellum_{"TfrmForward", "Vellum"};
    Relay tadpole_{"TfrmTadpoleForward", "ZanTadpoleResend"};
    std::optional<Process> simulator_;
};

TEST_F(ServiceEndToEndTest, DevicePresentAtStartIsOpenedAndOnePressPostsTheClickCode) {
    StartService();  // its first press shows the device was opened
    Press(1);
    ExpectAtBothRelays({33});
}

TEST_F(ServiceEndToEndTest, DoublePressPostsDoubleThenClickCodeToEachHost) {
    StartService();
    DoublePress(3);
    ExpectAtBothRelays({86, 22});
}

TEST_F(ServiceEndToEndTest, DoublePressWithCode273PostsNothing) {
    StartService();
    DoublePress(8);
    // Once key 8's window has closed, key 1's press is the first to arrive.
    Device("sleep 800", "slept");
    Press(1);
    ExpectAtBothRelays({33});
}

TEST_F(ServiceEndToEndTest, CombinationRowWithCode8PostsCommand39) {
    session_.WriteDeliveredDocument(MakeDocument(1, BuiltInRows(), Rows({{0, {33, 0, 8}}})));
    StartService();
    Device("combo 8", "combo 8");  // combination number 8 selects row 0
    ExpectAtBothRelays({39});
}

TEST_F(ServiceEndToEndTest, CustomModeUsesTheCustomCodes) {
    session_.WriteDeliveredDocument(MakeDocument(1, BuiltInRows(), Rows({{2, {61, 62, 0}}})));
    StartService();
    Press(3);
    ExpectAtBothRelays({61});
}

TEST_F(ServiceEndToEndTest, ReloadMessageAppliesTheChangedDocument) {
    StartService();
    Press(1);
    ExpectAtBothRelays({33});
    session_.WriteDeliveredDocument(MakeDocument(0, Rows({{0, {44, 0, 0}}}), BuiltInRows()));
    ASSERT_TRUE(session_.PostToService(2427));
    EXPECT_TRUE(PressKey1UntilItPosts(44));
}

TEST_F(ServiceEndToEndTest, RemovalAndArrivalReopenTheDevice) {
    StartService();
    Press(1);
    ExpectAtBothRelays({33});
    Device("unplug", "unplugged");
    Device("plug", "plugged");
    // The press waits in the new node until the service has reopened it.
    Press(1);
    ExpectAtBothRelays({33});
    DoublePress(3);
    ExpectAtBothRelays({86, 22});
}

TEST_F(ServiceEndToEndTest, DeviceArrivingAfterStartIsOpened) {
    StartService(true);
    Device("plug", "plugged");
    Press(2);
    ExpectAtBothRelays({48});
}

TEST_F(ServiceEndToEndTest, ReportsWithoutARowAreIgnored) {
    StartService();
    Device("press 9", "pressed 9");
    Device("raw 03 ca", "raw sent");
    Device("combo 0", "combo 0");
    Device("sleep 800", "slept");
    Press(2);
    ExpectAtBothRelays({48});
}

}  // namespace
