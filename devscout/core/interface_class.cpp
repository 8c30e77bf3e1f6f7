#include "interface_class.h"

namespace zan::devscout {
namespace {

constexpr std::size_t CLASS_TEXT_LENGTH = 36;
constexpr std::array<std::size_t, 4> DASH_POSITIONS = {8, 13, 18, 23};
// Byte order of the text's digit pairs in the in-memory layout.
constexpr std::array<std::size_t, 16> BYTE_OF_PAIR = {3, 2, 1,  0,  5,  4,  7,  6,
                                                      8, 9, 10, 11, 12, 13, 14, 15};

constexpr std::wstring_view HID_CLASS = L"4d1e55b2-f16f-11cf-88cb-001111000030";
constexpr std::wstring_view PORTS_CLASS = L"4d36e978-e325-11ce-bfc1-08002be10318";

std::optional<std::uint8_t> HexDigit(wchar_t character) {
    if (character >= L'0' && character <= L'9') {
        return static_cast<std::uint8_t>(character - L'0');
    }
    if (character >= L'a' && character <= L'f') {
        return static_cast<std::uint8_t>(character - L'a' + 10);
    }
    if (character >= L'A' && character <= L'F') {
        return static_cast<std::uint8_t>(character - L'A' + 10);
    }
    return std::nullopt;
}

bool IsDashPosition(std::size_t position) {
    for (std::size_t dash : DASH_POSITIONS) {
        if (dash == position) {
            return true;
        }
    }
    return false;
}

}  // namespace

std::optional<InterfaceClass> ParseInterfaceClass(std::wstring_view text) {
    if (text.size() != CLASS_TEXT_LENGTH) {
        return std::nullopt;
    }
    InterfaceClass parsed;
    std::size_t pair = 0;
    bool highNibble = true;
    for (std::size_t position = 0; position < text.size(); ++position) {
        if (IsDashPosition(position)) {
            if (text[position] != L'-') {
                return std::nullopt;
            }
            parsed.text += L'-';
            continue;
        }
        const std::optional<std::uint8_t> digit = HexDigit(text[position]);
        if (!digit) {
            return std::nullopt;
        }
        parsed.text += static_cast<wchar_t>(L"0123456789abcdef"[*digit]);
        std::uint8_t& byte = parsed.bytes[BYTE_OF_PAIR[pair]];
        if (highNibble) {
            byte = static_cast<std::uint8_t>(*digit << 4);
        } else {
            byte = static_cast<std::uint8_t>(byte | *digit);
            ++pair;
        }
        highNibble = !highNibble;
    }
    return parsed;
}

std::string SubsystemOfClass(const InterfaceClass& interfaceClass) {
    if (interfaceClass.text == HID_CLASS) {
        return "hidraw";
    }
    if (interfaceClass.text == PORTS_CLASS) {
        return "tty";
    }
    return {};
}

}  // namespace zan::devscout
