#include "report_descriptor.h"

#include <sys/stat.h>

#include <fstream>
#include <iterator>

#include "platform/udev_handles.h"

namespace zan::devscout {
namespace {

constexpr std::uint8_t LONG_ITEM_PREFIX = 0xFE;
constexpr std::uint8_t SHORT_ITEM_TAG_MASK = 0xFC;
constexpr std::uint8_t SHORT_ITEM_SIZE_MASK = 0x03;
constexpr std::uint8_t REPORT_ID_TAG = 0x84;
constexpr std::size_t LONG_ITEM_HEADER_SIZE = 3;

std::size_t ShortItemDataSize(std::uint8_t prefix) {
    const std::uint8_t sizeCode = prefix & SHORT_ITEM_SIZE_MASK;
    return sizeCode == 3 ? 4 : sizeCode;
}

// The hidraw device behind a node: by its device number where the node is a
// character device (any name, symlinks included), else by the node's name.
UdevDevice HidrawDeviceOfNode(udev* context, const std::string& devnode) {
    struct stat status {};
    if (::stat(devnode.c_str(), &status) == 0 && S_ISCHR(status.st_mode)) {
        UdevDevice device(udev_device_new_from_devnum(context, 'c', status.st_rdev));
        if (device) {
            const char* subsystem = udev_device_get_subsystem(device.get());
            if (subsystem != nullptr && std::string(subsystem) == "hidraw") {
                return device;
            }
        }
    }
    const std::size_t slash = devnode.rfind('/');
    const std::string sysname = slash == std::string::npos ? devnode : devnode.substr(slash + 1);
    return UdevDevice(udev_device_new_from_subsystem_sysname(context, "hidraw", sysname.c_str()));
}

}  // namespace

bool DeclaresReportIds(std::span<const std::uint8_t> descriptor) {
    std::size_t position = 0;
    while (position < descriptor.size()) {
        const std::uint8_t prefix = descriptor[position];
        if (prefix == LONG_ITEM_PREFIX) {
            if (position + 1 >= descriptor.size()) {
                return false;
            }
            position += LONG_ITEM_HEADER_SIZE + descriptor[position + 1];
            continue;
        }
        const std::size_t dataSize = ShortItemDataSize(prefix);
        if (position + 1 + dataSize > descriptor.size()) {
            return false;
        }
        if ((prefix & SHORT_ITEM_TAG_MASK) == REPORT_ID_TAG) {
            return true;
        }
        position += 1 + dataSize;
    }
    return false;
}

std::optional<std::vector<std::uint8_t>> ReadReportDescriptorOfNode(const std::string& devnode) {
    UdevContext context(udev_new());
    if (!context) {
        return std::nullopt;
    }
    UdevDevice hidraw = HidrawDeviceOfNode(context.get(), devnode);
    if (!hidraw) {
        return std::nullopt;
    }
    udev_device* hid = udev_device_get_parent_with_subsystem_devtype(hidraw.get(), "hid", nullptr);
    if (hid == nullptr) {
        return std::nullopt;
    }
    // Plain file I/O: the attribute is binary and libudev's attribute read
    // stops at the first 0 byte.
    std::ifstream file(std::string(udev_device_get_syspath(hid)) + "/report_descriptor",
                       std::ios::binary);
    if (!file) {
        return std::nullopt;
    }
    std::vector<std::uint8_t> descriptor{std::istreambuf_iterator<char>(file),
                                         std::istreambuf_iterator<char>()};
    if (file.bad()) {
        return std::nullopt;
    }
    return descriptor;
}

}  // namespace zan::devscout
