// The device connection with fake devices: at most one device object and
// one reader, the device closed only after its reader left, prompt wake-up,
// and the notices that count.

#include "device_connection.h"

#include <gtest/gtest.h>

#include <vector>

#include "fake_device.h"

namespace {

using namespace std::chrono_literals;

const std::wstring PALMKEY_NAME =
    L"\\\\?\\HID#VID_1314&PID_1070#hidraw0#{4d1e55b2-f16f-11cf-88cb-001111000030}";
const std::wstring OTHER_NAME =
    L"\\\\?\\HID#VID_046D&PID_C52B#hidraw1#{4d1e55b2-f16f-11cf-88cb-001111000030}";

class DeviceConnectionTest : public ::testing::Test {
protected:
    DeviceConnectionTest()
        : connection_(sink_, {.findDevicePath =
                                  [this](std::wstring& path) {
                                      path = L"/dev/hidraw0";
                                      return devicePresent_;
                                  },
                              .makeDevice = [this] { return std::make_unique<FakeDevice>(log_); },
                              .armPollTimer = [this] { ++pollArmed_; },
                              .killPollTimer = [this] { ++pollKilled_; },
                              .reloadConfig = [this] { ++reloads_; }}) {}

    void Notice(std::uint32_t event, const std::wstring& name,
                std::uint32_t type = DBT_DEVTYP_DEVICEINTERFACE) {
        DevBroadcastDeviceInterface record;
        record.deviceType = type;
        record.name = name;
        connection_.OnDeviceChange(event, &record);
    }

    bool WaitUntilReading() {
        std::unique_lock lock(log_.mutex);
        return log_.changed.wait_for(lock, 10s, [&] { return log_.readsInProgress > 0; });
    }

    DeviceLog log_;
    RecordingSink sink_;
    bool devicePresent_ = true;
    int pollArmed_ = 0;
    int pollKilled_ = 0;
    int reloads_ = 0;
    DeviceConnection connection_;
};

TEST_F(DeviceConnectionTest, PollOpensThePresentDeviceAndStartsOneReader) {
    connection_.Poll();
    EXPECT_TRUE(connection_.HasDevice());
    EXPECT_TRUE(connection_.ReaderRunning());
    EXPECT_EQ(pollKilled_, 1);
    ASSERT_TRUE(WaitUntilReading());
}

TEST_F(DeviceConnectionTest, PollWithoutDeviceDoesNothing) {
    devicePresent_ = false;
    connection_.Poll();
    EXPECT_FALSE(connection_.HasDevice());
    EXPECT_EQ(log_.made, 0);
    EXPECT_EQ(pollKilled_, 0);
}

TEST_F(DeviceConnectionTest, FailedOpenReleasesTheObjectAndKeepsPolling) {
    log_.openSucceeds = false;
    connection_.Poll();
    EXPECT_FALSE(connection_.HasDevice());
    EXPECT_FALSE(connection_.ReaderRunning());
    EXPECT_EQ(log_.live, 0);
    EXPECT_EQ(pollKilled_, 0);
}

TEST_F(DeviceConnectionTest, TwoArrivalNoticesEndWithOneDeviceAndOneReader) {
    connection_.Poll();
    ASSERT_TRUE(WaitUntilReading());
    Notice(DBT_DEVICEARRIVAL, PALMKEY_NAME);
    EXPECT_FALSE(connection_.ReaderRunning()) << "asked to stop; the next poll joins it";
    Notice(DBT_DEVICEARRIVAL, PALMKEY_NAME);
    EXPECT_EQ(reloads_, 2);
    EXPECT_EQ(pollArmed_, 2);
    connection_.Poll();
    connection_.Poll();  // a tick that was due before the kill took effect
    ASSERT_TRUE(WaitUntilReading());

    std::lock_guard lock(log_.mutex);
    EXPECT_EQ(log_.made, 2);
    EXPECT_EQ(log_.live, 1);
    EXPECT_EQ(log_.closedWhileReading, 0);
    EXPECT_EQ(log_.readsInProgress, 1);
}

TEST_F(DeviceConnectionTest, RemovalWakesTheReaderAndClosesTheDeviceAfterIt) {
    connection_.Poll();
    ASSERT_TRUE(WaitUntilReading());
    Notice(DBT_DEVICEREMOVECOMPLETE, PALMKEY_NAME);

    EXPECT_FALSE(connection_.HasDevice());
    EXPECT_FALSE(connection_.ReaderRunning());
    EXPECT_EQ(pollArmed_, 0) << "a removal does not poll again";
    std::lock_guard lock(log_.mutex);
    EXPECT_EQ(log_.live, 0);
    EXPECT_EQ(log_.wokenReads, 1) << "the blocked read was woken, not waited out";
    EXPECT_EQ(log_.closedWhileReading, 0);
}

TEST_F(DeviceConnectionTest, RemovalWithoutDeviceChangesNothing) {
    Notice(DBT_DEVICEREMOVECOMPLETE, PALMKEY_NAME);
    EXPECT_FALSE(connection_.ReaderRunning());
    EXPECT_EQ(log_.made, 0);
}

TEST_F(DeviceConnectionTest, NoticesThatAreNotThePalmkeysChangeNothing) {
    struct Case {
        std::uint32_t event;
        std::wstring name;
        std::uint32_t type;
    };
    const std::vector<Case> cases = {
        {DBT_DEVICEARRIVAL, OTHER_NAME, DBT_DEVTYP_DEVICEINTERFACE},
        {DBT_DEVICEARRIVAL, PALMKEY_NAME, 2},  // a volume notice
        {0x0007, PALMKEY_NAME, DBT_DEVTYP_DEVICEINTERFACE},
        {DBT_DEVICEREMOVECOMPLETE, L"\\\\?\\HID#VID_1314", DBT_DEVTYP_DEVICEINTERFACE},
    };
    connection_.Poll();
    ASSERT_TRUE(WaitUntilReading());
    for (const auto& notice : cases) {
        Notice(notice.event, notice.name, notice.type);
    }
    connection_.OnDeviceChange(DBT_DEVICEARRIVAL, nullptr);
    EXPECT_EQ(reloads_, 0);
    EXPECT_EQ(pollArmed_, 0);
    EXPECT_TRUE(connection_.HasDevice());
    EXPECT_TRUE(connection_.ReaderRunning());
}

TEST_F(DeviceConnectionTest, ReaderHandsOnEachReportInAClearedBuffer) {
    {
        std::lock_guard lock(log_.mutex);
        log_.reports.push_back(std::vector<std::uint8_t>(64, 0xEE));
        log_.reports.push_back({0x00, 0x03, 0x1A});
    }
    connection_.Poll();
    ASSERT_TRUE(sink_.WaitFor(2));
    connection_.ReleaseDevice();

    EXPECT_EQ(sink_.counts_, (std::vector<std::uint32_t>{64, 3}));
    std::vector<std::uint8_t> second(64, 0);
    second[1] = 0x03;
    second[2] = 0x1A;
    EXPECT_EQ(sink_.reports_[1], second) << "stale bytes of the first report must not remain";
}

}  // namespace
