#pragma once
// The key table's built-in codes, spelt out here so that the tests state
// the values they expect instead of borrowing them from the loader.

#include <array>
#include <cstddef>

#include "button_config.h"

inline ButtonConfig BuiltInKeys() {
    constexpr std::array<int, KEY_ROW_COUNT> CLICK = {33, 48, 22, 20, 21, 19, 18, 17};
    constexpr std::array<int, KEY_ROW_COUNT> DOUBLE_CLICK = {0, 0, 86, 276, 277, 275, 274, 273};
    constexpr std::array<int, KEY_ROW_COUNT> COMBINATION = {0, 0, 0, 0, 37, 38, 39, 53};
    ButtonConfig config;
    for (std::size_t row = 0; row < KEY_ROW_COUNT; ++row) {
        config.keys[row].click = CLICK[row];
        config.keys[row].doubleClick = DOUBLE_CLICK[row];
        config.keys[row].combination = COMBINATION[row];
    }
    return config;
}
