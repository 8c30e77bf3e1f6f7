#include "notice_name.h"

#include <cctype>
#include <cstdio>

#include "path_text.h"

namespace zan::devscout {
namespace {

std::wstring IdText(std::uint32_t vendorId, std::uint32_t productId) {
    char text[32];
    std::snprintf(text, sizeof text, "VID_%04X&PID_%04X", static_cast<unsigned>(vendorId),
                  static_cast<unsigned>(productId));
    return WideFromUtf8(text);
}

std::wstring UpperCase(const std::string& text) {
    std::string upper;
    for (char character : text) {
        upper += static_cast<char>(std::toupper(static_cast<unsigned char>(character)));
    }
    return WideFromUtf8(upper);
}

}  // namespace

std::wstring NoticeName(const DeviceIdentity& identity, const std::wstring& classText) {
    std::wstring name = L"\\\\?\\";
    switch (identity.bus) {
        case DeviceIdentity::Bus::Hid:
            name += L"HID#" + IdText(identity.vendorId, identity.productId);
            break;
        case DeviceIdentity::Bus::Usb:
            name += L"USB#" + IdText(identity.vendorId, identity.productId);
            break;
        case DeviceIdentity::Bus::None:
            name += UpperCase(identity.subsystem);
            break;
    }
    name += L"#" + WideFromUtf8(identity.sysname) + L"#{" + classText + L"}";
    return name;
}

}  // namespace zan::devscout
