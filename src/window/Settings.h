#pragma once

#include "core/Result.h"

#include <QByteArray>
#include <QList>
#include <QString>
#include <optional>

// The settings file: a profile (INI) text file with sections in square brackets and one "key=value"
// line per key, read and written the way the Windows profile functions do it, so that a file carried over
// from Windows keeps working: section and key names match without regard to letter case, values come
// back without surrounding blanks and without one pair of surrounding quotes, a missing or empty value
// gives the caller's default, and a write replaces or adds one line and keeps every other line of the
// file byte for byte.

// A value longer than this comes back cut. Counted as the Windows code page (CP932) counts it, so that
// every value a user could keep there survives here: one byte for ASCII and half-width katakana, two for
// every other character (those without a CP932 form too).
constexpr int MaxProfileValueBytes = 255;

// The file in memory: parsed once, read and changed any number of times, written once. The text is kept
// as bytes; only the names and values asked for are decoded, so lines go back out exactly as they came
// in. The encoding is decided once for the file: UTF-8 when all of it is valid UTF-8, else CP932 (a
// Windows writer's), every value then read and written as CP932 (Latin-1 for bytes that are no CP932).
class ProfileFile {
  public:
    // A settings file holds a few hundred bytes. Anything larger, and anything that is not a regular
    // file (a FIFO would block the start, a link to a device would be read without end), is not read:
    // the defaults apply and the program never writes into it.
    static constexpr qint64 MaxFileBytes = 1024 * 1024;

    ProfileFile() = default;
    [[nodiscard]] static ProfileFile fromBytes(const QByteArray& bytes);
    [[nodiscard]] static ProfileFile load(const QString& path);

    // The value of key in the first section named section, without surrounding blanks and one pair of
    // surrounding quotes, uncut; nothing when the section or the key is missing.
    [[nodiscard]] std::optional<QString> value(const QString& section, const QString& key) const;

    // IniRead's answer: the value cut to MaxProfileValueBytes and cleaned with TrimNull, or defaultValue
    // when it is missing or empty.
    [[nodiscard]] QString read(const QString& section, const QString& key, const QString& defaultValue) const;

    // Replaces the line of key in section, or adds it after the section's last entry, or adds the section
    // with the key at the end. A line that already holds the value is left as it is.
    void write(const QString& section, const QString& key, const QString& value);

    // Whether the file has a section of that name (without regard to letter case).
    [[nodiscard]] bool hasSection(const QString& section) const { return findSection(section).header >= 0; }

    [[nodiscard]] QByteArray toBytes() const;

    // Writes the file when something changed and the file may be written: a file that was refused on
    // reading, or that exists without write permission, is left alone. The file is replaced only once
    // the new text is completely written. Succeeds when the file holds the text (or nothing changed);
    // a failure names the cause in one line.
    core::Result save(const QString& path) const;

    [[nodiscard]] bool isChanged() const { return m_changed; }
    // False when the file was there but is not one the program reads or writes.
    [[nodiscard]] bool isUsable() const { return !m_refused; }

  private:
    struct Line {
        QByteArray text; // without its line break
        QByteArray end;  // "\r\n", "\n", or empty for a last line without a break
    };
    struct Range {
        qsizetype header = -1; // the section's header line, -1 when the section is missing
        qsizetype end = -1;    // the next header, or the number of lines
    };
    Range findSection(const QString& section) const;
    qsizetype findKey(const Range& range, const QString& key) const;
    // The line's bytes in the file's encoding.
    QByteArray encodeLine(const QString& line);

    QByteArray m_byteOrderMark;
    QList<Line> m_lines;
    QByteArray m_lineBreak = QByteArrayLiteral("\n");
    bool m_changed = false;
    bool m_refused = false;
    bool m_legacy = false; // the file is CP932 (some of its bytes are not valid UTF-8)
};

// The text without leading and trailing spaces, then without one final NUL character, then cut before
// the first NUL that remains.
[[nodiscard]] QString TrimNull(const QString& text);

namespace legacytext {

// The longest start of value whose CP932 byte count (by the width rule) is at most maxBytes.
[[nodiscard]] QString cutToCp932Bytes(const QString& value, int maxBytes);

} // namespace legacytext
