#pragma once
// Test text for either Commlink build: the same test source is compiled
// against CommlinkW (std::wstring) and CommlinkA (std::string).

#include <string>

#include "commlink/commlink_api.h"

// Widens or copies plain ASCII text, which is all the tests pass.
inline CommlinkString ToCommlinkString(const std::string& text) {
    return CommlinkString(text.begin(), text.end());
}
