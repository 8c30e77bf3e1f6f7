#pragma once
// The key table's built-in codes, spelt out here so that the tests state
// the values they expect instead of borrowing them from the loader.

#include <array>
#include <cstddef>

#include "button_config.h"

inline ButtonConfig BuiltInKeys() {
    constexpr std::array<int, kKeyRowCount> kClick = {33, 48, 22, 20, 21, 19, 18, 17};
    constexpr std::array<int, kKeyRowCount> kDoubleClick = {0, 0, 86, 276, 277, 275, 274, 273};
    constexpr std::array<int, kKeyRowCount> kCombination = {0, 0, 0, 0, 37, 38, 39, 53};
    ButtonConfig config;
    for (std::size_t row = 0; row < kKeyRowCount; ++row) {
        config.keys[row].click = kClick[row];
        config.keys[row].doubleClick = kDoubleClick[row];
        config.keys[row].combination = kCombination[row];
    }
    return config;
}
