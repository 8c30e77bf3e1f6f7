#pragma once
// How the readers find a value: the document's first element is the root,
// whatever its name; sections are its child elements; in a section only the
// first key element of the name counts, and in it the first attribute of the
// name. Names are compared byte for byte.

#include <cstdint>
#include <optional>
#include <string_view>

namespace tinyxml2 {
class XMLDocument;
}

namespace zan::config {

struct ValueAddress {
    std::string_view section;
    std::string_view key;
    std::string_view attribute;
};

// The raw attribute text from the first section of the name only: a later
// section of the same name is never looked at.
std::optional<std::string_view> FindTextInFirstSection(const tinyxml2::XMLDocument& document,
                                                       const ValueAddress& address);

// Visits every section of the name; the last one that holds a valid number
// wins.
std::optional<std::int32_t> FindNumberInLastSection(const tinyxml2::XMLDocument& document,
                                                    const ValueAddress& address);

}  // namespace zan::config
