#include "device_name.h"

#include <cstddef>
#include <string_view>

namespace {

constexpr std::size_t kIdentifierIndex = 8;
constexpr std::wstring_view kDeviceIdentifier = L"VID_1314&PID_1070";

wchar_t AsciiUpper(wchar_t character) {
    return (character >= L'a' && character <= L'z') ? static_cast<wchar_t>(character - L'a' + L'A')
                                                    : character;
}

}  // namespace

bool MatchDeviceName(const std::wstring& interfaceName) {
    if (interfaceName.size() < kIdentifierIndex + kDeviceIdentifier.size()) {
        return false;
    }
    for (std::size_t i = 0; i < kDeviceIdentifier.size(); ++i) {
        if (AsciiUpper(interfaceName[kIdentifierIndex + i]) != kDeviceIdentifier[i]) {
            return false;
        }
    }
    return true;
}
