#include "window/Settings.h"
#include "core/files/AtomicFile.h"
#include "core/text/TextConstants.h"

#include "window/LegacyText.h"

#include <QFile>
#include <QFileInfo>
#include <QStringDecoder>
#include <cerrno>

namespace {

bool isBlank(char c) {
    return c == ' ' || c == '\t';
}

// Only blanks and tabs are trimmed, as the profile functions do: a full-width space belongs to the value.
QByteArray trimBlanks(const QByteArray& bytes) {
    qsizetype first = 0;
    qsizetype last = bytes.size();
    while (first < last && isBlank(bytes.at(first)))
        ++first;
    while (last > first && isBlank(bytes.at(last - 1)))
        --last;
    return bytes.mid(first, last - first);
}

bool isQuoted(const QByteArray& bytes) {
    return bytes.size() >= 2 && (bytes.front() == '"' || bytes.front() == '\'') &&
           bytes.back() == bytes.front();
}

bool isAscii(const QByteArray& bytes) {
    for (const char c : bytes)
        if (static_cast<unsigned char>(c) >= 0x80)
            return false;
    return true;
}

// The file's encoding decides: a file that came from a CP932 writer is CP932 throughout, even in a
// value whose bytes happen to form valid UTF-8 too. A value that starts with U+FEFF keeps it: only the
// file's own byte order mark, before its first line, is no part of the text.
QString decodeValue(const QByteArray& bytes, bool legacy) {
    if (legacy)
        return legacytext::decodeCp932Text(bytes);
    QStringDecoder utf8(QStringConverter::Utf8, QStringConverter::Flag::ConvertInitialBom);
    return utf8.decode(bytes);
}

// A name in the file against a name the program asks for, without regard to letter case. Names are
// nearly always ASCII; only others are decoded.
bool sameName(const QByteArray& stored, const QString& wanted, bool legacy) {
    const QString name = isAscii(stored) ? QString::fromLatin1(stored) : decodeValue(stored, legacy);
    return name.compare(wanted, Qt::CaseInsensitive) == 0;
}

// The name inside "[name]" when the line is a section header.
std::optional<QByteArray> sectionName(const QByteArray& line) {
    const QByteArray trimmed = trimBlanks(line);
    if (!trimmed.startsWith('['))
        return std::nullopt;
    qsizetype close = trimmed.indexOf(']');
    if (close < 0)
        close = trimmed.size();
    return trimBlanks(trimmed.mid(1, close - 1));
}

// "=" never occurs inside a multi-byte character, in UTF-8 or in CP932, so the bytes can be split on it.
std::optional<QByteArray> keyName(const QByteArray& line) {
    const qsizetype equals = line.indexOf('=');
    if (equals < 0)
        return std::nullopt;
    return trimBlanks(line.left(equals));
}

QByteArray storedValue(const QByteArray& line) {
    QByteArray value = trimBlanks(line.mid(line.indexOf('=') + 1));
    if (isQuoted(value))
        value = value.mid(1, value.size() - 2);
    return value;
}

// One line per key: a line break inside a value would split it and could smuggle in a key of its own,
// and a NUL ends the value as it does for the C string the Windows functions take. A value that itself
// starts and ends with a quote gets a pair of its own, which reading drops again.
QString valueForLine(const QString& value) {
    QString line = value;
    const qsizetype nul = line.indexOf(QChar(0));
    if (nul >= 0)
        line.truncate(nul);
    line.replace(QLatin1Char('\r'), QLatin1Char(' '));
    line.replace(QLatin1Char('\n'), QLatin1Char(' '));
    if (isQuoted(line.toUtf8()))
        line = QLatin1Char('"') + line + QLatin1Char('"');
    return line;
}

} // namespace

ProfileFile ProfileFile::fromBytes(const QByteArray& bytes) {
    ProfileFile file;
    qsizetype start = 0;
    if (bytes.startsWith("\xEF\xBB\xBF")) {
        file.m_byteOrderMark = bytes.left(3);
        start = 3;
    }
    // One encoding for the whole file: CP932 when any of its bytes are not valid UTF-8.
    file.m_legacy = !legacytext::isValidUtf8(bytes.mid(start));
    while (start < bytes.size()) {
        const qsizetype newline = bytes.indexOf('\n', start);
        Line line;
        if (newline < 0) {
            line.text = bytes.mid(start);
            start = bytes.size();
        } else {
            const bool crlf = newline > start && bytes.at(newline - 1) == '\r';
            line.text = bytes.mid(start, newline - start - (crlf ? 1 : 0));
            line.end = crlf ? QByteArrayLiteral("\r\n") : QByteArrayLiteral("\n");
            start = newline + 1;
        }
        file.m_lines.append(line);
    }
    // New lines take the break the file already uses.
    if (!file.m_lines.isEmpty() && !file.m_lines.front().end.isEmpty())
        file.m_lineBreak = file.m_lines.front().end;
    return file;
}

ProfileFile ProfileFile::load(const QString& path) {
    ProfileFile refused;
    refused.m_refused = true;
    const QFileInfo info(path);
    if (info.isSymLink() && !info.exists())
        return refused; // a dangling link: writing would put a file where the link points
    if (!info.exists())
        return ProfileFile();
    if (!info.isFile() || info.size() > MaxFileBytes)
        return refused;
    QFile input(path);
    if (!input.open(QIODevice::ReadOnly))
        return refused; // never replace a file whose other lines could not be kept
    const QByteArray bytes = input.read(MaxFileBytes + 1);
    if (bytes.size() > MaxFileBytes || input.error() != QFileDevice::NoError)
        return refused;
    return fromBytes(bytes);
}

ProfileFile::Range ProfileFile::findSection(const QString& section) const {
    Range range;
    for (qsizetype i = 0; i < m_lines.size(); ++i) {
        const std::optional<QByteArray> name = sectionName(m_lines[i].text);
        if (!name)
            continue;
        if (range.header >= 0) {
            range.end = i;
            return range;
        }
        if (sameName(*name, section, m_legacy))
            range.header = i;
    }
    if (range.header >= 0)
        range.end = m_lines.size();
    return range;
}

qsizetype ProfileFile::findKey(const Range& range, const QString& key) const {
    for (qsizetype i = range.header + 1; range.header >= 0 && i < range.end; ++i) {
        const std::optional<QByteArray> name = keyName(m_lines[i].text);
        if (name && sameName(*name, key, m_legacy))
            return i;
    }
    return -1;
}

std::optional<QString> ProfileFile::value(const QString& section, const QString& key) const {
    const qsizetype line = findKey(findSection(section), key);
    if (line < 0)
        return std::nullopt;
    return decodeValue(storedValue(m_lines[line].text), m_legacy);
}

QString ProfileFile::read(const QString& section, const QString& key, const QString& defaultValue) const {
    const std::optional<QString> found = value(section, key);
    if (!found || found->isEmpty())
        return defaultValue;
    return TrimNull(legacytext::cutToCp932Bytes(*found, MaxProfileValueBytes));
}

void ProfileFile::write(const QString& section, const QString& key, const QString& value) {
    const QByteArray text = encodeLine(key + QLatin1Char('=') + valueForLine(value));
    const Range range = findSection(section);
    if (range.header < 0) {
        if (!m_lines.isEmpty() && !trimBlanks(m_lines.back().text).isEmpty())
            m_lines.append({QByteArray(), m_lineBreak});
        m_lines.append({'[' + section.toUtf8() + ']', m_lineBreak});
        m_lines.append({text, m_lineBreak});
        m_changed = true;
        return;
    }
    const qsizetype existing = findKey(range, key);
    if (existing >= 0) {
        Line& line = m_lines[existing];
        if (line.text != text && decodeValue(storedValue(line.text), m_legacy) != value) {
            line.text = text;
            m_changed = true;
        }
        return;
    }
    // After the section's last entry, so that blank lines separating it from the next section stay put.
    qsizetype lastFilled = range.header;
    for (qsizetype i = range.header + 1; i < range.end; ++i) {
        if (!trimBlanks(m_lines[i].text).isEmpty())
            lastFilled = i;
    }
    m_lines.insert(lastFilled + 1, {text, m_lineBreak});
    m_changed = true;
}

QByteArray ProfileFile::encodeLine(const QString& line) {
    if (!m_legacy)
        return line.toUtf8();
    if (const std::optional<QByteArray> bytes = legacytext::encodeCp932(line))
        return *bytes;
    // A text CP932 cannot hold: the whole file becomes UTF-8, each line keeping its text, so that it never
    // mixes two encodings.
    for (Line& existing : m_lines)
        existing.text = legacytext::decodeCp932Text(existing.text).toUtf8();
    m_legacy = false;
    return line.toUtf8();
}

QByteArray ProfileFile::toBytes() const {
    QByteArray bytes = m_byteOrderMark;
    for (qsizetype i = 0; i < m_lines.size(); ++i) {
        const Line& line = m_lines[i];
        bytes += line.text;
        // A last line without a break gets one once a line follows it.
        bytes += line.end.isEmpty() && i + 1 < m_lines.size() ? m_lineBreak : line.end;
    }
    return bytes;
}

core::Result ProfileFile::save(const QString& path) const {
    if (m_refused)
        return core::Error{QStringLiteral("設定ファイルが読み書きできる普通のファイルではありません。")};
    if (!m_changed)
        return {};
    const QFileInfo info(path);
    const QFileInfo folder(info.path());
    // A read-only settings file stays as it is, as the profile functions leave it.
    if (info.exists() && !info.isWritable())
        return core::Error{QStringLiteral("設定ファイルが書き込み禁止になっています。")};
    const core::Result written = core::writeFileAtomically(path, toBytes());
    if (written)
        return {};
    if (!folder.isDir())
        return core::Error{QStringLiteral("設定ファイルのフォルダが見つかりません。")};
    if (written.systemError() == EACCES || written.systemError() == EPERM)
        return core::Error{QStringLiteral("設定ファイルのフォルダに書き込む権限がありません。")};
    return written;
}

QString legacytext::cutToCp932Bytes(const QString& value, int maxBytes) {
    int used = 0;
    qsizetype end = 0;
    while (end < value.size()) {
        const bool pair =
            value.at(end).isHighSurrogate() && end + 1 < value.size() && value.at(end + 1).isLowSurrogate();
        const char32_t codePoint =
            pair ? QChar::surrogateToUcs4(value.at(end), value.at(end + 1)) : value.at(end).unicode();
        const int bytes = core::cp932CharBytes(codePoint);
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
