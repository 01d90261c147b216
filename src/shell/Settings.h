#pragma once

#include <QString>
#include <QStringList>
#include <optional>

// The settings file: a profile (INI) text file with sections in square brackets and one "key=value"
// line per key, read and written the way the Windows profile functions do it, so that a file carried over
// from Windows keeps working: section and key names match without regard to letter case, values come
// back without surrounding blanks, a missing or empty value gives the caller's default, and a write
// replaces or adds one line and keeps every other line of the file as it was.

// The value of key in section of the file, cut to at most MaxProfileValueBytes bytes of the file's
// encoding (never inside a character) and cleaned with TrimNull; defaultValue, unchanged, when the file,
// the section or the key is missing or the value is empty.
QString IniRead(const QString& section, const QString& key, const QString& defaultValue, const QString& file);

// Sets key in section of the file to value, creating the file and the section when they are missing.
// The file is replaced only once the new text is completely written, so a failure leaves the old file
// as it was. A file that exists but may not be written is left alone. The result is true when the file
// now holds the value; callers may ignore it.
bool IniWrite(const QString& section, const QString& key, const QString& value, const QString& file);

// The text without leading and trailing spaces, then without one final NUL character, then cut before
// the first NUL that remains.
QString TrimNull(const QString& text);

// A value longer than this, in bytes of the file's encoding, comes back cut.
constexpr int MaxProfileValueBytes = 255;

// The file's text as lines, with what is needed to write it back in the same shape.
struct ProfileText {
    QStringList lines;                        // without line breaks
    QString lineBreak = QStringLiteral("\n"); // the break the file already uses, CR LF or LF
    bool legacyEncoding = false;              // the bytes were CP932, not UTF-8
};

// Splits file bytes into lines; UTF-8 when valid (a byte order mark is dropped), otherwise CP932.
ProfileText parseProfile(const QByteArray& bytes);

// The lines joined with the file's line break, ending with one, as UTF-8.
QByteArray serializeProfile(const ProfileText& text);

// The trimmed value of the first line of key in the first section named section; nothing when absent.
std::optional<QString> findProfileValue(const QStringList& lines, const QString& section, const QString& key);

// Replaces the line of key in section, or adds it at the end of the section (after its last non-blank
// line), or adds the section with the key at the end of the text.
void setProfileValue(QStringList& lines, const QString& section, const QString& key, const QString& value);

// The longest start of value that takes at most maxBytes bytes in UTF-8, or in CP932 when legacyEncoding.
QString cutToEncodedBytes(const QString& value, int maxBytes, bool legacyEncoding);
