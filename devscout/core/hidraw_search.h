#pragma once
// The HID path search shared by Devscout and Commlink: the first present
// hidraw device, in sysfs-path order, whose HID ids match. Reads ids from
// the parent hid device's HID_ID property, so it needs no access to the
// node itself.

#include <cstdint>
#include <string>

namespace zan::devscout {

struct HidrawSearchResult {
    enum class Status { Found, NotFound, Failed };
    Status status = Status::NotFound;
    std::string devnode;  // /dev/hidrawN when Found, else empty
};

// Failed means the search could not run (no udev context, enumeration
// refused, out of memory); never throws.
HidrawSearchResult FindHidrawNode(std::uint32_t vendorId, std::uint32_t productId);

}  // namespace zan::devscout
