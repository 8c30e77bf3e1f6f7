// The simulated devices must look to libudev and to a reader of the node as
// a real hidraw device does, or every test built on them proves nothing.
#include "simulated_palmkey/simulated_palmkey.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <libudev.h>
#include <poll.h>
#include <unistd.h>

#include <array>
#include <fstream>
#include <iterator>

namespace {

using zan::test::SimulatedDeviceBed;
using zan::test::SimulatedHidDevice;

std::vector<std::uint8_t> ReadBinaryFile(const std::string& path) {
    std::ifstream file(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
}

std::vector<std::string> HidrawSysnames() {
    std::vector<std::string> names;
    udev* context = udev_new();
    udev_enumerate* enumerate = udev_enumerate_new(context);
    udev_enumerate_add_match_subsystem(enumerate, "hidraw");
    udev_enumerate_scan_devices(enumerate);
    udev_list_entry* entry = nullptr;
    udev_list_entry_foreach(entry, udev_enumerate_get_list_entry(enumerate)) {
        udev_device* device =
            udev_device_new_from_syspath(context, udev_list_entry_get_name(entry));
        names.emplace_back(udev_device_get_sysname(device));
        udev_device_unref(device);
    }
    udev_enumerate_unref(enumerate);
    udev_unref(context);
    return names;
}

TEST(SimulatedPalmkey, AppearsAsHidrawWithIdsAndDescriptor) {
    SimulatedDeviceBed bed;
    const SimulatedHidDevice palmkey = bed.AddPalmkey();
    EXPECT_EQ(palmkey.devnode, "/dev/hidraw0");
    EXPECT_EQ(HidrawSysnames(), std::vector<std::string>{"hidraw0"});

    udev* context = udev_new();
    udev_device* hidraw = udev_device_new_from_syspath(context, palmkey.hidrawSyspath.c_str());
    ASSERT_NE(hidraw, nullptr);
    EXPECT_STREQ(udev_device_get_devnode(hidraw), "/dev/hidraw0");
    udev_device* hid = udev_device_get_parent_with_subsystem_devtype(hidraw, "hid", nullptr);
    ASSERT_NE(hid, nullptr);
    EXPECT_STREQ(udev_device_get_property_value(hid, "HID_ID"), "0003:00001314:00001070");
    udev_device* usb = udev_device_get_parent_with_subsystem_devtype(hidraw, "usb", "usb_device");
    ASSERT_NE(usb, nullptr);
    EXPECT_STREQ(udev_device_get_sysattr_value(usb, "idVendor"), "1314");
    udev_device_unref(hidraw);
    udev_unref(context);

    EXPECT_EQ(ReadBinaryFile(palmkey.hidSyspath + "/report_descriptor"),
              zan::test::PalmkeyReportDescriptor());
}

TEST(SimulatedPalmkey, ReportWrittenComesOutOfTheNode) {
    SimulatedDeviceBed bed;
    const SimulatedHidDevice palmkey = bed.AddPalmkey();
    const int fd = ::open(palmkey.devnode.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    ASSERT_GE(fd, 0);
    ASSERT_TRUE(bed.WriteKey(palmkey, 3, zan::test::PALMKEY_KIND_CLICK));
    pollfd watch{fd, POLLIN, 0};
    ASSERT_EQ(::poll(&watch, 1, 5000), 1);
    std::array<std::uint8_t, 64> buffer{};
    EXPECT_EQ(::read(fd, buffer.data(), buffer.size()), 63);
    EXPECT_EQ(buffer[0], 3);
    EXPECT_EQ(buffer[1], zan::test::PALMKEY_KIND_CLICK);
    ::close(fd);
}

TEST(SimulatedPalmkey, NodeHandsOutWholeReports) {
    SimulatedDeviceBed bed;
    const SimulatedHidDevice palmkey = bed.AddPalmkey();
    const int fd = ::open(palmkey.devnode.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    ASSERT_GE(fd, 0);
    const std::vector<std::uint8_t> report = zan::test::PalmkeyInputReport(5, 0x1A);
    const std::span<const std::uint8_t> bytes(report);

    ASSERT_TRUE(bed.WriteReport(palmkey, bytes.first(30)));
    pollfd watch{fd, POLLIN, 0};
    EXPECT_EQ(::poll(&watch, 1, 100), 0) << "readable with half a report";
    ASSERT_TRUE(bed.WriteReport(palmkey, bytes.subspan(30)));
    ASSERT_TRUE(bed.WriteKey(palmkey, 6, zan::test::PALMKEY_KIND_CLICK));
    std::array<std::uint8_t, 63> buffer{};
    for (std::uint8_t key : {5, 6}) {
        ASSERT_EQ(::poll(&watch, 1, 5000), 1);
        EXPECT_EQ(::read(fd, buffer.data(), buffer.size()), 63);
        EXPECT_EQ(buffer[0], key);
    }
    ::close(fd);
}

TEST(SimulatedPalmkey, UnplugHangsUpReadersAndReplugTakesNextNumber) {
    SimulatedDeviceBed bed;
    const SimulatedHidDevice first = bed.AddPalmkey();
    const int fd = ::open(first.devnode.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    ASSERT_GE(fd, 0);
    bed.Unplug(first);
    pollfd watch{fd, POLLIN, 0};
    ASSERT_EQ(::poll(&watch, 1, 5000), 1);
    EXPECT_NE(watch.revents & (POLLHUP | POLLERR), 0) << "revents " << watch.revents;
    std::array<std::uint8_t, 64> buffer{};
    EXPECT_LE(::read(fd, buffer.data(), buffer.size()), 0);
    ::close(fd);
    EXPECT_TRUE(HidrawSysnames().empty());

    const SimulatedHidDevice again = bed.AddPalmkey();
    EXPECT_EQ(again.devnode, "/dev/hidraw1");
    EXPECT_EQ(HidrawSysnames(), std::vector<std::string>{"hidraw1"});
}

TEST(SimulatedPalmkey, PlugAndUnplugReachAUdevMonitor) {
    SimulatedDeviceBed bed;
    udev* context = udev_new();
    udev_monitor* monitor = udev_monitor_new_from_netlink(context, "udev");
    udev_monitor_filter_add_match_subsystem_devtype(monitor, "hidraw", nullptr);
    udev_monitor_enable_receiving(monitor);
    pollfd watch{udev_monitor_get_fd(monitor), POLLIN, 0};

    const SimulatedHidDevice palmkey = bed.AddPalmkey();
    ASSERT_EQ(::poll(&watch, 1, 5000), 1);
    udev_device* added = udev_monitor_receive_device(monitor);
    ASSERT_NE(added, nullptr);
    EXPECT_STREQ(udev_device_get_action(added), "add");
    EXPECT_STREQ(udev_device_get_sysname(added), "hidraw0");
    udev_device_unref(added);

    bed.Unplug(palmkey);
    ASSERT_EQ(::poll(&watch, 1, 5000), 1);
    udev_device* removed = udev_monitor_receive_device(monitor);
    ASSERT_NE(removed, nullptr);
    EXPECT_STREQ(udev_device_get_action(removed), "remove");
    udev_device_unref(removed);

    udev_monitor_unref(monitor);
    udev_unref(context);
}

}  // namespace
