// The in-memory registry and the registry's text form.
#include "platform/registry_view.h"

#include <gtest/gtest.h>

namespace {

using zan::MemoryRegistry;
using zan::RegistryValue;
using zan::RegistryValueType;

TEST(RegistryView, KeyAndValueNamesCompareWithoutRegardToCase) {
    MemoryRegistry registry;
    ASSERT_TRUE(
        registry.SetValue(L"HARDWARE\\DeviceMap\\SerialComm", L"\\Device\\ttyUSB0",
                          {RegistryValueType::String, zan::EncodeRegistryText(L"ttyUSB0")}));
    const auto key = registry.OpenKey(L"hardware\\DEVICEMAP\\serialcomm");
    ASSERT_TRUE(key);
    const auto value = key->QueryValue(L"\\DEVICE\\TTYUSB0");
    ASSERT_TRUE(value);
    EXPECT_EQ(value->type, RegistryValueType::String);
    EXPECT_EQ(zan::DecodeRegistryText(value->data), L"ttyUSB0");
    EXPECT_FALSE(key->QueryValue(L"\\Device\\ttyUSB1"));
}

TEST(RegistryView, PathsWithEmptyNamesOpenNothing) {
    MemoryRegistry registry;
    registry.AddKey(L"A\\B");
    EXPECT_TRUE(registry.OpenKey(L"A\\B"));
    EXPECT_TRUE(registry.OpenKey(L""));  // the root
    for (const wchar_t* path : {L"A\\\\B", L"\\A\\B", L"A\\B\\", L"A\\C"}) {
        EXPECT_FALSE(registry.OpenKey(path)) << path;
    }
    EXPECT_FALSE(registry.AddKey(L"A\\\\C"));
    EXPECT_EQ(registry.OpenKeyCount(), 0);
}

TEST(RegistryView, SubkeysKeepTheirOrderAndCountOpenKeys) {
    MemoryRegistry registry;
    registry.AddKey(L"Class\\second");
    registry.AddKey(L"Class\\first");
    registry.AddKey(L"Class\\SECOND\\child");  // same key, other case
    const auto key = registry.OpenKey(L"Class");
    ASSERT_TRUE(key);
    EXPECT_EQ(registry.OpenKeyCount(), 1);
    EXPECT_EQ(key->SubkeyCount(), 2u);
    EXPECT_EQ(key->SubkeyName(0), L"second");
    EXPECT_EQ(key->SubkeyName(1), L"first");
    EXPECT_FALSE(key->SubkeyName(2));
}

TEST(RegistryView, OpenKeyOutlivesTheRegistryObject) {
    zan::RegistryKeyHandle key;
    {
        MemoryRegistry registry;
        registry.SetValue(L"K", L"V", {RegistryValueType::Dword, zan::EncodeRegistryDword(1)});
        key = registry.OpenKey(L"K");
    }
    ASSERT_TRUE(key);
    EXPECT_EQ(key->QueryValue(L"V")->data, (std::vector<std::uint8_t>{1, 0, 0, 0}));
}

TEST(RegistryText, RoundTripsAndStopsAtTheFirstZero) {
    const std::wstring text = L"/dev/ttyUSB0 \u00e9\U0001F600";
    const auto bytes = zan::EncodeRegistryText(text);
    EXPECT_EQ(bytes.size(), (text.size() + 1 + 1) * 2);  // a surrogate pair and the zero
    EXPECT_EQ(zan::DecodeRegistryText(bytes), text);

    const std::vector<std::uint8_t> twoTexts{'a', 0, 0, 0, 'b', 0};
    EXPECT_EQ(zan::DecodeRegistryText(twoTexts), L"a");
    const std::vector<std::uint8_t> unterminatedOdd{'a', 0, 'b', 0, 'c'};
    EXPECT_EQ(zan::DecodeRegistryText(unterminatedOdd), L"ab");
    const std::vector<std::uint8_t> loneSurrogate{0x00, 0xD8, 'x', 0};
    EXPECT_EQ(zan::DecodeRegistryText(loneSurrogate), L"x");
}

}  // namespace
