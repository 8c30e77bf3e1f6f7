// The pure parts under Devscout and Commlink: report descriptors, HID ids,
// interface classes, notice names, path text.
#include <gtest/gtest.h>

#include "hid_ids.h"
#include "interface_class.h"
#include "notice_name.h"
#include "path_text.h"
#include "report_descriptor.h"
#include "simulated_palmkey/simulated_palmkey.h"

namespace {

using namespace zan::devscout;

struct DescriptorCase {
    const char* name;
    std::vector<std::uint8_t> descriptor;
    bool declaresReportIds;
};

TEST(ReportDescriptor, TellsWhetherReportIdsAreDeclared) {
    const std::vector<DescriptorCase> cases = {
        {"palmkey", zan::test::PalmkeyReportDescriptor(), false},
        {"palmkey with ids", zan::test::PalmkeyReportDescriptorWithReportIds(), true},
        {"keyboard", zan::test::KeyboardReportDescriptor(), false},
        {"empty", {}, false},
        {"0x85 as a one-byte item's data", {0x15, 0x85, 0x09, 0x01}, false},
        {"0x85 inside a four-byte item", {0x27, 0x85, 0x85, 0x00, 0x00, 0xC0}, false},
        {"0x85 inside a long item", {0xFE, 0x02, 0x10, 0x85, 0x01, 0xC0}, false},
        {"report id after a long item", {0xFE, 0x01, 0x10, 0x00, 0x85, 0x02}, true},
        {"report id with two data bytes", {0x06, 0x00, 0xFF, 0x86, 0x01, 0x00}, true},
        {"report id cut off", {0x09, 0x01, 0x85}, false},
        {"long item cut off", {0xFE}, false},
    };
    for (const DescriptorCase& testCase : cases) {
        EXPECT_EQ(DeclaresReportIds(testCase.descriptor), testCase.declaresReportIds)
            << testCase.name;
    }
}

TEST(HidIds, ParsesTheKernelsHidIdText) {
    const std::optional<HidIds> palmkey = ParseHidId("0003:00001314:00001070");
    ASSERT_TRUE(palmkey);
    EXPECT_EQ(palmkey->vendorId, 0x1314U);
    EXPECT_EQ(palmkey->productId, 0x1070U);
    const std::optional<HidIds> shortFields = ParseHidId("5:046d:b33D");
    ASSERT_TRUE(shortFields);
    EXPECT_EQ(shortFields->vendorId, 0x046DU);
    EXPECT_EQ(shortFields->productId, 0xB33DU);

    for (const char* bad : {"", "0003:00001314", "0003:00001314:00001070:0001", "0003::00001070",
                            "0003:0000131G:00001070", "0003:000001314:00001070",
                            "0003:00001314:00001070 ", "-003:00001314:00001070"}) {
        EXPECT_FALSE(ParseHidId(bad)) << bad;
    }
}

TEST(HidIds, ArgumentsAbove16BitsNeverMatch) {
    const HidIds palmkey{0x1314, 0x1070};
    EXPECT_TRUE(IdsMatch(palmkey, 0x1314, 0x1070));
    EXPECT_FALSE(IdsMatch(palmkey, 0x11314, 0x1070));
    EXPECT_FALSE(IdsMatch(palmkey, 0x1314, 0x11070));
    EXPECT_FALSE(IdsMatch(palmkey, 0x1070, 0x1314));
    EXPECT_FALSE(IdsMatch(HidIds{0x11314, 0x1070}, 0x11314, 0x1070));
}

TEST(InterfaceClass, ParsesTheTextIntoWindowsLayout) {
    const std::optional<InterfaceClass> hid =
        ParseInterfaceClass(L"4d1e55b2-f16f-11cf-88cb-001111000030");
    ASSERT_TRUE(hid);
    const std::array<std::uint8_t, 16> expected = {0xB2, 0x55, 0x1E, 0x4D, 0x6F, 0xF1, 0xCF, 0x11,
                                                   0x88, 0xCB, 0x00, 0x11, 0x11, 0x00, 0x00, 0x30};
    EXPECT_EQ(hid->bytes, expected);
    EXPECT_EQ(SubsystemOfClass(*hid), "hidraw");

    const std::optional<InterfaceClass> ports =
        ParseInterfaceClass(L"4D36E978-E325-11CE-BFC1-08002BE10318");
    ASSERT_TRUE(ports);
    EXPECT_EQ(ports->text, L"4d36e978-e325-11ce-bfc1-08002be10318");
    EXPECT_EQ(SubsystemOfClass(*ports), "tty");

    const std::optional<InterfaceClass> other =
        ParseInterfaceClass(L"6C292E54-943B-4F84-A45A-D36CCA47EA0B");
    ASSERT_TRUE(other);
    EXPECT_EQ(SubsystemOfClass(*other), "");
}

TEST(InterfaceClass, RefusesAnythingElse) {
    for (const wchar_t* bad :
         {L"", L"not a class", L"{4d1e55b2-f16f-11cf-88cb-001111000030}",
          L"4d1e55b2-f16f-11cf-88cb-00111100003", L"4d1e55b2-f16f-11cf-88cb-0011110000300",
          L"4d1e55b2-f16f-11cf-88cb-00111100003g", L"4d1e55b2f-16f-11cf-88cb-001111000030",
          L"4d1e55b2-f16f-11cf-88cb+001111000030"}) {
        EXPECT_FALSE(ParseInterfaceClass(bad)) << Utf8FromWide(bad);
    }
}

struct NameCase {
    DeviceIdentity identity;
    std::wstring name;
};

TEST(NoticeName, CarriesTheIdsAtCharacterEight) {
    const std::wstring hidClass = L"4d1e55b2-f16f-11cf-88cb-001111000030";
    const std::vector<NameCase> cases = {
        {{DeviceIdentity::Bus::Hid, 0x1314, 0x1070, "hidraw", "hidraw0"},
         L"\\\\?\\HID#VID_1314&PID_1070#hidraw0#{4d1e55b2-f16f-11cf-88cb-001111000030}"},
        {{DeviceIdentity::Bus::Hid, 0x046D, 0xC31C, "hidraw", "hidraw12"},
         L"\\\\?\\HID#VID_046D&PID_C31C#hidraw12#{4d1e55b2-f16f-11cf-88cb-001111000030}"},
        {{DeviceIdentity::Bus::Usb, 0x0403, 0x6001, "tty", "ttyUSB0"},
         L"\\\\?\\USB#VID_0403&PID_6001#ttyUSB0#{4d1e55b2-f16f-11cf-88cb-001111000030}"},
        {{DeviceIdentity::Bus::None, 0, 0, "tty", "ttyS0"},
         L"\\\\?\\TTY#ttyS0#{4d1e55b2-f16f-11cf-88cb-001111000030}"},
    };
    for (const NameCase& testCase : cases) {
        EXPECT_EQ(NoticeName(testCase.identity, hidClass), testCase.name);
    }
    EXPECT_EQ(NoticeName(cases[0].identity, hidClass).substr(8, 17), L"VID_1314&PID_1070");
}

TEST(PathText, ConvertsBetweenWideAndUtf8) {
    EXPECT_EQ(Utf8FromWide(L"/dev/hidraw0"), "/dev/hidraw0");
    EXPECT_EQ(Utf8FromWide(L"/tmp/\u00e9\u20ac\U0001F600"),
              "/tmp/\xC3\xA9\xE2\x82\xAC\xF0\x9F\x98\x80");
    EXPECT_EQ(Utf8FromWide(std::wstring(1, static_cast<wchar_t>(0xD800))), "\xEF\xBF\xBD");
    EXPECT_EQ(Utf8FromWide(std::wstring(1, static_cast<wchar_t>(0x110000))), "\xEF\xBF\xBD");

    EXPECT_EQ(WideFromUtf8("/dev/hidraw0"), L"/dev/hidraw0");
    EXPECT_EQ(WideFromUtf8("\xC3\xA9\xF0\x9F\x98\x80"), L"\u00e9\U0001F600");
    // Bytes that are not UTF-8 are kept one character each.
    EXPECT_EQ(WideFromUtf8("a\xFF"), L"a\u00ff");
    EXPECT_EQ(WideFromUtf8("\xC3"), L"\u00c3");
    EXPECT_EQ(WideFromUtf8("\xC0\xAF"), L"\u00c0\u00af");
    EXPECT_EQ(WideFromUtf8("\xED\xA0\x80"), L"\u00ed\u00a0\u0080");
}

}  // namespace
