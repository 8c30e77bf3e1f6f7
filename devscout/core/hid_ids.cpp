#include "hid_ids.h"

#include <array>
#include <charconv>

namespace zan::devscout {
namespace {

constexpr std::uint32_t LARGEST16_BIT_ID = 0xFFFF;
constexpr std::size_t MOST_HEX_DIGITS = 8;

std::optional<std::uint32_t> ParseHexField(std::string_view field) {
    if (field.empty() || field.size() > MOST_HEX_DIGITS) {
        return std::nullopt;
    }
    std::uint32_t value = 0;
    const auto [end, error] = std::from_chars(field.data(), field.data() + field.size(), value, 16);
    if (error != std::errc() || end != field.data() + field.size()) {
        return std::nullopt;
    }
    return value;
}

}  // namespace

std::optional<HidIds> ParseHidId(std::string_view text) {
    std::array<std::optional<std::uint32_t>, 3> fields;
    for (std::size_t index = 0; index < fields.size(); ++index) {
        const std::size_t colon = text.find(':');
        const bool last = index + 1 == fields.size();
        if (last != (colon == std::string_view::npos)) {
            return std::nullopt;
        }
        fields[index] = ParseHexField(text.substr(0, colon));
        if (!fields[index]) {
            return std::nullopt;
        }
        text = last ? std::string_view() : text.substr(colon + 1);
    }
    return HidIds{*fields[1], *fields[2]};
}

bool IdsMatch(const HidIds& device, std::uint32_t vendorId, std::uint32_t productId) {
    if (device.vendorId > LARGEST16_BIT_ID || device.productId > LARGEST16_BIT_ID) {
        return false;
    }
    return device.vendorId == vendorId && device.productId == productId;
}

}  // namespace zan::devscout
