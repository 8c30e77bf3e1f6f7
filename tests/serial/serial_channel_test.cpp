// The serial channel on pseudo-terminals: the test holds the master side and
// plays the device. Built twice, against CommlinkW and CommlinkA.
#include <dirent.h>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <pty.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

#include <array>
#include <chrono>
#include <future>
#include <string>
#include <thread>
#include <vector>

#include "commlink/CCommWriteAndRead.h"

namespace {

using namespace std::chrono_literals;

constexpr auto EFFECT_TIMEOUT = 5s;

CommlinkString Text(const std::string& text) {
    return CommlinkString(text.begin(), text.end());
}

std::vector<unsigned char> Bytes(const std::string& text) {
    return std::vector<unsigned char>(text.begin(), text.end());
}

int OpenDescriptorCount() {
    int count = 0;
    DIR* folder = opendir("/proc/self/fd");
    while (readdir(folder) != nullptr) {
        ++count;
    }
    closedir(folder);
    return count;
}

// A pseudo-terminal: the channel opens the slave by name, the test writes and
// reads the master as the device would.
class PtyPort {
public:
    PtyPort() {
        std::array<char, 128> name{};
        if (openpty(&master_, &slave_, name.data(), nullptr, nullptr) != 0) {
            ADD_FAILURE() << "openpty failed";
            return;
        }
        path_ = name.data();
        fcntl(master_, F_SETFL, fcntl(master_, F_GETFL) | O_NONBLOCK);
    }
    ~PtyPort() {
        CloseMaster();
        if (slave_ >= 0) {
            close(slave_);
        }
    }
    PtyPort(const PtyPort&) = delete;
    PtyPort& operator=(const PtyPort&) = delete;

    const std::string& path() const { return path_; }
    // "\\.\pts\N" for /dev/pts/N.
    std::string DeviceName() const {
        std::string name = "\\\\.\\" + path_.substr(std::string("/dev/").size());
        for (char& character : name) {
            if (character == '/') {
                character = '\\';
            }
        }
        return name;
    }
    int slave() const { return slave_; }

    void Send(const std::string& data) const {
        ASSERT_EQ(write(master_, data.data(), data.size()), static_cast<ssize_t>(data.size()));
    }

    // Bounded wait until the port's input queue holds at least count bytes.
    static bool WaitForWaiting(int port, int count) {
        const auto deadline = std::chrono::steady_clock::now() + EFFECT_TIMEOUT;
        while (std::chrono::steady_clock::now() < deadline) {
            int waiting = 0;
            if (ioctl(port, FIONREAD, &waiting) == 0 && waiting >= count) {
                return true;
            }
            std::this_thread::sleep_for(1ms);
        }
        return false;
    }

    static int Waiting(int port) {
        int waiting = -1;
        ioctl(port, FIONREAD, &waiting);
        return waiting;
    }

    // Reads what the channel sent, up to count bytes, within a bounded wait.
    std::string Receive(std::size_t count) const {
        std::string received;
        const auto deadline = std::chrono::steady_clock::now() + EFFECT_TIMEOUT;
        while (received.size() < count && std::chrono::steady_clock::now() < deadline) {
            pollfd entry{master_, POLLIN, 0};
            if (poll(&entry, 1, 10) > 0) {
                std::array<char, 256> chunk{};
                const ssize_t got = read(master_, chunk.data(), chunk.size());
                if (got > 0) {
                    received.append(chunk.data(), static_cast<std::size_t>(got));
                }
            }
        }
        return received;
    }

    void CloseMaster() {
        if (master_ >= 0) {
            close(master_);
            master_ = -1;
        }
    }

private:
    int master_ = -1;
    int slave_ = -1;
    std::string path_;
};

termios Attributes(int port) {
    termios attributes{};
    EXPECT_EQ(tcgetattr(port, &attributes), 0);
    return attributes;
}

class SerialChannel : public ::testing::Test {
protected:
    void SetUp() override {
        channel_.SetOv();
        ASSERT_EQ(Open(channel_), 1);
    }
    void TearDown() override {
        channel_.CloseComm();
        channel_.closeOvR();
        channel_.closeOvW();
    }

    int Open(CCommWriteAndRead& channel, int parity = 0, int baud = 9600, int dataBits = 8,
             int stopBits = 0) {
        return channel.InitComm(1, Text(pty_.path()), baud, 1, Text(""), parity, dataBits,
                                stopBits);
    }

    PtyPort pty_;
    CCommWriteAndRead channel_;
};

TEST_F(SerialChannel, ReadCommReadsExactlyTheLengthAndLeavesTheRestQueued) {
    pty_.Send("0123456789");
    ASSERT_TRUE(PtyPort::WaitForWaiting(channel_.GetHandleComDev(), 10));

    std::array<unsigned char, 10> buffer{};
    EXPECT_EQ(channel_.ReadComm(buffer.data(), 4, 100), 4u);
    EXPECT_EQ(std::string(buffer.begin(), buffer.begin() + 4), "0123");
    EXPECT_EQ(PtyPort::Waiting(channel_.GetHandleComDev()), 6);

    EXPECT_EQ(channel_.ReadComm(buffer.data(), 6, 100), 6u);
    EXPECT_EQ(std::string(buffer.begin(), buffer.begin() + 6), "456789");
}

TEST_F(SerialChannel, ReadCommWithFewerWaitingReturnsTheCountAndReadsNothing) {
    pty_.Send("abc");
    ASSERT_TRUE(PtyPort::WaitForWaiting(channel_.GetHandleComDev(), 3));

    std::array<unsigned char, 8> buffer{};
    buffer.fill(0xAA);
    EXPECT_EQ(channel_.ReadComm(buffer.data(), 8, 100), 3u);
    for (const unsigned char byte : buffer) {
        EXPECT_EQ(byte, 0xAA);
    }
    EXPECT_EQ(PtyPort::Waiting(channel_.GetHandleComDev()), 3);
}

TEST_F(SerialChannel, ReadCommWithNothingWaitingReturnsZeroAfterTheTimeOut) {
    std::array<unsigned char, 8> buffer{};
    buffer.fill(0xAA);
    EXPECT_EQ(channel_.ReadComm(buffer.data(), 8, 20), 0u);
    EXPECT_EQ(buffer[0], 0xAA);

    // Nothing was left outstanding: later data is read whole by the next call.
    pty_.Send("12345678");
    ASSERT_TRUE(PtyPort::WaitForWaiting(channel_.GetHandleComDev(), 8));
    EXPECT_EQ(channel_.ReadComm(buffer.data(), 8, 20), 8u);
    EXPECT_EQ(std::string(buffer.begin(), buffer.end()), "12345678");
}

TEST(SerialChannelWithoutPort, EveryCallFailsWithoutAPort) {
    PtyPort pty;
    CCommWriteAndRead channel;
    std::array<unsigned char, 4> buffer{};
    EXPECT_EQ(channel.GetHandleComDev(), -1);
    EXPECT_EQ(channel.ReadComm(buffer.data(), 4, 10), READ_FAILED);
    EXPECT_EQ(channel.ReadCommNov(buffer.data(), 4), 0u);
    EXPECT_EQ(channel.WriteComm(buffer.data(), 4), 0);
    EXPECT_EQ(channel.WriteCommNov(buffer.data(), 4), 0);

    EXPECT_EQ(channel.InitComm(1, Text("/dev/no-such-port"), 9600, 1, Text(""), 0, 8, 0), 0);
    EXPECT_EQ(channel.ReadComm(buffer.data(), 4, 10), READ_FAILED);

    ASSERT_EQ(channel.InitComm(1, Text(pty.path()), 9600, 1, Text(""), 0, 8, 0), 1);
    channel.CloseComm();
    EXPECT_EQ(channel.GetHandleComDev(), -1);
    EXPECT_EQ(channel.ReadComm(buffer.data(), 4, 10), READ_FAILED);
}

TEST(SerialChannelNames, NameChoiceSelectsTheFirstOrTheSecondName) {
    PtyPort pty;
    const std::string missing = "/dev/no-such-port";
    struct Case {
        int choice;
        std::string first;
        std::string second;
        int opened;
    };
    const std::vector<Case> cases = {
        {1, pty.path(), missing, 1},  {0, pty.path(), missing, 0}, {0, missing, pty.path(), 1},
        {-1, pty.path(), missing, 1}, {7, missing, pty.path(), 0},
    };
    for (const auto& testCase : cases) {
        CCommWriteAndRead channel;
        EXPECT_EQ(channel.InitComm(testCase.choice, Text(testCase.first), 9600, 0,
                                   Text(testCase.second), 0, 8, 0),
                  testCase.opened)
            << "choice " << testCase.choice;
        channel.CloseComm();
    }
}

TEST(SerialChannelNames, DeviceFormAndBareNamesOpenUnderDevAndUnsafeNamesAreRefused) {
    PtyPort pty;
    struct Case {
        std::string name;
        int opened;
    };
    const std::vector<Case> cases = {
        {pty.DeviceName(), 1},
        // Never relative to the current folder, where "pts\N" does not exist.
        {pty.DeviceName().substr(4), 1},
        {"\\\\.\\..\\dev\\pts\\0", 0},
        {"..\\dev\\pts\\0", 0},
        {"..", 0},
        {"\\\\.\\", 0},
        {"\\\\.\\pts\\\\0", 0},
        {std::string(pty.path()) + std::string(1, '\0') + "x", 0},
        {"", 0},
        {"/dev/null", 0},  // not a terminal
    };
    for (const auto& testCase : cases) {
        CCommWriteAndRead channel;
        EXPECT_EQ(channel.InitComm(1, Text(testCase.name), 9600, 0, Text(""), 0, 8, 0),
                  testCase.opened)
            << testCase.name;
        channel.CloseComm();
    }
}

// A pseudo-terminal keeps speed, stop bits and the flags but always reports
// eight data bits without parity generation; character size and PARENB are
// covered on the settings themselves (line_settings_test.cpp).
TEST(SerialChannelSettings, ParityCheckFollowsTheLowestBit) {
    for (const auto& [parity, checked] : std::vector<std::pair<int, bool>>{
             {0, false}, {1, true}, {2, false}, {3, true}, {0x101, true}}) {
        PtyPort pty;
        termios before = Attributes(pty.slave());
        before.c_cflag |= PARODD;
        ASSERT_EQ(tcsetattr(pty.slave(), TCSANOW, &before), 0);

        CCommWriteAndRead channel;
        ASSERT_EQ(channel.InitComm(1, Text(pty.path()), 9600, 0, Text(""), parity, 8, 0), 1);
        const termios after = Attributes(channel.GetHandleComDev());
        EXPECT_EQ((after.c_iflag & INPCK) != 0, checked) << "parity " << parity;
        EXPECT_NE(after.c_cflag & PARODD, 0u) << "the parity scheme stays";
        channel.CloseComm();
    }
}

TEST(SerialChannelSettings, LineSettingsReadBackWithTcgetattr) {
    struct Case {
        int baud, stopBits;
        speed_t speed;
        bool twoStopBits;
    };
    // The port starts at 2400 baud with two stop bits: values with no termios
    // meaning keep those.
    const std::vector<Case> cases = {
        {9600, 0, B9600, false},     {115200, 2, B115200, true}, {19200, 1, B19200, true},
        {9600, 0x100, B9600, false}, {14400, 3, B2400, true},    {-1, -1, B2400, true},
    };
    for (const auto& testCase : cases) {
        PtyPort pty;
        termios before = Attributes(pty.slave());
        cfsetspeed(&before, B2400);
        before.c_cflag |= CSTOPB;
        before.c_iflag |= IXOFF;
        ASSERT_EQ(tcsetattr(pty.slave(), TCSANOW, &before), 0);

        CCommWriteAndRead channel;
        ASSERT_EQ(channel.InitComm(1, Text(pty.path()), testCase.baud, 0, Text(""), 0, 7,
                                   testCase.stopBits),
                  1);
        const termios after = Attributes(channel.GetHandleComDev());
        SCOPED_TRACE("baud " + std::to_string(testCase.baud));
        EXPECT_EQ(cfgetospeed(&after), testCase.speed);
        EXPECT_EQ(cfgetispeed(&after), testCase.speed);
        EXPECT_EQ((after.c_cflag & CSTOPB) != 0, testCase.twoStopBits);
        // Binary transfer, flow control as it was.
        EXPECT_EQ(after.c_lflag & (ICANON | ECHO | ISIG | IEXTEN), 0u);
        EXPECT_EQ(after.c_oflag & OPOST, 0u);
        EXPECT_EQ(after.c_iflag & (ICRNL | INLCR | IGNCR | ISTRIP), 0u);
        EXPECT_NE(after.c_iflag & IXOFF, 0u);
        channel.CloseComm();
    }
}

TEST_F(SerialChannel, SecondHolderIsRefusedUntilTheFirstCloses) {
    CCommWriteAndRead second;
    EXPECT_EQ(Open(second), 0);
    EXPECT_EQ(second.GetHandleComDev(), -1);

    channel_.CloseComm();
    EXPECT_EQ(Open(second), 1);
    second.CloseComm();
}

TEST(SerialChannelExclusive, PortHeldByAnotherProgramIsRefusedEvenForRoot) {
    PtyPort pty;
    CCommWriteAndRead channel;
    {
        const int foreign = open(pty.path().c_str(), O_RDWR | O_NOCTTY);
        ASSERT_GE(foreign, 0);
        ASSERT_EQ(flock(foreign, LOCK_EX | LOCK_NB), 0);
        EXPECT_EQ(channel.InitComm(1, Text(pty.path()), 9600, 0, Text(""), 0, 8, 0), 0);
        close(foreign);
    }
    {
        const int foreign = open(pty.path().c_str(), O_RDWR | O_NOCTTY);
        ASSERT_GE(foreign, 0);
        ASSERT_EQ(ioctl(foreign, TIOCEXCL), 0);
        EXPECT_EQ(channel.InitComm(1, Text(pty.path()), 9600, 0, Text(""), 0, 8, 0), 0);
        ioctl(foreign, TIOCNXCL);
        close(foreign);
    }
    EXPECT_EQ(channel.InitComm(1, Text(pty.path()), 9600, 0, Text(""), 0, 8, 0), 1);
    channel.CloseComm();
}

TEST_F(SerialChannel, BlockingReadReturnsAfterAGapInTheData) {
    auto reading = std::async(std::launch::async, [this] {
        std::array<unsigned char, 64> buffer{};
        const std::uint32_t count = channel_.ReadCommNov(buffer.data(), 64);
        return std::string(buffer.begin(), buffer.begin() + count);
    });
    pty_.Send("abc");
    ASSERT_EQ(reading.wait_for(EFFECT_TIMEOUT), std::future_status::ready);
    EXPECT_EQ(reading.get(), "abc");
}

TEST_F(SerialChannel, BlockingReadReturnsAtTheLength) {
    pty_.Send("0123456789");
    ASSERT_TRUE(PtyPort::WaitForWaiting(channel_.GetHandleComDev(), 10));
    std::array<unsigned char, 4> buffer{};
    EXPECT_EQ(channel_.ReadCommNov(buffer.data(), 4), 4u);
    EXPECT_EQ(std::string(buffer.begin(), buffer.end()), "0123");
    EXPECT_EQ(PtyPort::Waiting(channel_.GetHandleComDev()), 6);
}

TEST_F(SerialChannel, BytesPassUnchangedBothWays) {
    // XON and XOFF are left out: software flow control stays as the port had it.
    const std::string binary("a\r\nb\x03\x04\x1a\x1c\x7f\0z", 11);
    EXPECT_EQ(channel_.WriteComm(Bytes(binary).data(), binary.size()), 1);
    EXPECT_EQ(pty_.Receive(binary.size()), binary);
    EXPECT_NE(channel_.WriteCommNov(Bytes(binary).data(), binary.size()), 0);
    EXPECT_EQ(pty_.Receive(binary.size()), binary);
    EXPECT_EQ(channel_.WriteComm(nullptr, 0), 1);

    pty_.Send(binary);
    ASSERT_TRUE(PtyPort::WaitForWaiting(channel_.GetHandleComDev(), 11));
    std::array<unsigned char, 11> buffer{};
    EXPECT_EQ(channel_.ReadComm(buffer.data(), 11, 100), 11u);
    EXPECT_EQ(std::string(buffer.begin(), buffer.end()), binary);
}

TEST_F(SerialChannel, CloseCommDiscardsWaitingInput) {
    pty_.Send("stale");
    ASSERT_TRUE(PtyPort::WaitForWaiting(channel_.GetHandleComDev(), 5));
    channel_.CloseComm();
    ASSERT_EQ(Open(channel_), 1);
    EXPECT_EQ(PtyPort::Waiting(channel_.GetHandleComDev()), 0);
}

TEST_F(SerialChannel, PortThatHungUpFailsEveryCallWithoutBlocking) {
    std::vector<unsigned char> large(1 << 20, 'x');
    // Nobody reads the master: the write fills the queue and waits, then the
    // hang-up must end it as a failure, not as a success.
    auto writing = std::async(std::launch::async, [this, &large] {
        return channel_.WriteComm(large.data(), static_cast<std::uint32_t>(large.size()));
    });
    std::this_thread::sleep_for(20ms);
    pty_.CloseMaster();
    ASSERT_EQ(writing.wait_for(EFFECT_TIMEOUT), std::future_status::ready);
    EXPECT_EQ(writing.get(), 0);

    std::array<unsigned char, 4> buffer{};
    EXPECT_EQ(channel_.ReadComm(buffer.data(), 4, 5000), READ_FAILED);
    EXPECT_EQ(channel_.ReadCommNov(buffer.data(), 4), 0u);
    EXPECT_EQ(channel_.WriteCommNov(buffer.data(), 4), 0);
}

TEST(SerialChannelResources, OpenCloseAndEventsLeaveNoDescriptorBehind) {
    PtyPort pty;
    const int before = OpenDescriptorCount();
    CCommWriteAndRead channel;
    channel.SetOv();
    channel.SetOv();
    EXPECT_EQ(OpenDescriptorCount(), before + 2);
    ASSERT_EQ(channel.InitComm(1, Text(pty.path()), 9600, 1, Text(""), 0, 8, 0), 1);
    ASSERT_EQ(channel.InitComm(1, Text(pty.path()), 9600, 1, Text(""), 0, 8, 0), 1);
    EXPECT_EQ(OpenDescriptorCount(), before + 3);
    channel.CloseComm();
    channel.CloseComm();
    channel.closeOvR();
    channel.closeOvW();
    channel.closeOvR();
    EXPECT_EQ(OpenDescriptorCount(), before);
}

TEST_F(SerialChannel, CopyAssignmentSharesThePort) {
    CCommWriteAndRead copy;
    copy = channel_;
    EXPECT_EQ(copy.GetHandleComDev(), channel_.GetHandleComDev());
    pty_.Send("shared");
    ASSERT_TRUE(PtyPort::WaitForWaiting(copy.GetHandleComDev(), 6));
    std::array<unsigned char, 6> buffer{};
    EXPECT_EQ(copy.ReadComm(buffer.data(), 6, 100), 6u);
}

}  // namespace
