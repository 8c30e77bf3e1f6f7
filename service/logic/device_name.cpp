#include "device_name.h"

#include <cstddef>
#include <string_view>

namespace {

constexpr std::size_t IDENTIFIER_INDEX = 8;
constexpr std::wstring_view DEVICE_IDENTIFIER = L"VID_1314&PID_1070";

wchar_t AsciiUpper(wchar_t character) {
    return (character >= L'a' && character <= L'z') ? static_cast<wchar_t>(character - L'a' + L'A')
                                                    : character;
}

}  // namespace

bool MatchDeviceName(const std::wstring& interfaceName) {
    if (interfaceName.size() < IDENTIFIER_INDEX + DEVICE_IDENTIFIER.size()) {
        return false;
    }
    for (std::size_t i = 0; i < DEVICE_IDENTIFIER.size(); ++i) {
        if (AsciiUpper(interfaceName[IDENTIFIER_INDEX + i]) != DEVICE_IDENTIFIER[i]) {
            return false;
        }
    }
    return true;
}
