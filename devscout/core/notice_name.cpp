#include "notice_name.h"

#include <cctype>

#include "path_text.h"

namespace zan::devscout {
namespace {

// Upper-case hexadecimal, at least four digits.
std::wstring Hex4(std::uint32_t value) {
    std::wstring digits;
    do {
        digits.insert(digits.begin(), L"0123456789ABCDEF"[value & 0x0F]);
        value >>= 4;
    } while (value != 0);
    if (digits.size() < 4) {
        digits.insert(0, 4 - digits.size(), L'0');
    }
    return digits;
}

std::wstring IdText(std::uint32_t vendorId, std::uint32_t productId) {
    return L"VID_" + Hex4(vendorId) + L"&PID_" + Hex4(productId);
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
