// The Linux registry view and Cregedit's look-ups on a umockdev testbed: two
// USB serial adapters (an FTDI 0403:6001 and a 1314:1234), the Palmkey's
// hidraw node (1314:1070) and a virtual console. Runs under umockdev-wrapper.
#include <gtest/gtest.h>
#include <poll.h>
#include <umockdev.h>
#include <unistd.h>

#include <array>
#include <chrono>
#include <string>

#include "commlink/CCommWriteAndRead.h"
#include "devscout/Cregedit.h"
#include "platform/registry_view.h"

namespace {

const char* const TESTBED_DEVICES =
    // FTDI adapter
    "P: /devices/pci0000:00/0000:00:14.0/usb1/1-1\n"
    "E: SUBSYSTEM=usb\n"
    "E: DEVTYPE=usb_device\n"
    "A: idVendor=0403\\n\n"
    "A: idProduct=6001\\n\n"
    "\n"
    "P: /devices/pci0000:00/0000:00:14.0/usb1/1-1/1-1:1.0\n"
    "E: SUBSYSTEM=usb\n"
    "E: DEVTYPE=usb_interface\n"
    "\n"
    "P: /devices/pci0000:00/0000:00:14.0/usb1/1-1/1-1:1.0/ttyUSB0\n"
    "E: SUBSYSTEM=usb-serial\n"
    "\n"
    "P: /devices/pci0000:00/0000:00:14.0/usb1/1-1/1-1:1.0/ttyUSB0/tty/ttyUSB0\n"
    "N: ttyUSB0\n"
    "E: DEVNAME=/dev/ttyUSB0\n"
    "E: SUBSYSTEM=tty\n"
    "A: dev=188:0\\n\n"
    "\n"
    // An adapter of the Palmkey's maker
    "P: /devices/pci0000:00/0000:00:14.0/usb1/1-2\n"
    "E: SUBSYSTEM=usb\n"
    "E: DEVTYPE=usb_device\n"
    "A: idVendor=1314\\n\n"
    "A: idProduct=1234\\n\n"
    "\n"
    "P: /devices/pci0000:00/0000:00:14.0/usb1/1-2/1-2:1.0\n"
    "E: SUBSYSTEM=usb\n"
    "E: DEVTYPE=usb_interface\n"
    "\n"
    "P: /devices/pci0000:00/0000:00:14.0/usb1/1-2/1-2:1.0/tty/ttyACM0\n"
    "N: ttyACM0\n"
    "E: DEVNAME=/dev/ttyACM0\n"
    "E: SUBSYSTEM=tty\n"
    "A: dev=166:0\\n\n"
    "\n"
    // The Palmkey
    "P: /devices/pci0000:00/0000:00:14.0/usb1/1-3\n"
    "E: SUBSYSTEM=usb\n"
    "E: DEVTYPE=usb_device\n"
    "A: idVendor=1314\\n\n"
    "A: idProduct=1070\\n\n"
    "\n"
    "P: /devices/pci0000:00/0000:00:14.0/usb1/1-3/1-3:1.0\n"
    "E: SUBSYSTEM=usb\n"
    "E: DEVTYPE=usb_interface\n"
    "\n"
    "P: /devices/pci0000:00/0000:00:14.0/usb1/1-3/1-3:1.0/0003:1314:1070.0001\n"
    "E: SUBSYSTEM=hid\n"
    "E: HID_ID=0003:00001314:00001070\n"
    "\n"
    "P: /devices/pci0000:00/0000:00:14.0/usb1/1-3/1-3:1.0/0003:1314:1070.0001/hidraw/hidraw0\n"
    "N: hidraw0\n"
    "E: DEVNAME=/dev/hidraw0\n"
    "E: SUBSYSTEM=hidraw\n"
    "A: dev=241:0\\n\n"
    "\n"
    // A virtual console: a tty with no device behind it
    "P: /devices/virtual/tty/tty1\n"
    "N: tty1\n"
    "E: DEVNAME=/dev/tty1\n"
    "E: SUBSYSTEM=tty\n"
    "A: dev=4:1\\n\n"
    "\n";

const std::wstring CLASSES = L"SYSTEM\\CurrentControlSet\\Control\\DeviceClasses\\";
const std::wstring PORTS_CLASS_KEY = CLASSES + L"{86E0D1E0-8089-11D0-9CE4-08003E301F73}";
const std::wstring HID_CLASS_KEY = CLASSES + L"{4d1e55b2-f16f-11cf-88cb-001111000030}";

// One testbed for the whole program, kept until the program ends: tearing a
// testbed down races with umockdev's worker thread, and every test here sees
// the same devices.
UMockdevTestbed* SharedTestbed() {
    static UMockdevTestbed* const TESTBED = [] {
        UMockdevTestbed* created = umockdev_testbed_new();
        GError* error = nullptr;
        if (!umockdev_testbed_add_from_string(created, TESTBED_DEVICES, &error)) {
            ADD_FAILURE() << "testbed: " << (error != nullptr ? error->message : "");
            g_clear_error(&error);
        }
        return created;
    }();
    return TESTBED;
}

class LinuxRegistryView : public ::testing::Test {
protected:
    void SetUp() override {
        testbed_ = SharedTestbed();
        // Asked only once the testbed exists: an earlier answer is cached.
        ASSERT_TRUE(umockdev_in_mock_environment()) << "run under umockdev-wrapper";
    }

    UMockdevTestbed* testbed_ = nullptr;
    Cregedit locator_;
};

TEST_F(LinuxRegistryView, SerialCommListsPortsWithADeviceBehindThem) {
    const zan::MemoryRegistry registry = zan::SnapshotLinuxRegistry();
    const auto key = registry.OpenKey(L"HARDWARE\\DEVICEMAP\\SERIALCOMM");
    ASSERT_TRUE(key);
    const auto ftdi = key->QueryValue(L"\\Device\\ttyUSB0");
    ASSERT_TRUE(ftdi);
    EXPECT_EQ(ftdi->type, zan::RegistryValueType::String);
    EXPECT_EQ(zan::DecodeRegistryText(ftdi->data), L"ttyUSB0");
    EXPECT_TRUE(key->QueryValue(L"\\Device\\ttyACM0"));
    EXPECT_FALSE(key->QueryValue(L"\\Device\\tty1"));
}

TEST_F(LinuxRegistryView, InterfaceKeysCarryTheIdsAtCharacterEight) {
    const zan::MemoryRegistry registry = zan::SnapshotLinuxRegistry();
    const auto ports = registry.OpenKey(PORTS_CLASS_KEY);
    ASSERT_TRUE(ports);
    ASSERT_EQ(ports->SubkeyCount(), 2u);
    EXPECT_EQ(ports->SubkeyName(0),
              L"##?#USB#VID_0403&PID_6001#ttyUSB0#{86e0d1e0-8089-11d0-9ce4-08003e301f73}");
    EXPECT_EQ(ports->SubkeyName(1),
              L"##?#USB#VID_1314&PID_1234#ttyACM0#{86e0d1e0-8089-11d0-9ce4-08003e301f73}");

    const auto hid = registry.OpenKey(HID_CLASS_KEY);
    ASSERT_TRUE(hid);
    ASSERT_EQ(hid->SubkeyCount(), 1u);
    const std::wstring name = hid->SubkeyName(0).value_or(L"");
    EXPECT_EQ(name, L"##?#HID#VID_1314&PID_1070#hidraw0#{4d1e55b2-f16f-11cf-88cb-001111000030}");

    std::uint8_t linkByte = 0;
    EXPECT_EQ(locator_.CheckComm(HID_CLASS_KEY + L"\\" + name + L"\\#\\Control", linkByte), 1);
    EXPECT_EQ(linkByte, 1);
}

TEST_F(LinuxRegistryView, GetDriverSymbolByRegFindsTheDeviceNodes) {
    struct Case {
        std::wstring classKey;
        std::uint32_t vendor, product;
        int result;
        std::wstring link;
    };
    const std::vector<Case> cases = {
        {HID_CLASS_KEY, 0x1314, 0x1070, 1, L"/dev/hidraw0"},
        {PORTS_CLASS_KEY, 0x1314, 0x1234, 1, L"/dev/ttyACM0"},
        {PORTS_CLASS_KEY, 0x0403, 0x6001, 0, L""},  // the id text of 0x0403 holds a space
        {HID_CLASS_KEY, 0x1314, 0x1071, 0, L""},
    };
    for (const auto& testCase : cases) {
        std::wstring link;
        std::uint8_t linkByte = 0;
        EXPECT_EQ(
            locator_.GetDriverSymbolByReg(link, testCase.vendor, testCase.product,
                                          testCase.classKey, testCase.classKey + L"\\", linkByte),
            testCase.result);
        EXPECT_EQ(link, testCase.link);
    }
}

TEST_F(LinuxRegistryView, GetComNumNamesAPortThatInitCommOpens) {
    std::wstring portName;
    ASSERT_EQ(
        locator_.GetComNum(portName, L"HARDWARE\\DEVICEMAP\\SERIALCOMM", L"\\Device\\ttyUSB0"), 1);
    EXPECT_EQ(portName, L"\\\\.\\ttyUSB0");

    // umockdev backs the node with a pseudo-terminal; its ioctls beyond the
    // termios ones are not served, so the blocking calls are used here.
    CCommWriteAndRead channel;
    ASSERT_EQ(channel.InitComm(1, portName, 9600, 0, L"", 0, 8, 0), 1);
    CCommWriteAndRead second;
    EXPECT_EQ(second.InitComm(1, portName, 9600, 0, L"", 0, 8, 0), 0);

    const int device = umockdev_testbed_get_dev_fd(testbed_, "/dev/ttyUSB0");
    ASSERT_GE(device, 0);
    const std::array<unsigned char, 4> ping{'p', 'i', 'n', 'g'};
    ASSERT_NE(channel.WriteCommNov(ping.data(), ping.size()), 0);
    std::string received;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    while (received.size() < ping.size() && std::chrono::steady_clock::now() < deadline) {
        pollfd entry{device, POLLIN, 0};
        std::array<char, 16> chunk{};
        if (poll(&entry, 1, 10) > 0) {
            const ssize_t got = read(device, chunk.data(), chunk.size());
            if (got > 0) {
                received.append(chunk.data(), static_cast<std::size_t>(got));
            }
        }
    }
    EXPECT_EQ(received, "ping");

    ASSERT_EQ(write(device, "pong", 4), 4);
    std::array<unsigned char, 16> buffer{};
    EXPECT_EQ(channel.ReadCommNov(buffer.data(), 4), 4u);
    EXPECT_EQ(std::string(buffer.begin(), buffer.begin() + 4), "pong");
    channel.CloseComm();
}

TEST_F(LinuxRegistryView, MissingValuesAndKeysFindNothing) {
    std::wstring portName = L"untouched";
    EXPECT_EQ(locator_.GetComNum(portName, L"HARDWARE\\DEVICEMAP\\SERIALCOMM", L"\\Device\\ttyS9"),
              0);
    EXPECT_EQ(locator_.GetComNum(portName, L"HARDWARE\\DEVICEMAP\\NOSUCH", L"\\Device\\ttyUSB0"),
              0);
    EXPECT_EQ(portName, L"untouched");
    std::uint8_t linkByte = 7;
    EXPECT_EQ(locator_.CheckComm(HID_CLASS_KEY, linkByte), 0);
    EXPECT_EQ(linkByte, 7);
}

}  // namespace
