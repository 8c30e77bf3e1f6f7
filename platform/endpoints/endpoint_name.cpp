#include "platform/endpoints.h"

namespace zan {
namespace {

bool KeptAsIs(unsigned char byte) {
    return (byte >= 'A' && byte <= 'Z') || (byte >= 'a' && byte <= 'z') ||
           (byte >= '0' && byte <= '9') || byte == '.' || byte == '_' || byte == '-';
}

}  // namespace

std::string EscapeEndpointText(std::string_view text) {
    static constexpr char HEX_DIGITS[] = "0123456789ABCDEF";
    std::string escaped;
    escaped.reserve(text.size());
    for (const char character : text) {
        const auto byte = static_cast<unsigned char>(character);
        if (KeptAsIs(byte)) {
            escaped.push_back(character);
        } else {
            escaped.push_back('%');
            escaped.push_back(HEX_DIGITS[byte >> 4U]);
            escaped.push_back(HEX_DIGITS[byte & 0x0FU]);
        }
    }
    return escaped;
}

std::string EndpointName(std::string_view windowClass, std::string_view title) {
    return EscapeEndpointText(windowClass) + "@" + EscapeEndpointText(title);
}

}  // namespace zan
