// The registry keys of the serial-port look-ups, made from udev's view of the
// present serial ttys and hidraw nodes.
#include <libudev.h>

#include <charconv>
#include <cstring>
#include <functional>

#include "platform/registry_view.h"
#include "platform/udev_handles.h"

namespace zan {
namespace {

struct DeviceIds {
    std::uint16_t vendor = 0;
    std::uint16_t product = 0;
};

// Interface as the registry names it.
struct InterfaceEntry {
    std::wstring bus;              // USB, HID, TTY
    std::optional<DeviceIds> ids;  // absent for a port with no USB device above it
    std::wstring sysname;          // instance part of the key name
    std::wstring devnode;          // SymbolicLink
};

// Device names are ASCII in practice; anything else is carried byte for byte
// so that no name is lost.
std::wstring Widen(const char* text) {
    std::wstring wide;
    for (const char* cursor = text; cursor != nullptr && *cursor != '\0'; ++cursor) {
        wide.push_back(static_cast<wchar_t>(static_cast<unsigned char>(*cursor)));
    }
    return wide;
}

std::optional<std::uint32_t> ParseHex(std::string_view text) {
    while (!text.empty() && (text.back() == '\n' || text.back() == ' ')) {
        text.remove_suffix(1);
    }
    std::uint32_t number = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), number, 16);
    if (error != std::errc{} || end != text.data() + text.size() || text.empty()) {
        return std::nullopt;
    }
    return number;
}

std::optional<DeviceIds> UsbIdsAbove(udev_device* device) {
    // The parent belongs to the child: it must not be unreferenced here.
    udev_device* usbDevice =
        udev_device_get_parent_with_subsystem_devtype(device, "usb", "usb_device");
    if (usbDevice == nullptr) {
        return std::nullopt;
    }
    const char* vendorText = udev_device_get_sysattr_value(usbDevice, "idVendor");
    const char* productText = udev_device_get_sysattr_value(usbDevice, "idProduct");
    if (vendorText == nullptr || productText == nullptr) {
        return std::nullopt;
    }
    const auto vendor = ParseHex(vendorText);
    const auto product = ParseHex(productText);
    if (!vendor || !product || *vendor > 0xFFFF || *product > 0xFFFF) {
        return std::nullopt;
    }
    return DeviceIds{static_cast<std::uint16_t>(*vendor), static_cast<std::uint16_t>(*product)};
}

// HID_ID reads "bus:vendor:product" in hex, e.g. 0003:00001314:00001070.
std::optional<DeviceIds> HidIdsAbove(udev_device* device) {
    udev_device* hidDevice = udev_device_get_parent_with_subsystem_devtype(device, "hid", nullptr);
    if (hidDevice == nullptr) {
        return std::nullopt;
    }
    const char* hidId = udev_device_get_property_value(hidDevice, "HID_ID");
    if (hidId == nullptr) {
        return std::nullopt;
    }
    const std::string_view text(hidId);
    const std::size_t first = text.find(':');
    const std::size_t second = text.find(':', first == std::string_view::npos ? first : first + 1);
    if (first == std::string_view::npos || second == std::string_view::npos) {
        return std::nullopt;
    }
    const auto vendor = ParseHex(text.substr(first + 1, second - first - 1));
    const auto product = ParseHex(text.substr(second + 1));
    if (!vendor || !product || *vendor > 0xFFFF || *product > 0xFFFF) {
        return std::nullopt;
    }
    return DeviceIds{static_cast<std::uint16_t>(*vendor), static_cast<std::uint16_t>(*product)};
}

// A tty is a serial port when a device stands behind it; an 8250 port whose
// probe found no UART (type 0) is only a placeholder the kernel keeps.
bool IsSerialPort(udev_device* tty) {
    if (udev_device_get_parent(tty) == nullptr) {
        return false;
    }
    const char* uartType = udev_device_get_sysattr_value(tty, "type");
    return uartType == nullptr || std::strcmp(uartType, "0") != 0;
}

void ForEachDevice(udev* context, const char* subsystem,
                   const std::function<void(udev_device*)>& visit) {
    const UdevEnumerate enumeration(udev_enumerate_new(context));
    if (!enumeration || udev_enumerate_add_match_subsystem(enumeration.get(), subsystem) < 0 ||
        udev_enumerate_scan_devices(enumeration.get()) < 0) {
        return;
    }
    udev_list_entry* entry = nullptr;
    udev_list_entry_foreach(entry, udev_enumerate_get_list_entry(enumeration.get())) {
        const UdevDevice device(
            udev_device_new_from_syspath(context, udev_list_entry_get_name(entry)));
        if (device && udev_device_get_devnode(device.get()) != nullptr) {
            visit(device.get());
        }
    }
}

std::vector<InterfaceEntry> SerialPorts(udev* context) {
    std::vector<InterfaceEntry> ports;
    ForEachDevice(context, "tty", [&ports](udev_device* tty) {
        if (!IsSerialPort(tty)) {
            return;
        }
        const auto ids = UsbIdsAbove(tty);
        ports.push_back({ids ? L"USB" : L"TTY", ids, Widen(udev_device_get_sysname(tty)),
                         Widen(udev_device_get_devnode(tty))});
    });
    return ports;
}

std::vector<InterfaceEntry> HidInterfaces(udev* context) {
    std::vector<InterfaceEntry> interfaces;
    ForEachDevice(context, "hidraw", [&interfaces](udev_device* hidraw) {
        const auto ids = HidIdsAbove(hidraw);
        if (!ids) {
            return;
        }
        interfaces.push_back({L"HID", ids, Widen(udev_device_get_sysname(hidraw)),
                              Widen(udev_device_get_devnode(hidraw))});
    });
    return interfaces;
}

std::wstring UpperHex4(std::uint16_t number) {
    constexpr std::wstring_view DIGITS = L"0123456789ABCDEF";
    std::wstring text(4, L'0');
    for (int position = 3; position >= 0; --position) {
        text[static_cast<std::size_t>(position)] = DIGITS[number & 0xF];
        number = static_cast<std::uint16_t>(number >> 4);
    }
    return text;
}

std::wstring InterfaceKeyName(const InterfaceEntry& entry, std::wstring_view interfaceClass) {
    std::wstring name = L"##?#" + entry.bus + L"#";
    if (entry.ids) {
        name += L"VID_" + UpperHex4(entry.ids->vendor) + L"&PID_" + UpperHex4(entry.ids->product) +
                L"#";
    }
    name += entry.sysname + L"#" + std::wstring(interfaceClass);
    return name;
}

void AddInterfaces(MemoryRegistry& registry, std::wstring_view interfaceClass,
                   const std::vector<InterfaceEntry>& entries) {
    const std::wstring classKey =
        std::wstring(DEVICE_CLASSES_KEY_PATH) + L"\\" + std::wstring(interfaceClass);
    registry.AddKey(classKey);
    for (const auto& entry : entries) {
        const std::wstring interfaceKey =
            classKey + L"\\" + InterfaceKeyName(entry, interfaceClass);
        registry.SetValue(interfaceKey + L"\\#\\Control", L"Linked",
                          {RegistryValueType::Dword, EncodeRegistryDword(1)});
        registry.SetValue(interfaceKey + L"\\#", L"SymbolicLink",
                          {RegistryValueType::String, EncodeRegistryText(entry.devnode)});
    }
}

void AddSerialComm(MemoryRegistry& registry, const std::vector<InterfaceEntry>& ports) {
    registry.AddKey(SERIAL_COMM_KEY_PATH);
    for (const auto& port : ports) {
        registry.SetValue(SERIAL_COMM_KEY_PATH, L"\\Device\\" + port.sysname,
                          {RegistryValueType::String, EncodeRegistryText(port.sysname)});
    }
}

}  // namespace

MemoryRegistry SnapshotLinuxRegistry() {
    MemoryRegistry registry;
    const UdevContext context(udev_new());
    std::vector<InterfaceEntry> ports;
    std::vector<InterfaceEntry> hidInterfaces;
    if (context) {
        ports = SerialPorts(context.get());
        hidInterfaces = HidInterfaces(context.get());
    }
    AddSerialComm(registry, ports);
    AddInterfaces(registry, COM_PORT_CLASS, ports);
    AddInterfaces(registry, HID_CLASS, hidInterfaces);
    return registry;
}

}  // namespace zan
