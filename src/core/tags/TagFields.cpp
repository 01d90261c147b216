#include "core/tags/TagFields.h"

#include <QFileInfo>
#include <cmath>
#include <limits>

namespace {

bool isBlank(QChar c) {
    return c == QLatin1Char(' ') || c == QLatin1Char('\t') || c == QLatin1Char('\n') ||
           c == QLatin1Char('\r');
}

bool isDigit(QChar c) {
    return c >= QLatin1Char('0') && c <= QLatin1Char('9');
}

// The longest prefix of `text` that reads as [sign] digits [. digits] [e [sign] digits], in the C
// locale's notation. An exponent marker without digits after it is not part of the number.
QString leadingNumber(const QString& text) {
    qsizetype i = 0;
    auto digits = [&] {
        const qsizetype start = i;
        while (i < text.size() && isDigit(text.at(i)))
            ++i;
        return i - start;
    };
    if (i < text.size() && (text.at(i) == QLatin1Char('+') || text.at(i) == QLatin1Char('-')))
        ++i;
    qsizetype mantissaDigits = digits();
    if (i < text.size() && text.at(i) == QLatin1Char('.')) {
        ++i;
        mantissaDigits += digits();
    }
    if (mantissaDigits == 0)
        return {};
    const qsizetype mantissaEnd = i;
    if (i < text.size() && (text.at(i) == QLatin1Char('e') || text.at(i) == QLatin1Char('E'))) {
        ++i;
        if (i < text.size() && (text.at(i) == QLatin1Char('+') || text.at(i) == QLatin1Char('-')))
            ++i;
        if (digits() == 0)
            i = mantissaEnd;
    }
    return text.left(i);
}

double roundHalfToEven(double value) {
    const double below = std::floor(value);
    const double fraction = value - below;
    if (fraction < 0.5)
        return below;
    if (fraction > 0.5)
        return below + 1.0;
    return std::fmod(below, 2.0) == 0.0 ? below : below + 1.0;
}

} // namespace

QString core::genreItemText(int number, const QString& libraryName) {
    return QStringLiteral("%1 - %2").arg(number, 3, 10, QLatin1Char('0')).arg(libraryName.trimmed());
}

qint32 core::trackNumberValue(const QString& text) {
    QString compact;
    for (const QChar c : text) {
        if (!isBlank(c))
            compact.append(c);
    }
    const QString number = leadingNumber(compact);
    if (number.isEmpty())
        return 0;

    // The text is a well-formed number here, so a failed conversion only means it lies outside the
    // range of a double: Qt then gives an infinity (too large) or zero (too small), both usable as is.
    double value = number.toDouble();
    value = roundHalfToEven(value);

    constexpr double lowest = std::numeric_limits<qint32>::min();
    constexpr double highest = std::numeric_limits<qint32>::max();
    if (std::isnan(value))
        return 0;
    if (value <= lowest)
        return std::numeric_limits<qint32>::min();
    if (value >= highest)
        return std::numeric_limits<qint32>::max();
    return static_cast<qint32>(value);
}

QString core::tagLibraryPath(const QString& tagFilePath) {
    const QString trimmed = tagFilePath.trimmed();
    if (trimmed != tagFilePath && QFileInfo(tagFilePath).isFile())
        return tagFilePath;
    return trimmed;
}

int core::genreIndexOfText(const QString& text, const QStringList& items) {
    const QString wanted = text.trimmed();
    if (wanted.isEmpty())
        return -1;
    const QString separator = QStringLiteral(" - ");
    for (int i = 0; i < items.size(); ++i) {
        const QString& item = items[i];
        const qsizetype cut = item.indexOf(separator);
        const QString name = cut < 0 ? QString() : item.mid(cut + separator.size()).trimmed();
        if (item.trimmed().compare(wanted, Qt::CaseInsensitive) == 0 ||
            (!name.isEmpty() && name.compare(wanted, Qt::CaseInsensitive) == 0))
            return i;
    }
    return -1;
}
