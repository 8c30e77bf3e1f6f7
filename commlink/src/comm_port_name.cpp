#include "comm_port_name.h"

#include <string_view>

namespace commlink_serial {
namespace {

constexpr std::string_view kDevicePrefix = "\\\\.\\";

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

void AppendUtf8(std::string& text, char32_t code) {
    if (code < 0x80) {
        text += static_cast<char>(code);
    } else if (code < 0x800) {
        text += static_cast<char>(0xC0 | (code >> 6));
        text += static_cast<char>(0x80 | (code & 0x3F));
    } else if (code < 0x10000) {
        text += static_cast<char>(0xE0 | (code >> 12));
        text += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
        text += static_cast<char>(0x80 | (code & 0x3F));
    } else {
        text += static_cast<char>(0xF0 | (code >> 18));
        text += static_cast<char>(0x80 | ((code >> 12) & 0x3F));
        text += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
        text += static_cast<char>(0x80 | (code & 0x3F));
    }
}

}  // namespace

std::optional<std::string> PortPathFromName(const std::string& name) {
    if (name.empty() || name.find('\0') != std::string::npos) {
        return std::nullopt;
    }
    if (name.starts_with(kDevicePrefix)) {
        return DevicePath(std::string_view(name).substr(kDevicePrefix.size()));
    }
    return name;
}

// File names on Linux are bytes; wide names are written in UTF-8.
std::optional<std::string> PortPathFromName(const std::wstring& name) {
    std::string narrow;
    narrow.reserve(name.size());
    for (const wchar_t character : name) {
        const auto code = static_cast<char32_t>(character);
        if (code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF)) {
            return std::nullopt;
        }
        AppendUtf8(narrow, code);
    }
    return PortPathFromName(narrow);
}

}  // namespace commlink_serial
