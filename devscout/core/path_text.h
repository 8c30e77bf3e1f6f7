#pragma once
// Paths cross the libraries' interfaces as wide or narrow strings; the
// system calls take bytes. Wide text is UTF-32 (wchar_t on Linux) and is
// written to bytes as UTF-8; narrow text passes through unchanged.

#include <string>
#include <string_view>

namespace zan::devscout {

// Characters that UTF-8 cannot carry (surrogates, values above 0x10FFFF)
// become U+FFFD, which no existing path contains.
std::string Utf8FromWide(std::wstring_view text);
// A byte that does not begin well-formed UTF-8 becomes the character of the
// same value (as in Latin-1): nothing is dropped.
std::wstring WideFromUtf8(std::string_view text);

inline std::string NativePath(const std::string& path) {
    return path;
}
inline std::string NativePath(const std::wstring& path) {
    return Utf8FromWide(path);
}

// The interface's string type from bytes.
template <typename String>
String InterfaceText(const std::string& bytes);
template <>
inline std::string InterfaceText<std::string>(const std::string& bytes) {
    return bytes;
}
template <>
inline std::wstring InterfaceText<std::wstring>(const std::string& bytes) {
    return WideFromUtf8(bytes);
}

}  // namespace zan::devscout
