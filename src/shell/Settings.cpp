#include "shell/Settings.h"

#include "shell/LegacyText.h"

#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

namespace {

// The name inside "[name]" when the line is a section header.
std::optional<QString> sectionName(const QString& line) {
    const QString trimmed = line.trimmed();
    if (!trimmed.startsWith(QLatin1Char('[')))
        return std::nullopt;
    qsizetype close = trimmed.indexOf(QLatin1Char(']'));
    if (close < 0)
        close = trimmed.size();
    return trimmed.mid(1, close - 1).trimmed();
}

// The key of a "key=value" line; nothing for a line without "=".
std::optional<QString> keyName(const QString& line) {
    const qsizetype equals = line.indexOf(QLatin1Char('='));
    if (equals < 0)
        return std::nullopt;
    return line.left(equals).trimmed();
}

bool sameName(const QString& a, const QString& b) {
    return a.compare(b, Qt::CaseInsensitive) == 0;
}

// The header line of the first section called section and the end of its lines (the next header or the
// end of the text); header is -1 when the section is missing.
struct SectionRange {
    qsizetype header = -1;
    qsizetype end = -1;
};

SectionRange findSection(const QStringList& lines, const QString& section) {
    SectionRange range;
    for (qsizetype i = 0; i < lines.size(); ++i) {
        const std::optional<QString> name = sectionName(lines[i]);
        if (!name)
            continue;
        if (range.header >= 0) {
            range.end = i;
            return range;
        }
        if (sameName(*name, section))
            range.header = i;
    }
    if (range.header >= 0)
        range.end = lines.size();
    return range;
}

int utf8Bytes(char32_t codePoint) {
    if (codePoint < 0x80)
        return 1;
    if (codePoint < 0x800)
        return 2;
    if (codePoint < 0x10000)
        return 3;
    return 4;
}

// One line per key: a line break inside a value would split it and could smuggle in a key of its own,
// and a NUL ends the value as it does for the C string the Windows functions take.
QString singleLineValue(const QString& value) {
    QString line = value;
    const qsizetype nul = line.indexOf(QChar(0));
    if (nul >= 0)
        line.truncate(nul);
    line.replace(QLatin1Char('\r'), QLatin1Char(' '));
    line.replace(QLatin1Char('\n'), QLatin1Char(' '));
    return line;
}

} // namespace

ProfileText parseProfile(const QByteArray& bytes) {
    ProfileText text;
    QString decoded;
    if (isValidUtf8(bytes)) {
        decoded = QString::fromUtf8(bytes);
        if (decoded.startsWith(QChar(0xFEFF)))
            decoded.remove(0, 1);
    } else if (std::optional<QString> legacy = decodeCp932(bytes)) {
        decoded = *legacy;
        text.legacyEncoding = true;
    } else {
        decoded = QString::fromLatin1(bytes);
    }

    const qsizetype firstBreak = decoded.indexOf(QLatin1Char('\n'));
    if (firstBreak > 0 && decoded.at(firstBreak - 1) == QLatin1Char('\r'))
        text.lineBreak = QStringLiteral("\r\n");

    if (decoded.isEmpty())
        return text;
    text.lines = decoded.split(QLatin1Char('\n'));
    if (text.lines.last().isEmpty())
        text.lines.removeLast(); // the break that ends the last line
    for (QString& line : text.lines) {
        if (line.endsWith(QLatin1Char('\r')))
            line.chop(1);
    }
    return text;
}

QByteArray serializeProfile(const ProfileText& text) {
    QString joined;
    for (const QString& line : text.lines)
        joined += line + text.lineBreak;
    return joined.toUtf8();
}

std::optional<QString> findProfileValue(const QStringList& lines, const QString& section,
                                        const QString& key) {
    const SectionRange range = findSection(lines, section);
    for (qsizetype i = range.header + 1; range.header >= 0 && i < range.end; ++i) {
        const std::optional<QString> name = keyName(lines[i]);
        if (name && sameName(*name, key))
            return lines[i].mid(lines[i].indexOf(QLatin1Char('=')) + 1).trimmed();
    }
    return std::nullopt;
}

void setProfileValue(QStringList& lines, const QString& section, const QString& key, const QString& value) {
    const QString newLine = key + QLatin1Char('=') + singleLineValue(value);
    const SectionRange range = findSection(lines, section);
    if (range.header < 0) {
        if (!lines.isEmpty() && !lines.last().trimmed().isEmpty())
            lines.append(QString());
        lines.append(QLatin1Char('[') + section + QLatin1Char(']'));
        lines.append(newLine);
        return;
    }
    qsizetype lastFilled = range.header;
    for (qsizetype i = range.header + 1; i < range.end; ++i) {
        const std::optional<QString> name = keyName(lines[i]);
        if (name && sameName(*name, key)) {
            lines[i] = newLine;
            return;
        }
        if (!lines[i].trimmed().isEmpty())
            lastFilled = i;
    }
    // After the section's last entry, so that blank lines separating it from the next section stay put.
    lines.insert(lastFilled + 1, newLine);
}

QString cutToEncodedBytes(const QString& value, int maxBytes, bool legacyEncoding) {
    int used = 0;
    qsizetype end = 0;
    while (end < value.size()) {
        const bool pair =
            value.at(end).isHighSurrogate() && end + 1 < value.size() && value.at(end + 1).isLowSurrogate();
        const char32_t codePoint =
            pair ? QChar::surrogateToUcs4(value.at(end), value.at(end + 1)) : value.at(end).unicode();
        const int bytes = legacyEncoding ? cp932CharBytes(codePoint) : utf8Bytes(codePoint);
        if (used + bytes > maxBytes)
            break;
        used += bytes;
        end += pair ? 2 : 1;
    }
    return value.left(end);
}

QString TrimNull(const QString& text) {
    qsizetype first = 0;
    qsizetype last = text.size();
    while (first < last && text.at(first) == QLatin1Char(' '))
        ++first;
    while (last > first && text.at(last - 1) == QLatin1Char(' '))
        --last;
    QString result = text.mid(first, last - first);
    if (result.endsWith(QChar(0)))
        result.chop(1);
    const qsizetype nul = result.indexOf(QChar(0));
    if (nul >= 0)
        result.truncate(nul);
    return result;
}

QString IniRead(const QString& section, const QString& key, const QString& defaultValue,
                const QString& file) {
    QFile input(file);
    if (!input.open(QIODevice::ReadOnly))
        return defaultValue;
    const ProfileText text = parseProfile(input.readAll());
    const std::optional<QString> value = findProfileValue(text.lines, section, key);
    if (!value || value->isEmpty())
        return defaultValue;
    return TrimNull(cutToEncodedBytes(*value, MaxProfileValueBytes, text.legacyEncoding));
}

bool IniWrite(const QString& section, const QString& key, const QString& value, const QString& file) {
    ProfileText text;
    const QFileInfo info(file);
    if (info.exists()) {
        // A read-only settings file stays as it is, as the profile functions leave it.
        if (!info.isFile() || !info.isWritable())
            return false;
        QFile input(file);
        if (!input.open(QIODevice::ReadOnly))
            return false; // never replace a file whose other lines could not be kept
        text = parseProfile(input.readAll());
    }
    setProfileValue(text.lines, section, key, value);

    QSaveFile output(file);
    if (!output.open(QIODevice::WriteOnly))
        return false;
    const QByteArray bytes = serializeProfile(text);
    if (output.write(bytes) != bytes.size()) {
        output.cancelWriting();
        return false;
    }
    return output.commit();
}
