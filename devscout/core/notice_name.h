#pragma once
// Interface names carried by device notices, in the form the service's name
// test expects, with the vendor/product text at character 8:
//   \\?\HID#VID_1314&PID_1070#hidraw0#{<class>}    a hidraw node
//   \\?\USB#VID_0403&PID_6001#ttyUSB0#{<class>}    another node on a USB device
//   \\?\TTY#ttyS0#{<class>}                         a node without such ids

#include <cstdint>
#include <optional>
#include <string>

namespace zan::devscout {

// Who a device node belongs to, as far as its names need it. Remembered while
// the device is present: at removal its parents may already be gone.
struct DeviceIdentity {
    enum class Bus { Hid, Usb, None };
    Bus bus = Bus::None;
    std::uint32_t vendorId = 0;
    std::uint32_t productId = 0;
    std::string subsystem;  // used by Bus::None
    std::string sysname;
    friend bool operator==(const DeviceIdentity&, const DeviceIdentity&) = default;
};

// classText is the class id's text without braces.
std::wstring NoticeName(const DeviceIdentity& identity, const std::wstring& classText);

}  // namespace zan::devscout
