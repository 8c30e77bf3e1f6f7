// Devscout on a umockdev testbed: the HID path search and device notices.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fstream>

#include "devscout/Cregedit.h"
#include "report_descriptor.h"
#include "simulated_palmkey/simulated_palmkey.h"

namespace {

using zan::test::SimulatedDeviceBed;
using zan::test::SimulatedHidDevice;
using zan::test::SimulatedHidSpec;

constexpr std::uint32_t VENDOR = 0x1314;
constexpr std::uint32_t PRODUCT = 0x1070;
constexpr const wchar_t* HID_CLASS = L"4d1e55b2-f16f-11cf-88cb-001111000030";
constexpr const wchar_t* PORTS_CLASS = L"4D36E978-E325-11CE-BFC1-08002BE10318";
constexpr const wchar_t* OTHER_CLASS = L"6C292E54-943B-4F84-A45A-D36CCA47EA0B";
constexpr int EVENT_WAIT_MS = 5000;
// How long a registration is watched to show that no notice comes.
constexpr int QUIET_WAIT_MS = 200;

const int WINDOW_OBJECT = 0;
const HWND WINDOW = &WINDOW_OBJECT;

SimulatedHidSpec Keyboard() {
    SimulatedHidSpec spec;
    spec.vendorId = 0x046D;
    spec.productId = 0xC31C;
    spec.reportDescriptor = zan::test::KeyboardReportDescriptor();
    spec.inputReportSize = 8;
    return spec;
}

bool Readable(int fd, int timeoutMs) {
    pollfd watched{fd, POLLIN, 0};
    return ::poll(&watched, 1, timeoutMs) == 1 && (watched.revents & POLLIN) != 0;
}

std::wstring Wide(const std::string& text) {
    return {text.begin(), text.end()};
}

std::wstring HidName(const std::string& ids, const std::string& sysname) {
    return Wide("\\\\?\\HID#" + ids + "#" + sysname + "#{4d1e55b2-f16f-11cf-88cb-001111000030}");
}

// --- HID path search -------------------------------------------------------

TEST(DevscoutPathSearch, NothingPresentGivesZeroAndAnEmptyPath) {
    SimulatedDeviceBed bed;
    Cregedit locator;
    std::wstring path = L"left over";
    EXPECT_EQ(locator.GetHIDDevicePathName(path, VENDOR, PRODUCT, 0), 0);
    EXPECT_EQ(path, L"");

    bed.AddHidDevice(Keyboard());
    path = L"left over";
    EXPECT_EQ(locator.GetHIDDevicePathName(path, VENDOR, PRODUCT, 0), 0);
    EXPECT_EQ(path, L"");
}

TEST(DevscoutPathSearch, FindsThePalmkeyAmongOtherDevices) {
    SimulatedDeviceBed bed;
    bed.AddHidDevice(Keyboard());
    const SimulatedHidDevice palmkey = bed.AddPalmkey();
    Cregedit locator;
    for (std::uint32_t third : {0U, 1U, 0xFFFFFFFFU}) {
        std::wstring path;
        EXPECT_EQ(locator.GetHIDDevicePathName(path, VENDOR, PRODUCT, third), 1);
        EXPECT_EQ(path, Wide(palmkey.devnode));
    }
    std::wstring keyboardPath;
    EXPECT_EQ(locator.GetHIDDevicePathName(keyboardPath, 0x046D, 0xC31C, 0), 1);
    EXPECT_EQ(keyboardPath, L"/dev/hidraw0");
}

TEST(DevscoutPathSearch, IdsAbove16BitsNeverMatch) {
    SimulatedDeviceBed bed;
    bed.AddPalmkey();
    Cregedit locator;
    std::wstring path;
    EXPECT_EQ(locator.GetHIDDevicePathName(path, VENDOR + 0x10000, PRODUCT, 0), 0);
    EXPECT_EQ(locator.GetHIDDevicePathName(path, VENDOR, PRODUCT + 0x10000, 0), 0);
    EXPECT_EQ(locator.GetHIDDevicePathName(path, 0xFFFFFFFF, 0xFFFFFFFF, 0), 0);
    EXPECT_EQ(path, L"");
}

TEST(DevscoutPathSearch, SeveralMatchingInterfacesGiveTheFirstInSysfsOrder) {
    SimulatedDeviceBed bed;
    // Interface 1 comes first and takes hidraw0; interface 0 sorts first.
    SimulatedHidSpec second;
    second.interfaceNumber = 1;
    const SimulatedHidDevice laterInterface = bed.AddHidDevice(second);
    SimulatedHidSpec first;
    first.usbPort = laterInterface.usbPort;
    first.interfaceNumber = 0;
    const SimulatedHidDevice firstInterface = bed.AddHidDevice(first);
    ASSERT_EQ(firstInterface.devnode, "/dev/hidraw1");

    Cregedit locator;
    std::wstring path;
    EXPECT_EQ(locator.GetHIDDevicePathName(path, VENDOR, PRODUCT, 0), 1);
    EXPECT_EQ(path, L"/dev/hidraw1");
}

TEST(DevscoutPathSearch, UnpluggedDeviceIsNoLongerFound) {
    SimulatedDeviceBed bed;
    const SimulatedHidDevice palmkey = bed.AddPalmkey();
    bed.Unplug(palmkey);
    Cregedit locator;
    std::wstring path;
    EXPECT_EQ(locator.GetHIDDevicePathName(path, VENDOR, PRODUCT, 0), 0);
    const SimulatedHidDevice again = bed.AddPalmkey();
    EXPECT_EQ(locator.GetHIDDevicePathName(path, VENDOR, PRODUCT, 0), 1);
    EXPECT_EQ(path, L"/dev/hidraw1");
}

TEST(ReportDescriptorOfNode, ComesFromSysfsWhole) {
    SimulatedDeviceBed bed;
    const SimulatedHidDevice palmkey = bed.AddPalmkey(true);
    const auto descriptor = zan::devscout::ReadReportDescriptorOfNode(palmkey.devnode);
    ASSERT_TRUE(descriptor);
    // The descriptor holds 0 bytes; a text read of the attribute would stop there.
    EXPECT_EQ(*descriptor, zan::test::PalmkeyReportDescriptorWithReportIds());
    EXPECT_FALSE(zan::devscout::ReadReportDescriptorOfNode("/dev/hidraw7"));
    EXPECT_FALSE(zan::devscout::ReadReportDescriptorOfNode("/dev/null"));
}

// --- Device notices --------------------------------------------------------

class DevscoutNotices : public ::testing::Test {
protected:
    HDEVNOTIFY Register(const wchar_t* classText) {
        HDEVNOTIFY handle = nullptr;
        locator_.RegisterForDevChange(WINDOW, &handle, classText);
        if (handle != nullptr) {
            handles_.push_back(handle);
        }
        return handle;
    }

    void TearDown() override {
        for (HDEVNOTIFY handle : handles_) {
            Cregedit::UnregisterDevChange(handle);
        }
    }

    // The next notice, waiting for it for a bounded time.
    static std::optional<DevNotice> NextNotice(HDEVNOTIFY handle) {
        DevNotice notice;
        if (Cregedit::ReadDevNotice(handle, notice) == 1) {
            return notice;
        }
        if (!Readable(Cregedit::GetDevNotifyFd(handle), EVENT_WAIT_MS) ||
            Cregedit::ReadDevNotice(handle, notice) != 1) {
            return std::nullopt;
        }
        return notice;
    }

    static bool StaysQuiet(HDEVNOTIFY handle) {
        DevNotice notice;
        return !Readable(Cregedit::GetDevNotifyFd(handle), QUIET_WAIT_MS) &&
               Cregedit::ReadDevNotice(handle, notice) == 0;
    }

    SimulatedDeviceBed bed_;
    Cregedit locator_;
    std::vector<HDEVNOTIFY> handles_;
};

TEST_F(DevscoutNotices, HidClassAnnouncesArrivalAndRemovalByName) {
    HDEVNOTIFY handle = Register(HID_CLASS);
    ASSERT_NE(handle, nullptr);
    EXPECT_TRUE(StaysQuiet(handle));

    const SimulatedHidDevice palmkey = bed_.AddPalmkey();
    const std::optional<DevNotice> arrival = NextNotice(handle);
    ASSERT_TRUE(arrival);
    EXPECT_EQ(arrival->event, DBT_DEVICEARRIVAL);
    EXPECT_EQ(arrival->record.deviceType, DBT_DEVTYP_DEVICEINTERFACE);
    EXPECT_EQ(arrival->record.name, HidName("VID_1314&PID_1070", "hidraw0"));
    EXPECT_EQ(arrival->record.size, 28 + 2 * (arrival->record.name.size() + 1));
    const std::uint8_t hidClassBytes[16] = {0xB2, 0x55, 0x1E, 0x4D, 0x6F, 0xF1, 0xCF, 0x11,
                                            0x88, 0xCB, 0x00, 0x11, 0x11, 0x00, 0x00, 0x30};
    EXPECT_EQ(std::memcmp(arrival->record.classGuid, hidClassBytes, 16), 0);
    // The parents' own add events are not hidraw devices.
    EXPECT_TRUE(StaysQuiet(handle));

    // By the time the removal is read its hid parent is gone from sysfs: the
    // name comes from what was remembered at arrival.
    bed_.Unplug(palmkey);
    const std::optional<DevNotice> removal = NextNotice(handle);
    ASSERT_TRUE(removal);
    EXPECT_EQ(removal->event, DBT_DEVICEREMOVECOMPLETE);
    EXPECT_EQ(removal->record.name, HidName("VID_1314&PID_1070", "hidraw0"));
    EXPECT_TRUE(StaysQuiet(handle));
}

TEST_F(DevscoutNotices, DevicePresentAtRegistrationKeepsItsIdsOnRemoval) {
    const SimulatedHidDevice keyboard = bed_.AddHidDevice(Keyboard());
    const SimulatedHidDevice palmkey = bed_.AddPalmkey();
    HDEVNOTIFY handle = Register(HID_CLASS);
    ASSERT_NE(handle, nullptr);

    bed_.Unplug(palmkey);
    bed_.Unplug(keyboard);
    const std::optional<DevNotice> first = NextNotice(handle);
    const std::optional<DevNotice> second = NextNotice(handle);
    ASSERT_TRUE(first && second);
    EXPECT_EQ(first->event, DBT_DEVICEREMOVECOMPLETE);
    EXPECT_EQ(first->record.name, HidName("VID_1314&PID_1070", palmkey.sysname));
    EXPECT_EQ(second->event, DBT_DEVICEREMOVECOMPLETE);
    EXPECT_EQ(second->record.name, HidName("VID_046D&PID_C31C", keyboard.sysname));
}

TEST_F(DevscoutNotices, OtherUeventActionsAreNoNotices) {
    HDEVNOTIFY handle = Register(HID_CLASS);
    ASSERT_NE(handle, nullptr);
    const SimulatedHidDevice palmkey = bed_.AddPalmkey();
    ASSERT_TRUE(NextNotice(handle));
    bed_.SendUevent(palmkey, "change");
    ASSERT_TRUE(Readable(Cregedit::GetDevNotifyFd(handle), EVENT_WAIT_MS));
    DevNotice notice;
    EXPECT_EQ(Cregedit::ReadDevNotice(handle, notice), 0);
}

// A burst of events (a dock, udevadm trigger) must fit: the monitor asks for
// 8 MiB, which the kernel grants to root and caps at rmem_max for others
// (and then doubles for its own bookkeeping).
TEST_F(DevscoutNotices, TheMonitorHasALargeReceiveBuffer) {
    HDEVNOTIFY handle = Register(HID_CLASS);
    ASSERT_NE(handle, nullptr);
    int size = 0;
    socklen_t length = sizeof size;
    ASSERT_EQ(::getsockopt(Cregedit::GetDevNotifyFd(handle), SOL_SOCKET, SO_RCVBUF, &size, &length),
              0);
    long granted = 8L * 1024 * 1024;
    if (::geteuid() != 0) {
        std::ifstream limit("/proc/sys/net/core/rmem_max");
        long most = 0;
        limit >> most;
        granted = std::min(granted, most);
    }
    EXPECT_GE(size, granted);
}

const std::wstring PORTS_SUFFIX = L"#{4d36e978-e325-11ce-bfc1-08002be10318}";
const std::wstring USB_SERIAL_NAME = L"\\\\?\\USB#VID_0403&PID_6001#ttyUSB0" + PORTS_SUFFIX;

TEST_F(DevscoutNotices, PortsClassAnnouncesSerialPortsByName) {
    HDEVNOTIFY ports = Register(PORTS_CLASS);
    HDEVNOTIFY hid = Register(HID_CLASS);
    ASSERT_NE(ports, nullptr);
    ASSERT_NE(hid, nullptr);

    const zan::test::SimulatedSerialPort usbPort = bed_.AddSerialPort({});
    std::optional<DevNotice> notice = NextNotice(ports);
    ASSERT_TRUE(notice);
    EXPECT_EQ(notice->event, DBT_DEVICEARRIVAL);
    EXPECT_EQ(notice->record.name, USB_SERIAL_NAME);

    const zan::test::SimulatedSerialPort platformPort = bed_.AddSerialPort({.onUsb = false});
    notice = NextNotice(ports);
    ASSERT_TRUE(notice);
    EXPECT_EQ(notice->event, DBT_DEVICEARRIVAL);
    EXPECT_EQ(notice->record.name, L"\\\\?\\TTY#ttyS0" + PORTS_SUFFIX);

    bed_.Unplug(usbPort);
    notice = NextNotice(ports);
    ASSERT_TRUE(notice);
    EXPECT_EQ(notice->event, DBT_DEVICEREMOVECOMPLETE);
    EXPECT_EQ(notice->record.name, USB_SERIAL_NAME);

    EXPECT_TRUE(StaysQuiet(ports));
    EXPECT_TRUE(StaysQuiet(hid));
    bed_.Unplug(platformPort);
}

TEST_F(DevscoutNotices, SerialPortGoneBeforeItsArrivalIsReadKeepsItsIds) {
    HDEVNOTIFY ports = Register(PORTS_CLASS);
    ASSERT_NE(ports, nullptr);
    // When the arrival is read the USB device has left sysfs; the ids come
    // from the event's properties.
    bed_.Unplug(bed_.AddSerialPort({}));
    for (std::uint32_t event : {DBT_DEVICEARRIVAL, DBT_DEVICEREMOVECOMPLETE}) {
        const std::optional<DevNotice> notice = NextNotice(ports);
        ASSERT_TRUE(notice);
        EXPECT_EQ(notice->event, event);
        EXPECT_EQ(notice->record.name, USB_SERIAL_NAME);
    }
}

TEST_F(DevscoutNotices, ClassesWithoutHidrawDevicesGiveNoHidNotices) {
    for (const wchar_t* classText : {OTHER_CLASS, PORTS_CLASS}) {
        HDEVNOTIFY handle = Register(classText);
        ASSERT_NE(handle, nullptr);
        EXPECT_GE(Cregedit::GetDevNotifyFd(handle), 0);
    }
    const SimulatedHidDevice palmkey = bed_.AddPalmkey();
    bed_.Unplug(palmkey);
    for (HDEVNOTIFY handle : handles_) {
        EXPECT_TRUE(StaysQuiet(handle));
    }
}

TEST_F(DevscoutNotices, InvalidClassOrWindowGivesANullHandle) {
    const int sentinel = 0;
    for (const wchar_t* classText :
         {static_cast<const wchar_t*>(nullptr), L"", L"not a class",
          L"{4d1e55b2-f16f-11cf-88cb-001111000030}", L"4d1e55b2-f16f-11cf-88cb-00111100003g"}) {
        auto handle = reinterpret_cast<HDEVNOTIFY>(const_cast<int*>(&sentinel));
        locator_.RegisterForDevChange(WINDOW, &handle, classText);
        EXPECT_EQ(handle, nullptr);
    }
    auto handle = reinterpret_cast<HDEVNOTIFY>(const_cast<int*>(&sentinel));
    locator_.RegisterForDevChange(nullptr, &handle, HID_CLASS);
    EXPECT_EQ(handle, nullptr);
    locator_.RegisterForDevChange(WINDOW, nullptr, HID_CLASS);

    DevNotice notice;
    EXPECT_EQ(Cregedit::GetDevNotifyFd(nullptr), -1);
    EXPECT_EQ(Cregedit::ReadDevNotice(nullptr, notice), 0);
    Cregedit::UnregisterDevChange(nullptr);
}

TEST_F(DevscoutNotices, UnregisterReleasesTheRegistrationsFd) {
    for (const wchar_t* classText : {HID_CLASS, OTHER_CLASS}) {
        HDEVNOTIFY handle = nullptr;
        locator_.RegisterForDevChange(WINDOW, &handle, classText);
        ASSERT_NE(handle, nullptr);
        const int fd = Cregedit::GetDevNotifyFd(handle);
        ASSERT_NE(::fcntl(fd, F_GETFD), -1);
        Cregedit::UnregisterDevChange(handle);
        errno = 0;
        EXPECT_EQ(::fcntl(fd, F_GETFD), -1);
        EXPECT_EQ(errno, EBADF);
    }
}

}  // namespace
