#pragma once
// Dialog templates give positions and sizes in dialog units: a horizontal
// unit is a quarter of the template font's average character width, a
// vertical unit an eighth of its height. The popup and the settings dialog
// convert their templates with these functions, so both agree with each
// other and with the template they were drawn from.
//
// The arithmetic is pure; only BaseUnitsOf asks Qt for the font's metrics.

#include <cstdint>

class QFont;
class QRect;

namespace zan {

// The font's average character width and its height, in pixels.
struct DialogBaseUnits {
    int x = 0;
    int y = 0;
    friend bool operator==(const DialogBaseUnits&, const DialogBaseUnits&) = default;
};

// A rectangle of a template, in dialog units.
struct DialogRect {
    int x = 0;
    int y = 0;
    int width = 0;
    int height = 0;
};

// units × base ÷ divisor, rounded half away from zero, in 64 bits so that no
// template value overflows.
constexpr int ScaleDialogUnits(int units, int base, int divisor) {
    const std::int64_t product = static_cast<std::int64_t>(units) * base;
    const std::int64_t half = divisor / 2;
    const std::int64_t rounded =
        product >= 0 ? (product + half) / divisor : (product - half) / divisor;
    return static_cast<int>(rounded);
}

constexpr int DialogUnitsToPixelsX(int units, DialogBaseUnits base) {
    return ScaleDialogUnits(units, base.x, 4);
}

constexpr int DialogUnitsToPixelsY(int units, DialogBaseUnits base) {
    return ScaleDialogUnits(units, base.y, 8);
}

// The base units of a font: the average width of the 52 Latin letters,
// rounded, and the font's height (ascent + descent), as the original
// platform measures them.
DialogBaseUnits BaseUnitsOf(const QFont& font);

// The template rectangle in pixels.
QRect DialogRectToPixels(const DialogRect& rect, DialogBaseUnits base);

}  // namespace zan
