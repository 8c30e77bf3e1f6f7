// Serial-port look-ups: port names under a key, the "Linked" state of an
// interface, and the symbolic link of a device's linked interface.
#include "serial_registry_lookups.h"

#include <array>
#include <charconv>
#include <cwctype>
#include <optional>
#include <vector>

namespace zan::devscout {
namespace {

// Sizes the registry reads offer. A value longer than the offer cannot be
// read at all (the registry answers "more data"), which keeps every text read
// here terminated within its buffer.
constexpr std::size_t PORT_NAME_OFFER = 80;
constexpr std::size_t LINKED_OFFER = 80;
constexpr std::size_t LINKED_OFFER_IN_SCAN = 260;
constexpr std::size_t SYMBOLIC_LINK_OFFER = 256;

// Where the id text sits in an interface key name such as
// ##?#USB#VID_1314&PID_1070#...: characters 8 to 24.
constexpr std::size_t ID_TEXT_OFFSET = 8;
constexpr std::size_t ID_TEXT_LENGTH = 17;

std::optional<zan::RegistryValue> ReadValue(const zan::RegistryKey& key, std::wstring_view name,
                                            std::size_t offer) {
    auto value = key.QueryValue(name);
    if (!value || value->data.size() > offer) {
        return std::nullopt;
    }
    return value;
}

// The first byte of a value read into a zero-filled buffer: an empty value
// reads as 0.
std::uint8_t FirstByte(const zan::RegistryValue& value) {
    return value.data.empty() ? 0 : value.data.front();
}

std::wstring ToUpper(std::wstring_view text) {
    std::wstring upper;
    upper.reserve(text.size());
    for (const wchar_t character : text) {
        upper.push_back(static_cast<wchar_t>(std::towupper(static_cast<std::wint_t>(character))));
    }
    return upper;
}

bool NameCarriesIds(std::wstring_view subkeyName, const std::wstring& upperIdText) {
    const std::wstring_view idPart = subkeyName.size() > ID_TEXT_OFFSET
                                         ? subkeyName.substr(ID_TEXT_OFFSET, ID_TEXT_LENGTH)
                                         : std::wstring_view{};
    return ToUpper(idPart) == upperIdText;
}

struct InterfaceMatch {
    std::wstring controlKeyPath;  // prefix + name + "\#\Control"
    std::wstring linkKeyPath;     // prefix + name + "\#"
};

std::vector<InterfaceMatch> MatchingInterfaces(const zan::RegistryKey& classKey,
                                               const std::wstring& idText,
                                               const std::wstring& subkeyPrefix) {
    const std::wstring upperIdText = ToUpper(idText);
    std::vector<InterfaceMatch> matches;
    const std::uint32_t subkeyCount = classKey.SubkeyCount();
    for (std::uint32_t index = 0; index < subkeyCount; ++index) {
        const std::wstring name = classKey.SubkeyName(index).value_or(std::wstring{});
        if (NameCarriesIds(name, upperIdText)) {
            matches.push_back(
                {subkeyPrefix + name + L"\\#\\Control", subkeyPrefix + name + L"\\#"});
        }
    }
    return matches;
}

std::optional<std::wstring> ReadSymbolicLink(const zan::RegistryView& registry,
                                             const std::wstring& linkKeyPath) {
    const zan::RegistryKeyHandle linkKey = registry.OpenKey(linkKeyPath);
    if (!linkKey) {
        return std::nullopt;
    }
    const auto value = ReadValue(*linkKey, L"SymbolicLink", SYMBOLIC_LINK_OFFER);
    if (!value) {
        return std::nullopt;
    }
    return zan::DecodeRegistryText(value->data);
}

// printf's "%4x": lower-case hex, at least four characters, spaces in front.
std::wstring SpacePaddedHex(std::uint32_t number) {
    std::array<char, 8> digits{};
    const auto end = std::to_chars(digits.data(), digits.data() + digits.size(), number, 16).ptr;
    std::wstring text(digits.data(), end);
    if (text.size() < 4) {
        text.insert(0, 4 - text.size(), L' ');
    }
    return text;
}

}  // namespace

std::wstring InterfaceIdText(std::uint32_t vendorId, std::uint32_t productId) {
    return L"VID_" + SpacePaddedHex(vendorId) + L"&PID_" + SpacePaddedHex(productId);
}

int ReadComNum(const zan::RegistryView& registry, std::wstring& portPath,
               const std::wstring& keyPath, const std::wstring& valueName) {
    const zan::RegistryKeyHandle key = registry.OpenKey(keyPath);
    if (!key) {
        return 0;
    }
    const auto value = ReadValue(*key, valueName, PORT_NAME_OFFER);
    if (!value) {
        return 0;
    }
    portPath = L"\\\\.\\" + zan::DecodeRegistryText(value->data);
    return 1;
}

int ReadLinkState(const zan::RegistryView& registry, const std::wstring& keyPath,
                  std::uint8_t& linkByte) {
    const zan::RegistryKeyHandle key = registry.OpenKey(keyPath);
    if (!key) {
        return 0;
    }
    const auto value = ReadValue(*key, L"Linked", LINKED_OFFER);
    if (!value) {
        return 0;
    }
    linkByte = FirstByte(*value);
    return linkByte;
}

// A linked interface whose symbolic link cannot be read gives the caller
// nothing to open, so it does not count as found: the result 1 always comes
// with a link.
int FindDriverSymbol(const zan::RegistryView& registry, std::wstring& link, std::uint32_t vendorId,
                     std::uint32_t productId, const std::wstring& classKeyPath,
                     const std::wstring& subkeyPrefix, std::uint8_t& linkByte) {
    std::vector<InterfaceMatch> matches;
    {
        const zan::RegistryKeyHandle classKey = registry.OpenKey(classKeyPath);
        if (!classKey) {
            return 0;
        }
        matches = MatchingInterfaces(*classKey, InterfaceIdText(vendorId, productId), subkeyPrefix);
    }
    int found = 0;
    for (const auto& match : matches) {
        const zan::RegistryKeyHandle controlKey = registry.OpenKey(match.controlKeyPath);
        if (!controlKey) {
            continue;
        }
        const auto linked = ReadValue(*controlKey, L"Linked", LINKED_OFFER_IN_SCAN);
        if (!linked) {
            continue;
        }
        linkByte = FirstByte(*linked);
        if (linkByte != 1) {
            continue;
        }
        if (auto symbolicLink = ReadSymbolicLink(registry, match.linkKeyPath)) {
            link = std::move(*symbolicLink);
            found = 1;
        }
    }
    return found;
}

}  // namespace zan::devscout
