// The device connection with fake devices: at most one device object and
// one reader, the device closed only after its reader left, prompt wake-up,
// and the notices that count.

#include "device_connection.h"

#include <gtest/gtest.h>

#include <atomic>
#include <condition_variable>
#include <deque>
#include <mutex>
#include <vector>

namespace {

using namespace std::chrono_literals;

const std::wstring kPalmkeyName =
    L"\\\\?\\HID#VID_1314&PID_1070#hidraw0#{4d1e55b2-f16f-11cf-88cb-001111000030}";
const std::wstring kOtherName =
    L"\\\\?\\HID#VID_046D&PID_C52B#hidraw1#{4d1e55b2-f16f-11cf-88cb-001111000030}";

// What every fake device did, shared by the test and the devices.
struct DeviceLog {
    std::mutex mutex;
    std::condition_variable changed;
    int made = 0;
    int live = 0;  // made and not yet closed
    int closedWhileReading = 0;
    int readsInProgress = 0;
    int wokenReads = 0;
    std::deque<std::vector<std::uint8_t>> reports;  // handed out one per read
    bool openSucceeds = true;
};

class FakeDevice final : public CDeviceBase {
public:
    explicit FakeDevice(DeviceLog& log) : log_(log) {
        std::lock_guard lock(log_.mutex);
        ++log_.made;
        ++log_.live;
    }
    bool Open() override {
        std::lock_guard lock(log_.mutex);
        return log_.openSucceeds;
    }
    bool Init(const std::wstring& /*path*/, bool /*overlapped*/) override { return true; }
    bool Close() override {
        std::lock_guard lock(log_.mutex);
        if (log_.readsInProgress > 0) {
            ++log_.closedWhileReading;
        }
        --log_.live;
        return true;
    }
    // Hands out a queued report, else waits for a wake (no time-out: a
    // reader that is not woken would hang the test, which then fails).
    std::uint32_t Read(std::uint8_t* buffer, std::uint32_t length) override {
        std::unique_lock lock(log_.mutex);
        ++log_.readsInProgress;
        log_.changed.notify_all();
        log_.changed.wait(lock, [&] { return woken_ || !log_.reports.empty(); });
        --log_.readsInProgress;
        if (woken_) {
            woken_ = false;
            ++log_.wokenReads;
            return 0;
        }
        const auto report = log_.reports.front();
        log_.reports.pop_front();
        const auto count = static_cast<std::uint32_t>(std::min<std::size_t>(report.size(), length));
        std::copy_n(report.begin(), count, buffer);
        return count;
    }
    bool Write(const std::uint8_t* /*buffer*/, std::uint32_t /*length*/) override { return false; }
    void Wake() override {
        std::lock_guard lock(log_.mutex);
        woken_ = true;
        log_.changed.notify_all();
    }

private:
    DeviceLog& log_;
    bool woken_ = false;
};

class RecordingSink final : public ReportSink {
public:
    void OnReport(std::span<const std::uint8_t> buffer, std::uint32_t count) override {
        std::lock_guard lock(mutex_);
        reports_.emplace_back(buffer.begin(), buffer.end());
        counts_.push_back(count);
        changed_.notify_all();
    }
    // Bounded wait for n reports.
    bool WaitFor(std::size_t n) {
        std::unique_lock lock(mutex_);
        return changed_.wait_for(lock, 10s, [&] { return reports_.size() >= n; });
    }
    std::vector<std::vector<std::uint8_t>> reports_;
    std::vector<std::uint32_t> counts_;

private:
    std::mutex mutex_;
    std::condition_variable changed_;
};

class DeviceConnectionTest : public ::testing::Test {
protected:
    DeviceConnectionTest()
        : connection_(state_, sink_,
                      {.findDevicePath =
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
    DriverState state_;
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
    EXPECT_EQ(state_.bRunning.load(), 1);
    EXPECT_NE(state_.pDevice.load(), nullptr);
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
    Notice(DBT_DEVICEARRIVAL, kPalmkeyName);
    Notice(DBT_DEVICEARRIVAL, kPalmkeyName);
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
    Notice(DBT_DEVICEREMOVECOMPLETE, kPalmkeyName);

    EXPECT_FALSE(connection_.HasDevice());
    EXPECT_FALSE(connection_.ReaderRunning());
    EXPECT_EQ(state_.pDevice.load(), nullptr);
    EXPECT_EQ(pollArmed_, 0) << "a removal does not poll again";
    std::lock_guard lock(log_.mutex);
    EXPECT_EQ(log_.live, 0);
    EXPECT_EQ(log_.wokenReads, 1) << "the blocked read was woken, not waited out";
    EXPECT_EQ(log_.closedWhileReading, 0);
}

TEST_F(DeviceConnectionTest, RemovalWithoutDeviceOnlyClearsTheRunningFlag) {
    state_.bRunning.store(1);
    Notice(DBT_DEVICEREMOVECOMPLETE, kPalmkeyName);
    EXPECT_EQ(state_.bRunning.load(), 0);
    EXPECT_EQ(log_.made, 0);
}

TEST_F(DeviceConnectionTest, NoticesThatAreNotThePalmkeysChangeNothing) {
    struct Case {
        std::uint32_t event;
        std::wstring name;
        std::uint32_t type;
    };
    const std::vector<Case> cases = {
        {DBT_DEVICEARRIVAL, kOtherName, DBT_DEVTYP_DEVICEINTERFACE},
        {DBT_DEVICEARRIVAL, kPalmkeyName, 2},  // a volume notice
        {0x0007, kPalmkeyName, DBT_DEVTYP_DEVICEINTERFACE},
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
    EXPECT_EQ(state_.bRunning.load(), 1);
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
