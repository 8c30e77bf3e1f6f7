#include "report_decoder.h"

#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <optional>
#include <vector>

#include "case_name.h"
#include "service_constants.h"

namespace {

struct ReportCase {
    const char* what;
    std::uint8_t keyField;
    std::uint8_t kind;
    std::uint32_t count;
    std::optional<KeyReport> expected;
};

void PrintTo(const ReportCase& testCase, std::ostream* out) {
    *out << testCase.what;
}

std::array<std::uint8_t, REPORT_BUFFER_LENGTH> Report(std::uint8_t keyField, std::uint8_t kind) {
    std::array<std::uint8_t, REPORT_BUFFER_LENGTH> buffer{};
    buffer[1] = keyField;
    buffer[2] = kind;
    // Bytes the decoder must not look at.
    buffer[0] = 0x55;
    buffer[3] = 0xDA;
    buffer[63] = 0x1A;
    return buffer;
}

constexpr KeyReport Click(int key) {
    return {KeyReportKind::Click, key, key - 1};
}
constexpr KeyReport Combination(int number, int row) {
    return {KeyReportKind::Combination, number, row};
}

class DecodeReportTest : public testing::TestWithParam<ReportCase> {};

TEST_P(DecodeReportTest, DecodesKindAndRow) {
    const ReportCase& c = GetParam();
    EXPECT_EQ(DecodeReport(Report(c.keyField, c.kind), c.count), c.expected) << c.what;
}

constexpr std::uint32_t FULL = REPORT_BUFFER_LENGTH;

INSTANTIATE_TEST_SUITE_P(
    Reports, DecodeReportTest,
    testing::Values(ReportCase{"00 03 1A: key 3", 0x03, 0x1A, FULL, Click(3)},
                    ReportCase{"key 1", 0x01, 0x1A, FULL, Click(1)},
                    ReportCase{"key 8", 0x08, 0x1A, FULL, Click(8)},
                    ReportCase{"key 0", 0x00, 0x1A, FULL, std::nullopt},
                    ReportCase{"key 9", 0x09, 0x1A, FULL, std::nullopt},
                    ReportCase{"key 0x13: no masking for clicks", 0x13, 0x1A, FULL, std::nullopt},
                    ReportCase{"key 255", 0xFF, 0x1A, FULL, std::nullopt},
                    ReportCase{"00 18 DA: row 0", 0x18, 0xDA, FULL, Combination(8, 0)},
                    ReportCase{"00 21 DA: row 7, high bits ignored", 0x21, 0xDA, FULL,
                               Combination(1, 7)},
                    ReportCase{"00 15 DA: row 3", 0x15, 0xDA, FULL, Combination(5, 3)},
                    ReportCase{"nibble 8 with high bits F", 0xF8, 0xDA, FULL, Combination(8, 0)},
                    ReportCase{"nibble 0", 0x10, 0xDA, FULL, std::nullopt},
                    ReportCase{"nibble 9", 0x09, 0xDA, FULL, std::nullopt},
                    ReportCase{"nibble 15", 0x2F, 0xDA, FULL, std::nullopt},
                    ReportCase{"kind CA", 0x03, 0xCA, FULL, std::nullopt},
                    ReportCase{"kind 00", 0x03, 0x00, FULL, std::nullopt},
                    ReportCase{"kind 1B", 0x03, 0x1B, FULL, std::nullopt},
                    ReportCase{"three bytes are enough", 0x03, 0x1A, 3, Click(3)},
                    ReportCase{"two bytes", 0x03, 0x1A, 2, std::nullopt},
                    ReportCase{"one byte", 0x18, 0xDA, 1, std::nullopt},
                    ReportCase{"time-out", 0x03, 0x1A, 0, std::nullopt},
                    ReportCase{"read failed to start", 0x03, 0x1A, READ_FAILED, std::nullopt}),
    CaseName<ReportCase>);

TEST(DecodeReportEdges, BufferShorterThanThreeBytesDecodesNothingWhateverTheCount) {
    const std::vector<std::uint8_t> buffer = {0x00, 0x03};
    EXPECT_EQ(DecodeReport(buffer, FULL), std::nullopt);
}

TEST(DecodeReportEdges, EveryNibbleMapsToRowEightMinusNibble) {
    for (int nibble = 1; nibble <= 8; ++nibble) {
        const auto report =
            DecodeReport(Report(static_cast<std::uint8_t>(0xA0 | nibble), 0xDA), FULL);
        ASSERT_TRUE(report.has_value()) << nibble;
        EXPECT_EQ(report->row, 8 - nibble) << nibble;
    }
}

}  // namespace
