#pragma once
// Numbers as zanmsg takes them on its command line: decimal, or hexadecimal
// after "0x"/"0X". Nothing else is accepted: no spaces, no '+', no octal,
// nothing after the digits. Out of range is an error, never a wrap-around.

#include <cstdint>
#include <optional>
#include <string_view>

namespace zan::zanmsg {

// An unsigned number not above maximum.
std::optional<std::uint64_t> ParseUnsigned(std::string_view text, std::uint64_t maximum);

// As ParseUnsigned, with an optional leading '-'; the whole int64 range.
std::optional<std::int64_t> ParseSigned(std::string_view text);

}  // namespace zan::zanmsg
