// CHidWriteAndRead on a umockdev testbed. Built twice: against CommlinkW and
// against CommlinkA.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <future>

#include "commlink/CHidWriteAndRead.h"
#include "commlink_text.h"
#include "simulated_palmkey/simulated_palmkey.h"

namespace {

using zan::test::PALMKEY_KIND_CLICK;
using zan::test::PALMKEY_KIND_COMBINATION;
using zan::test::SimulatedDeviceBed;
using zan::test::SimulatedHidDevice;
using zan::test::SimulatedHidSpec;

constexpr std::uint32_t BUFFER_SIZE = 64;
constexpr int REPORT_WAIT_MS = 5000;
constexpr int SHORT_TIMEOUT_MS = 30;
// A read that only a wake can end within the test's bounded wait.
constexpr int LONG_TIMEOUT_MS = 120000;
constexpr auto BOUNDED_WAIT = std::chrono::seconds(20);

using Buffer = std::array<std::uint8_t, BUFFER_SIZE>;

bool FdIsOpen(int fd) {
    return ::fcntl(fd, F_GETFD) != -1;
}

class HidChannel : public ::testing::Test {
protected:
    void TearDown() override {
        channel_.CloseHid();
        channel_.closeOvR();
        channel_.closeOvW();
    }

    void OpenBoth(const SimulatedHidDevice& device) {
        const CommlinkString path = ToCommlinkString(device.devnode);
        ASSERT_EQ(channel_.OpenHidR(path, 1), 1);
        ASSERT_EQ(channel_.OpenHidW(path, 1), 1);
    }

    // Starts a read on another thread; the test waits for it a bounded time.
    std::future<std::uint32_t> ReadInBackground(int timeoutMs) {
        return std::async(std::launch::async, [this, timeoutMs] {
            return channel_.ReadHidOv(background_.data(), BUFFER_SIZE, timeoutMs);
        });
    }

    // A read left blocked by a failing test is ended by a report before the
    // future's destructor joins it.
    void Release(std::future<std::uint32_t>& read, const SimulatedHidDevice& device) {
        if (read.wait_for(BOUNDED_WAIT) != std::future_status::ready) {
            ADD_FAILURE() << "the read did not return";
            bed_.WriteKey(device, 1, PALMKEY_KIND_CLICK);
        }
    }

    SimulatedDeviceBed bed_;
    CHidWriteAndRead channel_{1};
    Buffer background_{};
};

TEST_F(HidChannel, PathSearchReturnsTheNodeEmptyOrNothing) {
    EXPECT_EQ(channel_.GetHIDDevicePathName(0x1314, 0x1070, 0), ToCommlinkString(""));
    SimulatedHidSpec keyboard;
    keyboard.vendorId = 0x046D;
    keyboard.productId = 0xC31C;
    keyboard.reportDescriptor = zan::test::KeyboardReportDescriptor();
    keyboard.inputReportSize = 8;
    bed_.AddHidDevice(keyboard);
    EXPECT_EQ(channel_.GetHIDDevicePathName(0x1314, 0x1070, 0), ToCommlinkString(""));
    bed_.AddPalmkey();
    EXPECT_EQ(channel_.GetHIDDevicePathName(0x1314, 0x1070, 0), ToCommlinkString("/dev/hidraw1"));
    EXPECT_EQ(channel_.GetHIDDevicePathName(0x1314, 0x1070, 0xFFFFFFFF),
              ToCommlinkString("/dev/hidraw1"));
    EXPECT_EQ(channel_.GetHIDDevicePathName(0x11314, 0x1070, 0), ToCommlinkString(""));
    EXPECT_EQ(channel_.GetHIDDevicePathName(0x1314, 0x11070, 0), ToCommlinkString(""));
}

TEST_F(HidChannel, ReportsComeOutOnePerReadWithTheZeroIdFirst) {
    const SimulatedHidDevice palmkey = bed_.AddPalmkey();
    OpenBoth(palmkey);
    const std::array<std::pair<std::uint8_t, std::uint8_t>, 4> keys = {
        {{3, PALMKEY_KIND_CLICK},
         {0x18, PALMKEY_KIND_COMBINATION},
         {8, PALMKEY_KIND_CLICK},
         {1, 0xCA}}};
    for (const auto& [key, kind] : keys) {
        ASSERT_TRUE(bed_.WriteKey(palmkey, key, kind));
        Buffer buffer;
        buffer.fill(0xEE);
        ASSERT_EQ(channel_.ReadHidOv(buffer.data(), BUFFER_SIZE, REPORT_WAIT_MS), 64U);
        EXPECT_EQ(buffer[0], 0);
        EXPECT_EQ(buffer[1], key);
        EXPECT_EQ(buffer[2], kind);
        EXPECT_EQ(buffer[63], 0);
    }
}

TEST_F(HidChannel, ReportsQueuedBackToBackComeOutOnceInOrder) {
    const SimulatedHidDevice palmkey = bed_.AddPalmkey();
    OpenBoth(palmkey);
    for (std::uint8_t key = 1; key <= 8; ++key) {
        ASSERT_TRUE(bed_.WriteKey(palmkey, key, PALMKEY_KIND_CLICK));
    }
    Buffer buffer{};
    for (std::uint8_t key = 1; key <= 8; ++key) {
        ASSERT_EQ(channel_.ReadHidOv(buffer.data(), BUFFER_SIZE, REPORT_WAIT_MS), 64U);
        EXPECT_EQ(buffer[1], key);
    }
    EXPECT_EQ(channel_.ReadHidOv(buffer.data(), BUFFER_SIZE, SHORT_TIMEOUT_MS), 0U);
}

TEST_F(HidChannel, ReportsWithIdsComeOutUnchanged) {
    const SimulatedHidDevice palmkey = bed_.AddPalmkey(true);
    OpenBoth(palmkey);
    ASSERT_TRUE(bed_.WriteKey(palmkey, 5, PALMKEY_KIND_CLICK, true));
    Buffer buffer{};
    ASSERT_EQ(channel_.ReadHidOv(buffer.data(), BUFFER_SIZE, REPORT_WAIT_MS), 64U);
    EXPECT_EQ(buffer[0], 1);
    EXPECT_EQ(buffer[1], 5);
    EXPECT_EQ(buffer[2], PALMKEY_KIND_CLICK);
}

TEST_F(HidChannel, TimeOutGivesZeroAndLeavesNoReadBehind) {
    const SimulatedHidDevice palmkey = bed_.AddPalmkey();
    OpenBoth(palmkey);
    Buffer buffer{};
    EXPECT_EQ(channel_.ReadHidOv(buffer.data(), BUFFER_SIZE, SHORT_TIMEOUT_MS), 0U);
    EXPECT_EQ(channel_.ReadHidOv(buffer.data(), BUFFER_SIZE, 0), 0U);
    EXPECT_EQ(buffer, Buffer{});

    // The report that comes after the time-out reaches the next read, once.
    ASSERT_TRUE(bed_.WriteKey(palmkey, 2, PALMKEY_KIND_CLICK));
    ASSERT_EQ(channel_.ReadHidOv(buffer.data(), BUFFER_SIZE, REPORT_WAIT_MS), 64U);
    EXPECT_EQ(buffer[1], 2);
    EXPECT_EQ(channel_.ReadHidOv(buffer.data(), BUFFER_SIZE, SHORT_TIMEOUT_MS), 0U);
}

TEST_F(HidChannel, UnpluggedDeviceFailsReadsAndWrites) {
    const SimulatedHidDevice palmkey = bed_.AddPalmkey();
    OpenBoth(palmkey);
    bed_.Unplug(palmkey);
    Buffer buffer{};
    EXPECT_EQ(channel_.ReadHidOv(buffer.data(), BUFFER_SIZE, REPORT_WAIT_MS), READ_FAILED);
    EXPECT_EQ(channel_.ReadHidOv(buffer.data(), BUFFER_SIZE, REPORT_WAIT_MS), READ_FAILED);
    EXPECT_EQ(channel_.ReadHid(buffer.data(), BUFFER_SIZE), 0U);
    EXPECT_EQ(channel_.WriteHidOv(buffer.data(), BUFFER_SIZE), 0);
    EXPECT_EQ(channel_.WriteHid(buffer.data(), BUFFER_SIZE), 0);
}

// A node that is no hidraw device (here a FIFO) passes bytes unchanged. What
// was sent before the other end went away is read first; then reads fail.
TEST_F(HidChannel, DataQueuedBeforeAHangUpIsReadFirst) {
    char folder[] = "/tmp/hid-channel-XXXXXX";
    ASSERT_NE(::mkdtemp(folder), nullptr);
    const std::string fifo = std::string(folder) + "/node";
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    ASSERT_EQ(channel_.OpenHidR(ToCommlinkString(fifo), 1), 1);
    const int sender = ::open(fifo.c_str(), O_WRONLY | O_CLOEXEC);
    ASSERT_GE(sender, 0);
    const std::array<std::uint8_t, 3> report = {0, 3, PALMKEY_KIND_CLICK};
    ASSERT_EQ(::write(sender, report.data(), report.size()), 3);
    ::close(sender);

    Buffer buffer{};
    EXPECT_EQ(channel_.ReadHidOv(buffer.data(), BUFFER_SIZE, REPORT_WAIT_MS), 3U);
    EXPECT_EQ(buffer[1], 3);
    EXPECT_EQ(channel_.ReadHidOv(buffer.data(), BUFFER_SIZE, REPORT_WAIT_MS), READ_FAILED);
    ::unlink(fifo.c_str());
    ::rmdir(folder);
}

TEST_F(HidChannel, ReadThatCannotStartFails) {
    const SimulatedHidDevice palmkey = bed_.AddPalmkey();
    Buffer buffer{};
    EXPECT_EQ(channel_.ReadHidOv(buffer.data(), BUFFER_SIZE, SHORT_TIMEOUT_MS), READ_FAILED);
    EXPECT_EQ(channel_.ReadHid(buffer.data(), BUFFER_SIZE), 0U);

    OpenBoth(palmkey);
    EXPECT_EQ(channel_.ReadHidOv(nullptr, BUFFER_SIZE, SHORT_TIMEOUT_MS), READ_FAILED);
    // Room for the added 0 but not for a report byte.
    EXPECT_EQ(channel_.ReadHidOv(buffer.data(), 1, SHORT_TIMEOUT_MS), READ_FAILED);

    EXPECT_EQ(channel_.CloseHid(), 1);
    EXPECT_EQ(channel_.ReadHidOv(buffer.data(), BUFFER_SIZE, SHORT_TIMEOUT_MS), READ_FAILED);
}

TEST_F(HidChannel, WakeReaderEndsABlockedReadAtOnce) {
    const SimulatedHidDevice palmkey = bed_.AddPalmkey();
    OpenBoth(palmkey);
    std::future<std::uint32_t> read = ReadInBackground(LONG_TIMEOUT_MS);
    // Whether or not the reader is waiting yet, the wake is not lost.
    channel_.WakeReader();
    Release(read, palmkey);
    EXPECT_EQ(read.get(), 0U);

    // The wake is used up: the next read waits for and gets a report.
    ASSERT_TRUE(bed_.WriteKey(palmkey, 4, PALMKEY_KIND_CLICK));
    Buffer buffer{};
    EXPECT_EQ(channel_.ReadHidOv(buffer.data(), BUFFER_SIZE, REPORT_WAIT_MS), 64U);
    EXPECT_EQ(buffer[1], 4);
}

TEST(HidChannelForms, ConstructorWithZeroStillMakesBothEvents) {
    SimulatedDeviceBed bed;
    const SimulatedHidDevice palmkey = bed.AddPalmkey();
    CHidWriteAndRead channel(0);
    const CommlinkString path = ToCommlinkString(palmkey.devnode);
    ASSERT_EQ(channel.OpenHidR(path, 1), 1);
    channel.WakeReader();
    Buffer buffer{};
    // Woken before it started: returns at once instead of waiting.
    auto read = std::async(std::launch::async, [&] {
        return channel.ReadHidOv(buffer.data(), BUFFER_SIZE, LONG_TIMEOUT_MS);
    });
    if (read.wait_for(BOUNDED_WAIT) != std::future_status::ready) {
        ADD_FAILURE() << "no read event";
        bed.WriteKey(palmkey, 1, PALMKEY_KIND_CLICK);
    }
    EXPECT_EQ(read.get(), 0U);

    // After closeOvR the wake has no effect and reads still time out.
    channel.closeOvR();
    channel.WakeReader();
    EXPECT_EQ(channel.ReadHidOv(buffer.data(), BUFFER_SIZE, SHORT_TIMEOUT_MS), 0U);
    EXPECT_EQ(channel.CloseHid(), 1);
    channel.closeOvW();
}

TEST(HidChannelForms, PlainFormReadsAndWritesBlocking) {
    SimulatedDeviceBed bed;
    const SimulatedHidDevice palmkey = bed.AddPalmkey();
    CHidWriteAndRead channel;
    const CommlinkString path = ToCommlinkString(palmkey.devnode);
    ASSERT_EQ(channel.OpenHidR(path, 0), 1);
    ASSERT_EQ(channel.OpenHidW(path, 0), 1);

    ASSERT_TRUE(bed.WriteKey(palmkey, 7, PALMKEY_KIND_CLICK));
    Buffer buffer{};
    EXPECT_EQ(channel.ReadHid(buffer.data(), BUFFER_SIZE), 64U);
    EXPECT_EQ(buffer[1], 7);

    Buffer output{};
    output[1] = 0x55;
    EXPECT_NE(channel.WriteHid(output.data(), BUFFER_SIZE), 0);
    const std::vector<std::uint8_t> received = bed.ReadFromHost(palmkey, 128, REPORT_WAIT_MS);
    EXPECT_EQ(received, std::vector<std::uint8_t>(output.begin(), output.end()));
    EXPECT_EQ(channel.CloseHid(), 1);
    // The plain form has no events; closing them does nothing.
    channel.closeOvR();
    channel.closeOvW();
}

TEST_F(HidChannel, OverlappedWriteReachesTheDevice) {
    const SimulatedHidDevice palmkey = bed_.AddPalmkey();
    OpenBoth(palmkey);
    Buffer output{};
    output[1] = 0xA5;
    output[63] = 0x5A;
    EXPECT_EQ(channel_.WriteHidOv(output.data(), BUFFER_SIZE), 1);
    EXPECT_EQ(bed_.ReadFromHost(palmkey, 128, REPORT_WAIT_MS),
              std::vector<std::uint8_t>(output.begin(), output.end()));
}

TEST_F(HidChannel, WriteWithoutHandleFails) {
    Buffer output{};
    EXPECT_EQ(channel_.WriteHidOv(output.data(), BUFFER_SIZE), 0);
    EXPECT_EQ(channel_.WriteHid(output.data(), BUFFER_SIZE), 0);
}

TEST_F(HidChannel, OpensAreIndependentAndCloseAlwaysSucceeds) {
    EXPECT_EQ(channel_.GetHandleRead(), -1);
    EXPECT_EQ(channel_.GetHandleWrite(), -1);
    EXPECT_EQ(channel_.CloseHid(), 1);  // nothing opened yet

    // A folder opens for reading but never for writing.
    char folder[] = "/tmp/hid-channel-XXXXXX";
    ASSERT_NE(::mkdtemp(folder), nullptr);
    const CommlinkString path = ToCommlinkString(folder);
    EXPECT_EQ(channel_.OpenHidR(path, 1), 1);
    EXPECT_EQ(channel_.OpenHidW(path, 1), 0);
    const int readHandle = channel_.GetHandleRead();
    EXPECT_GE(readHandle, 0);
    EXPECT_EQ(channel_.GetHandleWrite(), -1);
    EXPECT_EQ(channel_.CloseHid(), 1);
    EXPECT_EQ(channel_.GetHandleRead(), -1);
    ::rmdir(folder);

    EXPECT_EQ(channel_.OpenHidR(ToCommlinkString("/dev/hidraw9"), 1), 0);
    EXPECT_EQ(channel_.GetHandleRead(), -1);
}

TEST_F(HidChannel, SecondCloseLeavesReusedDescriptorsAlone) {
    const SimulatedHidDevice palmkey = bed_.AddPalmkey();
    OpenBoth(palmkey);
    EXPECT_EQ(channel_.CloseHid(), 1);
    channel_.closeOvR();
    channel_.closeOvW();
    // New descriptors take the numbers just freed.
    std::array<int, 2> pipeEnds{};
    ASSERT_EQ(::pipe2(pipeEnds.data(), O_CLOEXEC), 0);
    EXPECT_EQ(channel_.CloseHid(), 1);
    channel_.closeOvR();
    channel_.closeOvW();
    EXPECT_TRUE(FdIsOpen(pipeEnds[0]));
    EXPECT_TRUE(FdIsOpen(pipeEnds[1]));
    ::close(pipeEnds[0]);
    ::close(pipeEnds[1]);
}

TEST_F(HidChannel, ClosedChannelOpensAgain) {
    const SimulatedHidDevice palmkey = bed_.AddPalmkey();
    OpenBoth(palmkey);
    EXPECT_EQ(channel_.CloseHid(), 1);
    OpenBoth(palmkey);
    ASSERT_TRUE(bed_.WriteKey(palmkey, 6, PALMKEY_KIND_CLICK));
    Buffer buffer{};
    EXPECT_EQ(channel_.ReadHidOv(buffer.data(), BUFFER_SIZE, REPORT_WAIT_MS), 64U);
    EXPECT_EQ(buffer[1], 6);
}

}  // namespace
