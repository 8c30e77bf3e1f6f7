// The serial-port look-ups on an in-memory registry. After every call no key
// may be left open.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/registry_view.h"
#include "serial_registry_lookups.h"

namespace {

using zan::MemoryRegistry;
using zan::RegistryValue;
using zan::RegistryValueType;

const std::wstring CLASS_KEY =
    L"SYSTEM\\CurrentControlSet\\Control\\DeviceClasses\\{86e0d1e0-8089-11d0-9ce4-08003e301f73}";
const std::wstring PREFIX = CLASS_KEY + L"\\";
constexpr std::uint8_t UNTOUCHED = 0xEE;

RegistryValue Text(const std::wstring& text) {
    return {RegistryValueType::String, zan::EncodeRegistryText(text)};
}
RegistryValue Dword(std::uint32_t number) {
    return {RegistryValueType::Dword, zan::EncodeRegistryDword(number)};
}

TEST(InterfaceIdText, PadsWithSpacesInLowerCaseHex) {
    EXPECT_EQ(zan::devscout::InterfaceIdText(0x1314, 0x1070), L"VID_1314&PID_1070");
    EXPECT_EQ(zan::devscout::InterfaceIdText(0xABCD, 0xFFFF), L"VID_abcd&PID_ffff");
    EXPECT_EQ(zan::devscout::InterfaceIdText(0x0403, 0x6001), L"VID_ 403&PID_6001");
    EXPECT_EQ(zan::devscout::InterfaceIdText(0x11314, 0x1070), L"VID_11314&PID_1070");
}

TEST(GetComNum, ReadsThePortNameUnderTheKey) {
    MemoryRegistry registry;
    registry.SetValue(L"HARDWARE\\DEVICEMAP\\SERIALCOMM", L"\\Device\\Serial0", Text(L"COM3"));
    // 40 characters without a terminating zero fill the 80 bytes offered.
    std::vector<std::uint8_t> unterminated = zan::EncodeRegistryText(std::wstring(40, L'x'));
    unterminated.resize(80);
    registry.SetValue(L"HARDWARE\\DEVICEMAP\\SERIALCOMM", L"Full",
                      {RegistryValueType::String, unterminated});
    registry.SetValue(L"HARDWARE\\DEVICEMAP\\SERIALCOMM", L"TooLong",
                      Text(std::wstring(40, L'y')));  // 82 bytes with the zero
    registry.SetValue(L"HARDWARE\\DEVICEMAP\\SERIALCOMM", L"Number", Dword(0x33));

    struct Case {
        std::wstring key, value;
        int result;
        std::wstring path;
    };
    const std::vector<Case> cases = {
        {L"HARDWARE\\DEVICEMAP\\SERIALCOMM", L"\\Device\\Serial0", 1, L"\\\\.\\COM3"},
        {L"hardware\\devicemap\\serialcomm", L"\\device\\serial0", 1, L"\\\\.\\COM3"},
        {L"HARDWARE\\DEVICEMAP\\SERIALCOMM", L"Full", 1, L"\\\\.\\" + std::wstring(40, L'x')},
        {L"HARDWARE\\DEVICEMAP\\SERIALCOMM", L"TooLong", 0, L"untouched"},
        {L"HARDWARE\\DEVICEMAP\\SERIALCOMM", L"Number", 1, L"\\\\.\\3"},  // type not examined
        {L"HARDWARE\\DEVICEMAP\\SERIALCOMM", L"\\Device\\Serial9", 0, L"untouched"},
        {L"HARDWARE\\DEVICEMAP\\NOSUCHKEY", L"\\Device\\Serial0", 0, L"untouched"},
    };
    for (const auto& testCase : cases) {
        std::wstring path = L"untouched";
        EXPECT_EQ(zan::devscout::ReadComNum(registry, path, testCase.key, testCase.value),
                  testCase.result);
        EXPECT_EQ(path, testCase.path);
        EXPECT_EQ(registry.OpenKeyCount(), 0);
    }
}

TEST(CheckComm, ReturnsTheFirstByteOfLinked) {
    MemoryRegistry registry;
    registry.SetValue(L"Linked1", L"Linked", Dword(1));
    registry.SetValue(L"Linked0", L"Linked", Dword(0));
    registry.SetValue(L"Linked258", L"Linked", Dword(0x102));
    registry.SetValue(L"Empty", L"Linked", {RegistryValueType::Binary, {}});
    registry.SetValue(L"Huge", L"Linked",
                      {RegistryValueType::Binary, std::vector<std::uint8_t>(81, 1)});
    registry.AddKey(L"NoValue");

    struct Case {
        std::wstring key;
        int result;
        std::uint8_t linkByte;
    };
    const std::vector<Case> cases = {
        {L"Linked1", 1, 1},       {L"Linked0", 0, 0},      {L"Linked258", 2, 2},
        {L"Empty", 0, 0},         {L"Huge", 0, UNTOUCHED}, {L"NoValue", 0, UNTOUCHED},
        {L"NoKey", 0, UNTOUCHED},
    };
    for (const auto& testCase : cases) {
        std::uint8_t linkByte = UNTOUCHED;
        EXPECT_EQ(zan::devscout::ReadLinkState(registry, testCase.key, linkByte), testCase.result)
            << std::string(testCase.key.begin(), testCase.key.end());
        EXPECT_EQ(linkByte, testCase.linkByte);
        EXPECT_EQ(registry.OpenKeyCount(), 0);
    }
}

// One interface key under the class key.
struct Interface {
    std::wstring name;
    std::optional<std::uint32_t> linked;       // no value when absent
    std::optional<std::wstring> symbolicLink;  // no value when absent
    bool hasControlKey = true;
};

MemoryRegistry ClassWith(const std::vector<Interface>& interfaces) {
    MemoryRegistry registry;
    registry.AddKey(CLASS_KEY);
    for (const auto& entry : interfaces) {
        const std::wstring key = PREFIX + entry.name;
        registry.AddKey(key);
        if (entry.hasControlKey) {
            registry.AddKey(key + L"\\#\\Control");
        }
        if (entry.linked) {
            registry.SetValue(key + L"\\#\\Control", L"Linked", Dword(*entry.linked));
        }
        if (entry.symbolicLink) {
            registry.SetValue(key + L"\\#", L"SymbolicLink", Text(*entry.symbolicLink));
        }
    }
    return registry;
}

std::wstring Name(const std::wstring& ids, const std::wstring& instance) {
    return L"##?#USB#" + ids + L"#" + instance + L"#{86e0d1e0-8089-11d0-9ce4-08003e301f73}";
}

TEST(GetDriverSymbolByReg, ScansTheClassKeyAsTheTableSays) {
    struct Case {
        std::string what;
        std::vector<Interface> interfaces;
        std::uint32_t vendor, product;
        int result;
        std::wstring link;
        std::uint8_t linkByte;
    };
    const std::wstring palmkey = L"VID_1314&PID_1070";
    const std::vector<Case> cases = {
        {"one linked match",
         {{Name(palmkey, L"a"), 1, L"/dev/a"}},
         0x1314,
         0x1070,
         1,
         L"/dev/a",
         1},
        {"lower-case id text matches",
         {{Name(L"vid_1314&pid_1070", L"a"), 1, L"/dev/a"}},
         0x1314,
         0x1070,
         1,
         L"/dev/a",
         1},
        {"hex letters in any case",
         {{Name(L"VID_ABCD&PID_1EEF", L"a"), 1, L"/dev/a"}},
         0xABCD,
         0x1EEF,
         1,
         L"/dev/a",
         1},
        {"vendor below 0x1000 never matches",
         {{Name(L"VID_0403&PID_6001", L"a"), 1, L"/dev/a"}},
         0x0403,
         0x6001,
         0,
         L"untouched",
         UNTOUCHED},
        {"vendor above 0xFFFF never matches",
         {{Name(palmkey, L"a"), 1, L"/dev/a"}},
         0x11314,
         0x1070,
         0,
         L"untouched",
         UNTOUCHED},
        {"two linked matches: the later wins",
         {{Name(palmkey, L"a"), 1, L"/dev/a"}, {Name(palmkey, L"b"), 1, L"/dev/b"}},
         0x1314,
         0x1070,
         1,
         L"/dev/b",
         1},
        {"not linked", {{Name(palmkey, L"a"), 0, L"/dev/a"}}, 0x1314, 0x1070, 0, L"untouched", 0},
        {"linked then unlinked: link of the first, byte of the last",
         {{Name(palmkey, L"a"), 1, L"/dev/a"}, {Name(palmkey, L"b"), 0, L"/dev/b"}},
         0x1314,
         0x1070,
         1,
         L"/dev/a",
         0},
        {"Linked of 2 is not linked",
         {{Name(palmkey, L"a"), 2, L"/dev/a"}},
         0x1314,
         0x1070,
         0,
         L"untouched",
         2},
        {"unreadable Linked is skipped",
         {{Name(palmkey, L"a"), std::nullopt, L"/dev/a"}},
         0x1314,
         0x1070,
         0,
         L"untouched",
         UNTOUCHED},
        {"missing Control key is skipped",
         {{Name(palmkey, L"a"), std::nullopt, L"/dev/a", false},
          {Name(palmkey, L"b"), 1, L"/dev/b"}},
         0x1314,
         0x1070,
         1,
         L"/dev/b",
         1},
        {"linked without a symbolic link gives nothing to open",
         {{Name(palmkey, L"a"), 1, L"/dev/a"}, {Name(palmkey, L"b"), 1, std::nullopt}},
         0x1314,
         0x1070,
         1,
         L"/dev/a",
         1},
        {"only link unreadable",
         {{Name(palmkey, L"a"), 1, std::nullopt}},
         0x1314,
         0x1070,
         0,
         L"untouched",
         1},
        {"symbolic link longer than 256 bytes is unreadable",
         {{Name(palmkey, L"a"), 1, std::wstring(128, L'p')}},
         0x1314,
         0x1070,
         0,
         L"untouched",
         1},
        {"short and other names do not match",
         {{L"##?#USB#VID_1314", 1, L"/dev/s"},
          {L"x", 1, L"/dev/x"},
          {Name(L"VID_1314&PID_1071", L"o"), 1, L"/dev/o"}},
         0x1314,
         0x1070,
         0,
         L"untouched",
         UNTOUCHED},
        {"no subkeys", {}, 0x1314, 0x1070, 0, L"untouched", UNTOUCHED},
    };
    for (const auto& testCase : cases) {
        SCOPED_TRACE(testCase.what);
        const MemoryRegistry registry = ClassWith(testCase.interfaces);
        std::wstring link = L"untouched";
        std::uint8_t linkByte = UNTOUCHED;
        EXPECT_EQ(zan::devscout::FindDriverSymbol(registry, link, testCase.vendor, testCase.product,
                                                  CLASS_KEY, PREFIX, linkByte),
                  testCase.result);
        EXPECT_EQ(link, testCase.link);
        EXPECT_EQ(linkByte, testCase.linkByte);
        EXPECT_EQ(registry.OpenKeyCount(), 0);
    }
}

TEST(GetDriverSymbolByReg, MissingClassKeyFindsNothing) {
    const MemoryRegistry registry;
    std::wstring link = L"untouched";
    std::uint8_t linkByte = UNTOUCHED;
    EXPECT_EQ(zan::devscout::FindDriverSymbol(registry, link, 0x1314, 0x1070, CLASS_KEY, PREFIX,
                                              linkByte),
              0);
    EXPECT_EQ(link, L"untouched");
    EXPECT_EQ(registry.OpenKeyCount(), 0);
}

TEST(GetDriverSymbolByReg, HandlesMoreThanFiftySubkeysAndMatches) {
    std::vector<Interface> interfaces;
    for (int index = 0; index < 120; ++index) {
        const bool palmkey = index % 2 == 0;
        interfaces.push_back({Name(palmkey ? L"VID_1314&PID_1070" : L"VID_1a86&PID_7523",
                                   L"n" + std::to_wstring(index)),
                              1, L"/dev/n" + std::to_wstring(index)});
    }
    const MemoryRegistry registry = ClassWith(interfaces);
    std::wstring link;
    std::uint8_t linkByte = 0;
    EXPECT_EQ(zan::devscout::FindDriverSymbol(registry, link, 0x1314, 0x1070, CLASS_KEY, PREFIX,
                                              linkByte),
              1);
    EXPECT_EQ(link, L"/dev/n118");
    EXPECT_EQ(registry.OpenKeyCount(), 0);
}

}  // namespace
