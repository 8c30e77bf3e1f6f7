#pragma once
// Device-interface class ids as given to the notice registration: the text
// form without braces, "xxxxxxxx-xxxx-xxxx-xxxx-xxxxxxxxxxxx".

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace zan::devscout {

struct InterfaceClass {
    // The id as Windows lays it out in memory: the first three groups
    // little-endian, the last two as written.
    std::array<std::uint8_t, 16> bytes{};
    // Lower-case text form without braces, as interface names carry it.
    std::wstring text;
};

// nullopt unless the text has exactly that form (hex digits of either case).
std::optional<InterfaceClass> ParseInterfaceClass(std::wstring_view text);

// The udev subsystem whose devices the class stands for here: the HID class
// -> "hidraw", the ports class -> "tty", any other class -> empty (no Linux
// devices, so no notices).
std::string SubsystemOfClass(const InterfaceClass& interfaceClass);

}  // namespace zan::devscout
