#include "path_text.h"

#include <cstdint>

namespace zan::devscout {
namespace {

constexpr char32_t REPLACEMENT = 0xFFFD;
constexpr char32_t LARGEST_CODE_POINT = 0x10FFFF;

bool IsSurrogate(char32_t value) {
    return value >= 0xD800 && value <= 0xDFFF;
}

void AppendUtf8(std::string& out, char32_t value) {
    if (value > LARGEST_CODE_POINT || IsSurrogate(value)) {
        value = REPLACEMENT;
    }
    if (value < 0x80) {
        out += static_cast<char>(value);
    } else if (value < 0x800) {
        out += static_cast<char>(0xC0 | (value >> 6));
        out += static_cast<char>(0x80 | (value & 0x3F));
    } else if (value < 0x10000) {
        out += static_cast<char>(0xE0 | (value >> 12));
        out += static_cast<char>(0x80 | ((value >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (value & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (value >> 18));
        out += static_cast<char>(0x80 | ((value >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((value >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (value & 0x3F));
    }
}

// Length of the well-formed UTF-8 sequence at text[position] and its value,
// or 0 when the bytes there are not one.
std::size_t DecodeUtf8(std::string_view text, std::size_t position, char32_t& value) {
    const auto lead = static_cast<std::uint8_t>(text[position]);
    std::size_t length = 0;
    char32_t smallest = 0;
    if (lead < 0x80) {
        value = lead;
        return 1;
    }
    if ((lead & 0xE0) == 0xC0) {
        length = 2;
        smallest = 0x80;
        value = lead & 0x1F;
    } else if ((lead & 0xF0) == 0xE0) {
        length = 3;
        smallest = 0x800;
        value = lead & 0x0F;
    } else if ((lead & 0xF8) == 0xF0) {
        length = 4;
        smallest = 0x10000;
        value = lead & 0x07;
    } else {
        return 0;
    }
    if (position + length > text.size()) {
        return 0;
    }
    for (std::size_t index = 1; index < length; ++index) {
        const auto next = static_cast<std::uint8_t>(text[position + index]);
        if ((next & 0xC0) != 0x80) {
            return 0;
        }
        value = (value << 6) | (next & 0x3F);
    }
    if (value < smallest || value > LARGEST_CODE_POINT || IsSurrogate(value)) {
        return 0;
    }
    return length;
}

}  // namespace

std::string Utf8FromWide(std::wstring_view text) {
    std::string out;
    out.reserve(text.size());
    for (wchar_t character : text) {
        AppendUtf8(out, static_cast<char32_t>(character));
    }
    return out;
}

std::wstring WideFromUtf8(std::string_view text) {
    std::wstring out;
    out.reserve(text.size());
    std::size_t position = 0;
    while (position < text.size()) {
        char32_t value = 0;
        const std::size_t length = DecodeUtf8(text, position, value);
        if (length == 0) {
            out += static_cast<wchar_t>(static_cast<std::uint8_t>(text[position]));
            ++position;
        } else {
            out += static_cast<wchar_t>(value);
            position += length;
        }
    }
    return out;
}

}  // namespace zan::devscout
