#include "simulated_palmkey/simulated_palmkey.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <sys/syscall.h>
#include <termios.h>
#include <umockdev.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstdlib>
#include <iomanip>
#include <iostream>
#include <map>
#include <set>
#include <sstream>

#include "platform/unique_fd.h"

namespace zan::test {
namespace {

constexpr const char* USB_BUS_PATH = "/sys/devices/pci0000:00/0000:00:14.0/usb1";
constexpr int HIDRAW_MAJOR = 241;
constexpr std::size_t PALMKEY_REPORT_SIZE = 63;
constexpr std::uint8_t PALMKEY_REPORT_ID = 1;

[[noreturn]] void Fail(const std::string& what) {
    std::cerr << "simulated device bed: " << what << std::endl;
    std::abort();
}

std::vector<std::uint8_t> VendorDescriptor(bool withReportIds) {
    std::vector<std::uint8_t> descriptor = {
        0x06, 0x00, 0xFF,  // usage page (vendor 0xFF00)
        0x09, 0x01,        // usage 1
        0xA1, 0x01,        // collection (application)
    };
    if (withReportIds) {
        descriptor.insert(descriptor.end(), {0x85, PALMKEY_REPORT_ID});
    }
    descriptor.insert(descriptor.end(), {
                                            0x15, 0x00,        // logical minimum 0
                                            0x26, 0xFF, 0x00,  // logical maximum 255
                                            0x75, 0x08,        // report size 8
                                            0x95, 0x3F,        // report count 63
                                            0x09, 0x02,        // usage 2
                                            0x81, 0x02,        // input (data, variable)
                                            0x09, 0x03,        // usage 3
                                            0x91, 0x02,        // output (data, variable)
                                            0xC0,              // end collection
                                        });
    return descriptor;
}

std::string Hex(std::span<const std::uint8_t> bytes) {
    static constexpr char DIGITS[] = "0123456789ABCDEF";
    std::string text;
    for (std::uint8_t byte : bytes) {
        text += DIGITS[byte >> 4];
        text += DIGITS[byte & 0x0F];
    }
    return text;
}

std::string Hex4(std::uint16_t value) {
    std::ostringstream text;
    text << std::uppercase << std::hex << std::setw(4) << std::setfill('0') << value;
    return text.str();
}

std::string Hex4Lower(std::uint16_t value) {
    std::ostringstream text;
    text << std::hex << std::setw(4) << std::setfill('0') << value;
    return text.str();
}

// The testbed wants paths without the leading /sys in descriptions.
std::string WithoutSysPrefix(const std::string& syspath) {
    return syspath.substr(4);
}

}  // namespace

std::vector<std::uint8_t> PalmkeyReportDescriptor() {
    return VendorDescriptor(false);
}

std::vector<std::uint8_t> PalmkeyReportDescriptorWithReportIds() {
    return VendorDescriptor(true);
}

std::vector<std::uint8_t> KeyboardReportDescriptor() {
    return {0x05, 0x01, 0x09, 0x06, 0xA1, 0x01, 0x05, 0x07, 0x19, 0xE0, 0x29, 0xE7, 0x15,
            0x00, 0x25, 0x01, 0x75, 0x01, 0x95, 0x08, 0x81, 0x02, 0x95, 0x01, 0x75, 0x08,
            0x81, 0x01, 0x95, 0x05, 0x75, 0x01, 0x05, 0x08, 0x19, 0x01, 0x29, 0x05, 0x91,
            0x02, 0x95, 0x01, 0x75, 0x03, 0x91, 0x01, 0x95, 0x06, 0x75, 0x08, 0x15, 0x00,
            0x25, 0x65, 0x05, 0x07, 0x19, 0x00, 0x29, 0x65, 0x81, 0x00, 0xC0};
}

std::vector<std::uint8_t> PalmkeyInputReport(std::uint8_t keyField, std::uint8_t kind,
                                             bool withReportIds) {
    std::vector<std::uint8_t> report(PALMKEY_REPORT_SIZE, 0);
    report[0] = keyField;
    report[1] = kind;
    if (withReportIds) {
        report.insert(report.begin(), PALMKEY_REPORT_ID);
    }
    return report;
}

struct SimulatedDeviceBed::Impl {
    UMockdevTestbed* testbed = nullptr;
    int nextHidraw = 0;
    int nextHidDevice = 1;
    int nextUsbPort = 1;
    int nextUsbSerial = 0;
    int nextPlatformSerial = 0;
    // Interfaces per USB device, so that its entry goes when the last does.
    std::map<std::string, int> interfacesOfUsbDevice;
    std::set<std::string> presentUsbDevices;

    void AddFromString(const std::string& description) {
        GError* error = nullptr;
        if (umockdev_testbed_add_from_string(testbed, description.c_str(), &error) == FALSE) {
            std::string message = error != nullptr ? error->message : "unknown error";
            g_clear_error(&error);
            Fail("cannot add device: " + message);
        }
    }
};

SimulatedDeviceBed::SimulatedDeviceBed() : impl_(std::make_unique<Impl>()) {
    impl_->testbed = umockdev_testbed_new();
    if (umockdev_in_mock_environment() == FALSE) {
        g_object_unref(impl_->testbed);
        Fail("not running under umockdev's preload; start the program with umockdev-wrapper");
    }
}

SimulatedDeviceBed::~SimulatedDeviceBed() {
    g_object_unref(impl_->testbed);
}

SimulatedHidDevice SimulatedDeviceBed::AddHidDevice(const SimulatedHidSpec& spec) {
    SimulatedHidDevice device;
    device.usbPort = spec.usbPort != 0 ? spec.usbPort : impl_->nextUsbPort++;
    if (device.usbPort >= impl_->nextUsbPort) {
        impl_->nextUsbPort = device.usbPort + 1;
    }
    const int hidraw = impl_->nextHidraw++;
    const int hidNumber = impl_->nextHidDevice++;
    const std::string port = "1-" + std::to_string(device.usbPort);
    device.usbSyspath = std::string(USB_BUS_PATH) + "/" + port;
    const std::string interfacePath =
        device.usbSyspath + "/" + port + ":1." + std::to_string(spec.interfaceNumber);
    const std::string hidName = "0003:" + Hex4(spec.vendorId) + ":" + Hex4(spec.productId) + "." +
                                Hex4(static_cast<std::uint16_t>(hidNumber));
    device.hidSyspath = interfacePath + "/" + hidName;
    device.sysname = "hidraw" + std::to_string(hidraw);
    device.hidrawSyspath = device.hidSyspath + "/hidraw/" + device.sysname;
    device.devnode = "/dev/" + device.sysname;

    std::ostringstream description;
    description << "P: " << WithoutSysPrefix(device.hidrawSyspath) << "\n"
                << "N: " << device.sysname << "\n"
                << "E: DEVNAME=" << device.devnode << "\n"
                << "E: MAJOR=" << HIDRAW_MAJOR << "\nE: MINOR=" << hidraw << "\n"
                << "E: SUBSYSTEM=hidraw\n"
                << "A: dev=" << HIDRAW_MAJOR << ":" << hidraw << "\\n\n\n";
    description << "P: " << WithoutSysPrefix(device.hidSyspath) << "\n"
                << "E: DRIVER=hid-generic\n"
                << "E: HID_ID=0003:0000" << Hex4(spec.vendorId) << ":0000" << Hex4(spec.productId)
                << "\n"
                << "E: HID_NAME=Simulated " << Hex4(spec.vendorId) << ":" << Hex4(spec.productId)
                << "\n"
                << "E: SUBSYSTEM=hid\n"
                << "H: report_descriptor=" << Hex(spec.reportDescriptor) << "\n\n";
    description << "P: " << WithoutSysPrefix(interfacePath) << "\n"
                << "E: DEVTYPE=usb_interface\nE: DRIVER=usbhid\nE: SUBSYSTEM=usb\n"
                << "A: bInterfaceClass=03\nA: bInterfaceNumber=0" << spec.interfaceNumber << "\n\n";
    if (impl_->presentUsbDevices.count(device.usbSyspath) == 0) {
        description << "P: " << WithoutSysPrefix(device.usbSyspath) << "\n"
                    << "E: DEVTYPE=usb_device\nE: DRIVER=usb\nE: SUBSYSTEM=usb\n"
                    << "E: PRODUCT=" << std::hex << spec.vendorId << "/" << spec.productId
                    << std::dec << "/100\n"
                    << "A: idVendor=" << Hex4Lower(spec.vendorId) << "\n"
                    << "A: idProduct=" << Hex4Lower(spec.productId) << "\n\n";
        impl_->presentUsbDevices.insert(device.usbSyspath);
    }
    impl_->AddFromString(description.str());
    ++impl_->interfacesOfUsbDevice[device.usbSyspath];
    KeepReportBoundaries(device, spec.inputReportSize);
    return device;
}

SimulatedHidDevice SimulatedDeviceBed::AddPalmkey(bool withReportIds) {
    SimulatedHidSpec spec;
    if (withReportIds) {
        spec.reportDescriptor = PalmkeyReportDescriptorWithReportIds();
        spec.inputReportSize = PALMKEY_REPORT_SIZE + 1;
    }
    return AddHidDevice(spec);
}

void SimulatedDeviceBed::Unplug(const SimulatedHidDevice& device) {
    HangUpReaders(device.sysname, device.devnode);
    // The kernel announces the node's removal first, while its parents still
    // exist; umockdev's removal itself sends nothing.
    RemoveEntry(device.hidrawSyspath);
    RemoveEntry(device.hidSyspath);
    int& interfaces = impl_->interfacesOfUsbDevice[device.usbSyspath];
    if (--interfaces <= 0) {
        impl_->interfacesOfUsbDevice.erase(device.usbSyspath);
        impl_->presentUsbDevices.erase(device.usbSyspath);
        RemoveEntry(device.usbSyspath);
    }
}

void SimulatedDeviceBed::KeepReportBoundaries(const SimulatedHidDevice& device,
                                              std::size_t reportSize) {
    // Terminal settings made on the master side apply to the node (the
    // slave side): with VMIN at the report size and no VTIME, n_tty wakes
    // readers only for whole reports.
    const int master = umockdev_testbed_get_dev_fd(impl_->testbed, device.devnode.c_str());
    termios settings{};
    if (master < 0 || ::tcgetattr(master, &settings) != 0) {
        Fail("cannot reach the node of " + device.sysname);
    }
    constexpr std::size_t LARGEST_VMIN = 255;
    settings.c_cc[VMIN] = static_cast<cc_t>(std::clamp<std::size_t>(reportSize, 1, LARGEST_VMIN));
    settings.c_cc[VTIME] = 0;
    if (::tcsetattr(master, TCSANOW, &settings) != 0) {
        Fail("cannot set report boundaries on " + device.sysname);
    }
}

void SimulatedDeviceBed::RemoveEntry(const std::string& syspath) {
    umockdev_testbed_uevent(impl_->testbed, syspath.c_str(), "remove");
    umockdev_testbed_remove_device(impl_->testbed, syspath.c_str());
}

void SimulatedDeviceBed::HangUpReaders(const std::string& sysname, const std::string& devnode) {
    // The node is a pty that outlives the removal; hanging it up gives every
    // open reader what an unplugged hidraw node gives: POLLHUP|POLLERR and a
    // failing read. The preload answers ioctls on /dev nodes itself, so the
    // pty is opened by its own name and the ioctl goes to the kernel directly.
    std::array<char, 256> ptyName{};
    const std::string link = RootDir() + "/dev/" + sysname;
    if (::readlink(link.c_str(), ptyName.data(), ptyName.size() - 1) <= 0) {
        return;
    }
    const zan::UniqueFd pty(::open(ptyName.data(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC));
    if (!pty.valid()) {
        return;
    }
    if (::syscall(SYS_ioctl, pty.get(), TIOCVHANGUP, 0) != 0) {
        std::cerr << "simulated device bed: cannot hang up " << devnode << std::endl;
    }
}

SimulatedSerialPort SimulatedDeviceBed::AddSerialPort(const SimulatedSerialSpec& spec) {
    constexpr int USB_SERIAL_MAJOR = 188;
    constexpr int PLATFORM_SERIAL_MAJOR = 4;
    constexpr int FIRST_PLATFORM_SERIAL_MINOR = 64;
    SimulatedSerialPort port;
    std::ostringstream description;
    int major = 0;
    int minor = 0;
    std::string parents;
    if (spec.onUsb) {
        major = USB_SERIAL_MAJOR;
        minor = impl_->nextUsbSerial++;
        port.sysname = "ttyUSB" + std::to_string(minor);
        const std::string usbPort = "1-" + std::to_string(impl_->nextUsbPort++);
        port.usbSyspath = std::string(USB_BUS_PATH) + "/" + usbPort;
        const std::string interfacePath = port.usbSyspath + "/" + usbPort + ":1.0";
        port.syspath = interfacePath + "/" + port.sysname + "/tty/" + port.sysname;
        parents =
            "P: " + WithoutSysPrefix(interfacePath + "/" + port.sysname) +
            "\nE: SUBSYSTEM=usb-serial\nE: DRIVER=ftdi_sio\n\n" +
            "P: " + WithoutSysPrefix(interfacePath) +
            "\nE: DEVTYPE=usb_interface\nE: SUBSYSTEM=usb\nA: bInterfaceNumber=00\n\n" +
            "P: " + WithoutSysPrefix(port.usbSyspath) +
            "\nE: DEVTYPE=usb_device\nE: SUBSYSTEM=usb\nA: idVendor=" + Hex4Lower(spec.vendorId) +
            "\nA: idProduct=" + Hex4Lower(spec.productId) + "\n\n";
        impl_->presentUsbDevices.insert(port.usbSyspath);
    } else {
        major = PLATFORM_SERIAL_MAJOR;
        const int index = impl_->nextPlatformSerial++;
        minor = FIRST_PLATFORM_SERIAL_MINOR + index;
        port.sysname = "ttyS" + std::to_string(index);
        port.syspath = "/sys/devices/platform/serial8250/tty/" + port.sysname;
        parents = "P: /devices/platform/serial8250\nE: SUBSYSTEM=platform\n\n";
    }
    port.devnode = "/dev/" + port.sysname;
    description << "P: " << WithoutSysPrefix(port.syspath) << "\nN: " << port.sysname
                << "\nE: DEVNAME=" << port.devnode << "\nE: SUBSYSTEM=tty\n";
    if (spec.onUsb) {
        // As udev's rules add them to nodes on USB devices.
        description << "E: ID_VENDOR_ID=" << Hex4Lower(spec.vendorId)
                    << "\nE: ID_MODEL_ID=" << Hex4Lower(spec.productId) << "\n";
    }
    description << "A: dev=" << major << ":" << minor << "\\n\n\n" << parents;
    impl_->AddFromString(description.str());
    return port;
}

void SimulatedDeviceBed::Unplug(const SimulatedSerialPort& port) {
    HangUpReaders(port.sysname, port.devnode);
    RemoveEntry(port.syspath);
    if (!port.usbSyspath.empty()) {
        impl_->presentUsbDevices.erase(port.usbSyspath);
        RemoveEntry(port.usbSyspath);
    }
}

void SimulatedDeviceBed::SendUevent(const SimulatedHidDevice& device, const std::string& action) {
    umockdev_testbed_uevent(impl_->testbed, device.hidrawSyspath.c_str(), action.c_str());
}

bool SimulatedDeviceBed::WriteReport(const SimulatedHidDevice& device,
                                     std::span<const std::uint8_t> report) {
    const int fd = umockdev_testbed_get_dev_fd(impl_->testbed, device.devnode.c_str());
    if (fd < 0) {
        return false;
    }
    std::size_t written = 0;
    while (written < report.size()) {
        const ssize_t result = ::write(fd, report.data() + written, report.size() - written);
        if (result < 0 && errno == EINTR) {
            continue;
        }
        if (result <= 0) {
            return false;
        }
        written += static_cast<std::size_t>(result);
    }
    return true;
}

bool SimulatedDeviceBed::WriteKey(const SimulatedHidDevice& device, std::uint8_t keyField,
                                  std::uint8_t kind, bool withReportIds) {
    return WriteReport(device, PalmkeyInputReport(keyField, kind, withReportIds));
}

std::vector<std::uint8_t> SimulatedDeviceBed::ReadFromHost(const SimulatedHidDevice& device,
                                                           std::size_t most, int timeoutMs) {
    const int fd = umockdev_testbed_get_dev_fd(impl_->testbed, device.devnode.c_str());
    std::vector<std::uint8_t> bytes(most);
    pollfd watched{fd, POLLIN, 0};
    if (fd < 0 || ::poll(&watched, 1, timeoutMs) != 1 || (watched.revents & POLLIN) == 0) {
        return {};
    }
    const ssize_t count = ::read(fd, bytes.data(), bytes.size());
    bytes.resize(count > 0 ? static_cast<std::size_t>(count) : 0);
    return bytes;
}

std::string SimulatedDeviceBed::RootDir() const {
    gchar* root = umockdev_testbed_get_root_dir(impl_->testbed);
    std::string result = root != nullptr ? root : "";
    g_free(root);
    return result;
}

}  // namespace zan::test
