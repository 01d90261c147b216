#pragma once

#include "core/text/TextWidth.h"

#include <QByteArray>
#include <QString>
#include <optional>

// Text from files written on Japanese Windows systems in the ANSI code page (CP932, Microsoft's
// Shift_JIS): settings files, playlists, ID3v1 tags. Files written here are UTF-8, files carried over
// from such a system CP932, and nothing in the bytes says which; UTF-8 is tried first because a CP932 text
// with any non-ASCII character is almost never valid UTF-8, while the reverse is common.

namespace legacytext {

// True when the bytes form well-formed UTF-8 (no overlong forms, no surrogates, nothing above U+10FFFF).
[[nodiscard]] bool isValidUtf8(const QByteArray& bytes);

// CP932 when the bytes are valid CP932, otherwise Latin-1: for text known to come from a CP932 writer.
[[nodiscard]] QString decodeCp932Text(const QByteArray& bytes);

// The text in CP932; nothing when a character has no CP932 form.
[[nodiscard]] std::optional<QByteArray> encodeCp932(const QString& text);

} // namespace legacytext
