#include "hidraw_search.h"

#include <algorithm>
#include <new>
#include <optional>
#include <vector>

#include "hid_ids.h"
#include "platform/udev_handles.h"

namespace zan::devscout {
namespace {

std::optional<std::vector<std::string>> HidrawSyspathsInOrder(udev* context) {
    UdevEnumerate enumerate(udev_enumerate_new(context));
    if (!enumerate || udev_enumerate_add_match_subsystem(enumerate.get(), "hidraw") < 0 ||
        udev_enumerate_scan_devices(enumerate.get()) < 0) {
        return std::nullopt;
    }
    std::vector<std::string> syspaths;
    udev_list_entry* entry = nullptr;
    udev_list_entry_foreach(entry, udev_enumerate_get_list_entry(enumerate.get())) {
        syspaths.emplace_back(udev_list_entry_get_name(entry));
    }
    // libudev's own order has exceptions for some subsystems; the first
    // match must not depend on them.
    std::sort(syspaths.begin(), syspaths.end());
    return syspaths;
}

std::optional<HidIds> IdsOfHidraw(udev_device* hidraw) {
    udev_device* hid = udev_device_get_parent_with_subsystem_devtype(hidraw, "hid", nullptr);
    if (hid == nullptr) {
        return std::nullopt;
    }
    const char* hidId = udev_device_get_property_value(hid, "HID_ID");
    return hidId != nullptr ? ParseHidId(hidId) : std::nullopt;
}

HidrawSearchResult Search(std::uint32_t vendorId, std::uint32_t productId) {
    UdevContext context(udev_new());
    if (!context) {
        return {HidrawSearchResult::Status::Failed, {}};
    }
    const std::optional<std::vector<std::string>> syspaths = HidrawSyspathsInOrder(context.get());
    if (!syspaths) {
        return {HidrawSearchResult::Status::Failed, {}};
    }
    for (const std::string& syspath : *syspaths) {
        // A device may leave between enumeration and this look-up.
        UdevDevice hidraw(udev_device_new_from_syspath(context.get(), syspath.c_str()));
        if (!hidraw) {
            continue;
        }
        const std::optional<HidIds> ids = IdsOfHidraw(hidraw.get());
        const char* devnode = udev_device_get_devnode(hidraw.get());
        if (ids && devnode != nullptr && IdsMatch(*ids, vendorId, productId)) {
            return {HidrawSearchResult::Status::Found, devnode};
        }
    }
    return {HidrawSearchResult::Status::NotFound, {}};
}

}  // namespace

HidrawSearchResult FindHidrawNode(std::uint32_t vendorId, std::uint32_t productId) {
    try {
        return Search(vendorId, productId);
    } catch (const std::bad_alloc&) {
        return {HidrawSearchResult::Status::Failed, {}};
    }
}

}  // namespace zan::devscout
