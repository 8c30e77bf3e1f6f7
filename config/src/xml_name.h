#pragma once
// Whether text can stand as an element or attribute name in the saved file.

#include <string_view>

namespace zan::config {

// XML's name rule, with every byte of a multi-byte character accepted as a
// name character: a letter, '_' or ':' first, then also digits, '-' and '.'.
bool IsXmlName(std::string_view name);

}  // namespace zan::config
