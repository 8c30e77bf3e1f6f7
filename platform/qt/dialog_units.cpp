#include "platform/dialog_units.h"

#include <QFont>
#include <QFontMetrics>
#include <QRect>
#include <QString>

namespace zan {

namespace {

constexpr int LATIN_LETTER_COUNT = 52;

}  // namespace

DialogBaseUnits BaseUnitsOf(const QFont& font) {
    const QFontMetrics metrics(font);
    const int letters = metrics.horizontalAdvance(
        QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz"));
    return {ScaleDialogUnits(letters, 1, LATIN_LETTER_COUNT), metrics.height()};
}

QRect DialogRectToPixels(const DialogRect& rect, DialogBaseUnits base) {
    return {DialogUnitsToPixelsX(rect.x, base), DialogUnitsToPixelsY(rect.y, base),
            DialogUnitsToPixelsX(rect.width, base), DialogUnitsToPixelsY(rect.height, base)};
}

}  // namespace zan
