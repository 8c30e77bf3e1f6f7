#include "comm_port_name.h"

#include <algorithm>
#include <string_view>

#include "path_text.h"

namespace zan::commlink {
namespace {

constexpr std::string_view DEVICE_PREFIX = "\\\\.\\";

std::optional<std::string> DevicePath(std::string_view deviceName) {
    std::string path = "/dev";
    while (true) {
        const std::size_t separator = deviceName.find('\\');
        const std::string_view folder = deviceName.substr(0, separator);
        // An empty or ".." folder would leave /dev: the "\\.\" form promises a
        // device node.
        if (folder.empty() || folder == "..") {
            return std::nullopt;
        }
        path += '/';
        path += folder;
        if (separator == std::string_view::npos) {
            return path;
        }
        deviceName.remove_prefix(separator + 1);
    }
}

bool IsUnicodeScalar(wchar_t character) {
    const auto code = static_cast<char32_t>(character);
    return code <= 0x10FFFF && (code < 0xD800 || code > 0xDFFF);
}

}  // namespace

std::optional<std::string> PortPathFromName(const std::string& name) {
    if (name.empty() || name.find('\0') != std::string::npos) {
        return std::nullopt;
    }
    if (name.starts_with(DEVICE_PREFIX)) {
        return DevicePath(std::string_view(name).substr(DEVICE_PREFIX.size()));
    }
    // A bare name ("ttyS0") means a device, as a bare "COM3" does on
    // Windows; opened as it stands it would depend on the current folder.
    if (name.find('/') == std::string::npos) {
        return DevicePath(name);
    }
    return name;
}

// File names on Linux are bytes; wide names are written in UTF-8. A name
// that is not valid Unicode is refused rather than opened under a
// replacement character.
std::optional<std::string> PortPathFromName(const std::wstring& name) {
    if (!std::ranges::all_of(name, IsUnicodeScalar)) {
        return std::nullopt;
    }
    return PortPathFromName(zan::devscout::Utf8FromWide(name));
}

}  // namespace zan::commlink
