#include "reader_walk.h"

#include <tinyxml2.h>

#include "number_rule.h"

namespace zan::config {

namespace {

bool NameIs(const tinyxml2::XMLElement& element, std::string_view name) {
    return std::string_view(element.Name()) == name;
}

const tinyxml2::XMLElement* NextSection(const tinyxml2::XMLElement* section,
                                        std::string_view name) {
    for (; section != nullptr; section = section->NextSiblingElement()) {
        if (NameIs(*section, name)) {
            return section;
        }
    }
    return nullptr;
}

const tinyxml2::XMLElement* FirstSection(const tinyxml2::XMLDocument& document,
                                         std::string_view name) {
    const tinyxml2::XMLElement* root = document.FirstChildElement();
    return root == nullptr ? nullptr : NextSection(root->FirstChildElement(), name);
}

std::optional<std::string_view> ValueInSection(const tinyxml2::XMLElement& section,
                                               const ValueAddress& address) {
    const tinyxml2::XMLElement* key = section.FirstChildElement();
    while (key != nullptr && !NameIs(*key, address.key)) {
        key = key->NextSiblingElement();
    }
    if (key == nullptr) {
        return std::nullopt;
    }
    for (const tinyxml2::XMLAttribute* attribute = key->FirstAttribute(); attribute != nullptr;
         attribute = attribute->Next()) {
        if (std::string_view(attribute->Name()) == address.attribute) {
            return std::string_view(attribute->Value());
        }
    }
    return std::nullopt;
}

}  // namespace

std::optional<std::string_view> FindTextInFirstSection(const tinyxml2::XMLDocument& document,
                                                       const ValueAddress& address) {
    const tinyxml2::XMLElement* section = FirstSection(document, address.section);
    return section == nullptr ? std::nullopt : ValueInSection(*section, address);
}

std::optional<std::int32_t> FindNumberInLastSection(const tinyxml2::XMLDocument& document,
                                                    const ValueAddress& address) {
    std::optional<std::int32_t> found;
    for (const tinyxml2::XMLElement* section = FirstSection(document, address.section);
         section != nullptr;
         section = NextSection(section->NextSiblingElement(), address.section)) {
        if (const auto text = ValueInSection(*section, address)) {
            if (const auto number = ParseLeadingInt32(*text)) {
                found = number;
            }
        }
    }
    return found;
}

}  // namespace zan::config
