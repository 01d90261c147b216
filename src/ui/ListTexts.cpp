#include "ui/ListTexts.h"

#include "core/text/TextWidth.h"
#include "ui/FormLayout.h"

namespace ui {

QString groupedNumber(qint64 value) {
    // Not the locale's grouping: the format fixes "," every three digits whatever the user's locale.
    const bool negative = value < 0;
    QString digits = QString::number(value);
    if (negative)
        digits.remove(0, 1);
    for (qsizetype at = digits.size() - 3; at > 0; at -= 3)
        digits.insert(at, QLatin1Char(','));
    return negative ? QLatin1Char('-') + digits : digits;
}

QString queueTotalsText(int count, qint64 bytes) {
    return QString::number(count) + QStringLiteral("個   変換前容量:") + groupedNumber(bytes) +
           QStringLiteral("ﾊﾞｲﾄ");
}

QString destinationFreeText(int count, qint64 freeBytes) {
    return QString::number(count) + QStringLiteral("個   空き容量：") + groupedNumber(freeBytes) +
           QStringLiteral("ﾊﾞｲﾄ");
}

QString workFreeText(qint64 freeBytes) {
    return QStringLiteral("空き容量：") + groupedNumber(freeBytes) + QStringLiteral("ﾊﾞｲﾄ");
}

int queueExtentFor(const QString& path) {
    return (core::cp932ByteCount(path) * 90 + 180) / ui::TwipsPerPixel;
}

} // namespace ui
