#include "number_rule.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <optional>
#include <ostream>
#include <string>

namespace zan::config {
namespace {

struct NumberCase {
    std::string text;
    std::optional<std::int32_t> expected;
};

void PrintTo(const NumberCase& c, std::ostream* out) {
    *out << '"' << c.text << '"';
}

class NumberRule : public ::testing::TestWithParam<NumberCase> {};

TEST_P(NumberRule, ReadsTheLeadingDecimalInteger) {
    EXPECT_EQ(ParseLeadingInt32(GetParam().text), GetParam().expected)
        << "text: \"" << GetParam().text << "\"";
}

INSTANTIATE_TEST_SUITE_P(
    PercentDCases, NumberRule,
    ::testing::Values(NumberCase{"42", 42}, NumberCase{"+42", 42}, NumberCase{"-7", -7},
                      NumberCase{"   12", 12}, NumberCase{"\t\n\v\f\r 5", 5}, NumberCase{"  +8", 8},
                      NumberCase{"12abc", 12}, NumberCase{"3 4", 3}, NumberCase{"007", 7},
                      NumberCase{"0", 0}, NumberCase{"-0", 0}, NumberCase{"a12", std::nullopt},
                      NumberCase{"", std::nullopt}, NumberCase{"   ", std::nullopt},
                      NumberCase{"+", std::nullopt}, NumberCase{"-", std::nullopt},
                      NumberCase{"+ 5", std::nullopt}, NumberCase{"--5", std::nullopt},
                      NumberCase{"0x10", 0}, NumberCase{"2147483647", 2147483647},
                      NumberCase{"-2147483648", INT32_MIN}, NumberCase{"2147483648", std::nullopt},
                      NumberCase{"-2147483649", std::nullopt},
                      NumberCase{"99999999999999999999999", std::nullopt},
                      NumberCase{"00000000000000000000042", 42}),
    [](const ::testing::TestParamInfo<NumberCase>& param) {
        return "case" + std::to_string(param.index);
    });

}  // namespace
}  // namespace zan::config
