#include "device_name.h"

#include <gtest/gtest.h>

#include <string>

#include "case_name.h"

namespace {

struct NameCase {
    const char* what;
    std::wstring name;
    bool matches;
};

void PrintTo(const NameCase& testCase, std::ostream* out) {
    *out << testCase.what;
}

class MatchDeviceNameTest : public testing::TestWithParam<NameCase> {};

TEST_P(MatchDeviceNameTest, DecidesByTheIdentifierAtIndexEight) {
    EXPECT_EQ(MatchDeviceName(GetParam().name), GetParam().matches) << GetParam().what;
}

const std::wstring HID_CLASS = L"#{4d1e55b2-f16f-11cf-88cb-001111000030}";

INSTANTIATE_TEST_SUITE_P(
    Names, MatchDeviceNameTest,
    testing::Values(
        NameCase{"HID interface", L"\\\\?\\HID#VID_1314&PID_1070#7&1a2b3c&0&0000" + HID_CLASS,
                 true},
        NameCase{"lower case", L"\\\\?\\hid#vid_1314&pid_1070#7&1a2b3c&0&0000" + HID_CLASS, true},
        NameCase{"mixed case", L"\\\\?\\HID#Vid_1314&pId_1070#hidraw0" + HID_CLASS, true},
        NameCase{"USB interface", L"\\\\?\\USB#VID_1314&PID_1070#5&123&0&1" + HID_CLASS, true},
        NameCase{"exactly 25 characters", L"\\\\?\\HID#VID_1314&PID_1070", true},
        NameCase{"24 characters", L"\\\\?\\HID#VID_1314&PID_107", false},
        NameCase{"empty", L"", false}, NameCase{"only the prefix", L"\\\\?\\HID#", false},
        NameCase{"other product", L"\\\\?\\HID#VID_1314&PID_1071#x" + HID_CLASS, false},
        NameCase{"other vendor", L"\\\\?\\HID#VID_046D&PID_1070#x" + HID_CLASS, false},
        NameCase{"identifier one place late", L"\\\\?\\HIDX#VID_1314&PID_1070#x", false},
        NameCase{"identifier one place early", L"\\\\?\\HI#VID_1314&PID_1070#x", false},
        NameCase{"no USB ids", L"\\\\?\\HIDRAW#hidraw0" + HID_CLASS, false},
        // A dotless i upper-cases to I only in some locales: the answer must
        // not depend on the locale.
        NameCase{"non-ASCII look-alike", L"\\\\?\\HID#V\u0131D_1314&PID_1070#x", false}),
    CaseName<NameCase>);

}  // namespace
