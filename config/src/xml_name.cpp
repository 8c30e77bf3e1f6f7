#include "xml_name.h"

namespace zan::config {

namespace {

bool IsAsciiLetter(unsigned char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}

bool IsNameStart(unsigned char c) {
    return IsAsciiLetter(c) || c == '_' || c == ':' || c >= 0x80;
}

bool IsNameCharacter(unsigned char c) {
    return IsNameStart(c) || (c >= '0' && c <= '9') || c == '-' || c == '.';
}

}  // namespace

bool IsXmlName(std::string_view name) {
    if (name.empty() || !IsNameStart(static_cast<unsigned char>(name.front()))) {
        return false;
    }
    for (const char c : name) {
        if (!IsNameCharacter(static_cast<unsigned char>(c))) {
            return false;
        }
    }
    return true;
}

}  // namespace zan::config
