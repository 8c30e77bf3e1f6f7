// How zanmsg reads numbers from its command line.

#include "zanmsg_numbers.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <limits>
#include <optional>
#include <string>
#include <vector>

namespace zan::zanmsg {
namespace {

TEST(ZanmsgNumbersTest, UnsignedDecimalAndHexWithinTheMaximum) {
    struct Case {
        std::string text;
        std::uint64_t maximum;
        std::optional<std::uint64_t> value;
    };
    constexpr std::uint64_t MAX64 = std::numeric_limits<std::uint64_t>::max();
    const std::vector<Case> cases = {
        {"2427", 0xFFFFFFFF, 2427},
        {"0x0112", 0xFFFFFFFF, 0x112},
        {"0XfF", 0xFFFFFFFF, 255},
        {"0", 0xFFFFFFFF, 0},
        {"0x0", 0xFFFFFFFF, 0},
        {"4294967295", 0xFFFFFFFF, 0xFFFFFFFF},
        {"4294967296", 0xFFFFFFFF, std::nullopt},
        {"0x100000000", MAX64, 0x100000000},
        {"18446744073709551615", MAX64, MAX64},
        {"18446744073709551616", MAX64, std::nullopt},
        {"0x10000000000000000", MAX64, std::nullopt},
        {"", MAX64, std::nullopt},
        {"0x", MAX64, std::nullopt},
        {"-1", MAX64, std::nullopt},
        {"+1", MAX64, std::nullopt},
        {"0x-1", MAX64, std::nullopt},
        {"12x", MAX64, std::nullopt},
        {" 12", MAX64, std::nullopt},
        {"0x0x1", MAX64, std::nullopt},
        {"1e3", MAX64, std::nullopt},
    };
    for (const Case& row : cases) {
        EXPECT_EQ(ParseUnsigned(row.text, row.maximum), row.value) << "text: '" << row.text << "'";
    }
}

TEST(ZanmsgNumbersTest, SignedCoversTheWholeInt64Range) {
    struct Case {
        std::string text;
        std::optional<std::int64_t> value;
    };
    const std::vector<Case> cases = {
        {"0", 0},
        {"-5", -5},
        {"-0x10", -16},
        {"9223372036854775807", std::numeric_limits<std::int64_t>::max()},
        {"9223372036854775808", std::nullopt},
        {"-9223372036854775808", std::numeric_limits<std::int64_t>::min()},
        {"-0x8000000000000000", std::numeric_limits<std::int64_t>::min()},
        {"-9223372036854775809", std::nullopt},
        {"0xFFFFFFFFFFFFFFFF", std::nullopt},
        {"-", std::nullopt},
        {"--1", std::nullopt},
        {"-+1", std::nullopt},
    };
    for (const Case& row : cases) {
        EXPECT_EQ(ParseSigned(row.text), row.value) << "text: '" << row.text << "'";
    }
}

}  // namespace
}  // namespace zan::zanmsg
