#pragma once
// Vendor and product ids of a HID device as the kernel states them in the
// HID_ID property ("BBBB:VVVVVVVV:PPPPPPPP", hexadecimal bus, vendor,
// product).

#include <cstdint>
#include <optional>
#include <string_view>

namespace zan::devscout {

struct HidIds {
    std::uint32_t vendorId = 0;
    std::uint32_t productId = 0;
};

// nullopt unless the text is exactly three colon-separated hexadecimal
// fields of 1 to 8 digits each.
std::optional<HidIds> ParseHidId(std::string_view text);

// The HID search's comparison: the device's 16-bit ids against the caller's
// 32-bit arguments, so an argument above 0xFFFF never matches.
bool IdsMatch(const HidIds& device, std::uint32_t vendorId, std::uint32_t productId);

}  // namespace zan::devscout
