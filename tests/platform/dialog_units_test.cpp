// Dialog-unit conversion: the arithmetic as a table, and base units taken
// from a real font on Qt's offscreen platform.

#include "platform/dialog_units.h"

#include <gtest/gtest.h>

#include <QFont>
#include <QGuiApplication>
#include <QRect>
#include <ostream>
#include <string>

namespace {

struct ScaleCase {
    const char* name;
    int units;
    int base;
    int divisor;
    int pixels;
    friend void PrintTo(const ScaleCase& row, std::ostream* out) { *out << row.name; }
};

class ScaleDialogUnitsTest : public ::testing::TestWithParam<ScaleCase> {};

TEST_P(ScaleDialogUnitsTest, RoundsHalfAwayFromZero) {
    const ScaleCase& c = GetParam();
    EXPECT_EQ(zan::ScaleDialogUnits(c.units, c.base, c.divisor), c.pixels);
}

INSTANTIATE_TEST_SUITE_P(
    Table, ScaleDialogUnitsTest,
    ::testing::Values(ScaleCase{"zero", 0, 6, 4, 0}, ScaleCase{"exact", 8, 6, 4, 12},
                      ScaleCase{"half_rounds_up", 1, 6, 4, 2},
                      ScaleCase{"below_half_rounds_down", 1, 5, 4, 1},
                      ScaleCase{"negative_half_rounds_away", -1, 6, 4, -2},
                      ScaleCase{"popup_width", 175, 6, 4, 263},
                      ScaleCase{"popup_height", 59, 13, 8, 96},
                      ScaleCase{"product_beyond_32_bits", 1'000'000'000, 8, 8, 1'000'000'000}),
    [](const ::testing::TestParamInfo<ScaleCase>& row) { return std::string(row.param.name); });

TEST(DialogBaseUnitsTest, ComeFromTheFontAndGrowWithIt) {
    int argc = 1;
    char name[] = "dialog_units_test";
    char* argv[] = {name, nullptr};
    const QGuiApplication app(argc, argv);

    QFont small = QGuiApplication::font();
    small.setPointSize(8);
    QFont large = small;
    large.setPointSize(16);
    const zan::DialogBaseUnits smallUnits = zan::BaseUnitsOf(small);
    const zan::DialogBaseUnits largeUnits = zan::BaseUnitsOf(large);

    EXPECT_GT(smallUnits.x, 0);
    EXPECT_GT(smallUnits.y, smallUnits.x) << "a character is taller than it is wide";
    EXPECT_GT(largeUnits.x, smallUnits.x);
    EXPECT_GT(largeUnits.y, smallUnits.y);

    const QRect pixels = zan::DialogRectToPixels({9, 20, 20, 20}, {6, 13});
    EXPECT_EQ(pixels, QRect(14, 33, 30, 33));
}

}  // namespace
