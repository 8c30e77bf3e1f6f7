#pragma once
// How a document value becomes a number: the leading decimal integer, as the
// "%d" conversion reads it.

#include <cstdint>
#include <optional>
#include <string_view>

namespace zan::config {

// Optional blanks, an optional sign, then digits; whatever follows the
// digits is ignored. No digits, or a value that does not fit a 32-bit signed
// integer, gives nothing.
std::optional<std::int32_t> ParseLeadingInt32(std::string_view text);

}  // namespace zan::config
