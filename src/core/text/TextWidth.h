// How wide a text is in the byte count of the system its users came from, where a width is estimated
// from that count.
#pragma once

#include <QString>

namespace core {

// How many bytes the character at the given code point takes in CP932 by the width rule: 1 for ASCII
// and half-width katakana (U+FF61..U+FF9F), 2 for every other character. Characters without a CP932
// form are counted as double-byte too.
int cp932CharBytes(char32_t codePoint);

// The sum of cp932CharBytes over the text's characters (a surrogate pair is one character).
int cp932ByteCount(const QString& text);

} // namespace core
