#include "zanmsg_numbers.h"

#include <charconv>
#include <limits>

namespace zan::zanmsg {
namespace {

std::optional<std::uint64_t> ParseMagnitude(std::string_view text) {
    int base = 10;
    if (text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) {
        base = 16;
        text.remove_prefix(2);
    }
    // from_chars would take a '-' itself, or accept a second "0x".
    if (text.empty() || text.front() == '-' || text.front() == '+') {
        return std::nullopt;
    }
    std::uint64_t value = 0;
    const char* end = text.data() + text.size();
    const auto [stop, error] = std::from_chars(text.data(), end, value, base);
    if (error != std::errc() || stop != end) {
        return std::nullopt;
    }
    return value;
}

}  // namespace

std::optional<std::uint64_t> ParseUnsigned(std::string_view text, std::uint64_t maximum) {
    const auto value = ParseMagnitude(text);
    if (!value || *value > maximum) {
        return std::nullopt;
    }
    return value;
}

std::optional<std::int64_t> ParseSigned(std::string_view text) {
    const bool negative = text.starts_with('-');
    if (negative) {
        text.remove_prefix(1);
    }
    const auto magnitude = ParseMagnitude(text);
    if (!magnitude) {
        return std::nullopt;
    }
    constexpr auto LARGEST = static_cast<std::uint64_t>(std::numeric_limits<std::int64_t>::max());
    if (!negative) {
        return *magnitude <= LARGEST ? std::optional<std::int64_t>(*magnitude) : std::nullopt;
    }
    if (*magnitude > LARGEST + 1) {
        return std::nullopt;
    }
    // -(LARGEST + 1) is representable only by going through the unsigned
    // two's complement.
    return static_cast<std::int64_t>(~*magnitude + 1);
}

}  // namespace zan::zanmsg
