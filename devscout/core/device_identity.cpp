#include "device_identity.h"

#include <charconv>
#include <cstring>
#include <optional>

#include "hid_ids.h"

namespace zan::devscout {
namespace {

std::optional<std::uint32_t> ParseUsbId(const char* text) {
    if (text == nullptr) {
        return std::nullopt;
    }
    const std::size_t length = std::strlen(text);
    std::uint32_t value = 0;
    const auto [end, error] = std::from_chars(text, text + length, value, 16);
    if (error != std::errc() || end != text + length || length == 0) {
        return std::nullopt;
    }
    return value;
}

bool TakeHidIds(udev_device* device, DeviceIdentity& identity) {
    udev_device* hid = udev_device_get_parent_with_subsystem_devtype(device, "hid", nullptr);
    const char* hidId = hid != nullptr ? udev_device_get_property_value(hid, "HID_ID") : nullptr;
    const std::optional<HidIds> ids = hidId != nullptr ? ParseHidId(hidId) : std::nullopt;
    if (!ids) {
        return false;
    }
    identity.bus = DeviceIdentity::Bus::Hid;
    identity.vendorId = ids->vendorId;
    identity.productId = ids->productId;
    return true;
}

bool TakeUsbIds(udev_device* device, DeviceIdentity& identity) {
    udev_device* usb = udev_device_get_parent_with_subsystem_devtype(device, "usb", "usb_device");
    std::optional<std::uint32_t> vendorId;
    std::optional<std::uint32_t> productId;
    if (usb != nullptr) {
        vendorId = ParseUsbId(udev_device_get_sysattr_value(usb, "idVendor"));
        productId = ParseUsbId(udev_device_get_sysattr_value(usb, "idProduct"));
    } else {
        // The USB device may be gone by the time an event is read; udev's
        // own rules copy its ids into the node's properties.
        vendorId = ParseUsbId(udev_device_get_property_value(device, "ID_VENDOR_ID"));
        productId = ParseUsbId(udev_device_get_property_value(device, "ID_MODEL_ID"));
    }
    if (!vendorId || !productId) {
        return false;
    }
    identity.bus = DeviceIdentity::Bus::Usb;
    identity.vendorId = *vendorId;
    identity.productId = *productId;
    return true;
}

}  // namespace

DeviceIdentity IdentityOfDevice(udev_device* device) {
    DeviceIdentity identity;
    const char* sysname = udev_device_get_sysname(device);
    const char* subsystem = udev_device_get_subsystem(device);
    identity.sysname = sysname != nullptr ? sysname : "";
    identity.subsystem = subsystem != nullptr ? subsystem : "";
    if (identity.subsystem == "hidraw" && TakeHidIds(device, identity)) {
        return identity;
    }
    TakeUsbIds(device, identity);
    return identity;
}

}  // namespace zan::devscout
