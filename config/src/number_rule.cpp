#include "number_rule.h"

#include <limits>

namespace zan::config {

namespace {

bool IsBlank(char c) {
    // The C locale's isspace(), the set "%d" skips.
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}

}  // namespace

std::optional<std::int32_t> ParseLeadingInt32(std::string_view text) {
    std::size_t position = 0;
    while (position < text.size() && IsBlank(text[position])) {
        ++position;
    }
    bool negative = false;
    if (position < text.size() && (text[position] == '+' || text[position] == '-')) {
        negative = text[position] == '-';
        ++position;
    }
    if (position == text.size() || !IsDigit(text[position])) {
        return std::nullopt;
    }
    // One past the largest magnitude, so that -2147483648 fits while
    // accumulating and anything longer stops before it could overflow.
    constexpr std::int64_t LIMIT = std::int64_t{std::numeric_limits<std::int32_t>::max()} + 1;
    std::int64_t magnitude = 0;
    for (; position < text.size() && IsDigit(text[position]); ++position) {
        magnitude = magnitude * 10 + (text[position] - '0');
        if (magnitude > LIMIT) {
            return std::nullopt;
        }
    }
    const std::int64_t value = negative ? -magnitude : magnitude;
    if (value > std::numeric_limits<std::int32_t>::max()) {
        return std::nullopt;
    }
    return static_cast<std::int32_t>(value);
}

}  // namespace zan::config
