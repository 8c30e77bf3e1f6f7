// How the registry stores text and compares names.
#include <cwctype>
#include <type_traits>

#include "platform/registry_view.h"

namespace zan {
namespace {

void AppendUnit(std::vector<std::uint8_t>& bytes, std::uint32_t unit) {
    bytes.push_back(static_cast<std::uint8_t>(unit & 0xFF));
    bytes.push_back(static_cast<std::uint8_t>((unit >> 8) & 0xFF));
}

bool IsHighSurrogate(std::uint32_t unit) {
    return unit >= 0xD800 && unit <= 0xDBFF;
}
bool IsLowSurrogate(std::uint32_t unit) {
    return unit >= 0xDC00 && unit <= 0xDFFF;
}

}  // namespace

std::vector<std::uint8_t> EncodeRegistryText(std::wstring_view text) {
    std::vector<std::uint8_t> bytes;
    bytes.reserve((text.size() + 1) * 2);
    for (const wchar_t character : text) {
        const auto code =
            static_cast<std::uint32_t>(static_cast<std::make_unsigned_t<wchar_t>>(character));
        if (code > 0x10FFFF || IsHighSurrogate(code) || IsLowSurrogate(code)) {
            AppendUnit(bytes, 0xFFFD);  // not a character: keep the length, lose nothing else
        } else if (code > 0xFFFF) {
            const std::uint32_t offset = code - 0x10000;
            AppendUnit(bytes, 0xD800 + (offset >> 10));
            AppendUnit(bytes, 0xDC00 + (offset & 0x3FF));
        } else {
            AppendUnit(bytes, code);
        }
    }
    AppendUnit(bytes, 0);
    return bytes;
}

std::wstring DecodeRegistryText(std::span<const std::uint8_t> data) {
    std::wstring text;
    std::uint32_t pendingHigh = 0;
    for (std::size_t index = 0; index + 1 < data.size(); index += 2) {
        const std::uint32_t unit = data[index] | (static_cast<std::uint32_t>(data[index + 1]) << 8);
        if (unit == 0) {
            break;
        }
        if (IsHighSurrogate(unit)) {
            pendingHigh = unit;
            continue;
        }
        if (IsLowSurrogate(unit)) {
            if (pendingHigh != 0) {
                const std::uint32_t code =
                    0x10000 + ((pendingHigh - 0xD800) << 10) + (unit - 0xDC00);
                text.push_back(static_cast<wchar_t>(code));
            }
            pendingHigh = 0;
            continue;
        }
        pendingHigh = 0;
        text.push_back(static_cast<wchar_t>(unit));
    }
    return text;
}

std::vector<std::uint8_t> EncodeRegistryDword(std::uint32_t number) {
    return {static_cast<std::uint8_t>(number & 0xFF),
            static_cast<std::uint8_t>((number >> 8) & 0xFF),
            static_cast<std::uint8_t>((number >> 16) & 0xFF),
            static_cast<std::uint8_t>((number >> 24) & 0xFF)};
}

bool RegistryNamesEqual(std::wstring_view left, std::wstring_view right) {
    if (left.size() != right.size()) {
        return false;
    }
    for (std::size_t index = 0; index < left.size(); ++index) {
        if (std::towupper(static_cast<std::wint_t>(left[index])) !=
            std::towupper(static_cast<std::wint_t>(right[index]))) {
            return false;
        }
    }
    return true;
}

}  // namespace zan
