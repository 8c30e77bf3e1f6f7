#pragma once
// What the channel needs to know of a HID report descriptor: whether it
// declares report ids. Without them the kernel hands out reports without an
// id byte, where Windows puts a 0 first.

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace zan::devscout {

// True when the descriptor holds a Report ID item. Walks short and long
// items by their stated sizes, so data bytes are never taken for item
// prefixes; a truncated last item ends the walk.
bool DeclaresReportIds(std::span<const std::uint8_t> descriptor);

// The report descriptor of the HID device behind a hidraw node (for example
// /dev/hidraw0), read from sysfs; nullopt when the path is no hidraw node or
// the descriptor cannot be read.
std::optional<std::vector<std::uint8_t>> ReadReportDescriptorOfNode(const std::string& devnode);

}  // namespace zan::devscout
