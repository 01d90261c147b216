#include "text_codec.h"

#include "legacytext/legacytext.h"

#include <cstring>

namespace vbmp3 {
namespace {

using legacytext::Iconv;
using legacytext::utf8SequenceLength;

// Length of the CP932 character at bytes[i] (1 or 2), or 0 when the bytes are not CP932. The user-defined
// lead bytes 0xF0..0xF9 count as invalid: real text never uses them, Latin-1 text often does.
std::size_t cp932CharLength(std::string_view bytes, std::size_t i) {
    const auto b0 = static_cast<unsigned char>(bytes[i]);
    if (b0 < 0x80 || (b0 >= 0xA1 && b0 <= 0xDF)) {
        return 1;
    }
    const bool lead = (b0 >= 0x81 && b0 <= 0x9F) || (b0 >= 0xE0 && b0 <= 0xEF) || (b0 >= 0xFA && b0 <= 0xFC);
    if (!lead || i + 1 >= bytes.size()) {
        return 0;
    }
    const auto b1 = static_cast<unsigned char>(bytes[i + 1]);
    return (b1 >= 0x40 && b1 <= 0xFC && b1 != 0x7F) ? 2 : 0;
}

// Latin-1 text with accents is often valid CP932 as well: lower-case accents (0xE0..0xEF) read as lead
// bytes of rare kanji, upper-case ones (0xC0..0xDF) as half-width katakana. Japanese text shows itself by
// kana or common kanji (lead bytes 0x81..0x9F), or by half-width katakana that come in runs.
bool looksLikeCp932(std::string_view bytes) {
    bool commonDoubleByte = false, anyDoubleByte = false, isolatedKana = false;
    for (std::size_t i = 0; i < bytes.size();) {
        const std::size_t len = cp932CharLength(bytes, i);
        if (len == 0) {
            return false;
        }
        const auto b = static_cast<unsigned char>(bytes[i]);
        if (len == 2) {
            anyDoubleByte = true;
            commonDoubleByte = commonDoubleByte || b <= 0x9F;
        } else if (b >= 0xA1) {
            const bool before = i > 0 && static_cast<unsigned char>(bytes[i - 1]) >= 0x80;
            const bool after = i + 1 < bytes.size() && static_cast<unsigned char>(bytes[i + 1]) >= 0x80;
            isolatedKana = isolatedKana || (!before && !after);
        }
        i += len;
    }
    return anyDoubleByte ? commonDoubleByte : !isolatedKana;
}

// True when the last byte is the first half of a double-byte character whose second half is missing.
bool endsInLeadByte(std::string_view bytes) {
    std::size_t i = 0;
    while (i + 1 < bytes.size()) {
        i += cp932CharLength(bytes, i) == 2 ? 2 : 1;
    }
    if (i + 1 != bytes.size()) {
        return false;
    }
    const auto b = static_cast<unsigned char>(bytes[i]);
    return (b >= 0x81 && b <= 0x9F) || (b >= 0xE0 && b <= 0xEF) || (b >= 0xFA && b <= 0xFC);
}

bool hasDoubleByte(std::string_view bytes) {
    for (std::size_t i = 0; i < bytes.size();) {
        const std::size_t len = cp932CharLength(bytes, i);
        if (len == 2) {
            return true;
        }
        i += len == 0 ? 1 : len;
    }
    return false;
}

// Opening a conversion costs far more than most conversions: each thread keeps its two.
Iconv& fromCp932() {
    thread_local Iconv cd("UTF-8", "CP932");
    return cd;
}

Iconv& toCp932() {
    thread_local Iconv cd("CP932", "UTF-8");
    return cd;
}

std::string latin1ToUtf8(std::string_view bytes) {
    std::string out;
    for (const char c : bytes) {
        const auto b = static_cast<unsigned char>(c);
        if (b < 0x80) {
            out += c;
        } else {
            out += static_cast<char>(0xC0 | (b >> 6));
            out += static_cast<char>(0x80 | (b & 0x3F));
        }
    }
    return out;
}

// Latin-1 form of UTF-8 text, or false when a character lies above U+00FF.
bool utf8ToLatin1(std::string_view utf8, std::string& out) {
    out.clear();
    for (std::size_t i = 0; i < utf8.size();) {
        const auto b0 = static_cast<unsigned char>(utf8[i]);
        if (b0 < 0x80) {
            out += utf8[i++];
        } else if ((b0 == 0xC2 || b0 == 0xC3) && i + 1 < utf8.size()) {
            out += static_cast<char>(((b0 & 0x03) << 6) | (static_cast<unsigned char>(utf8[i + 1]) & 0x3F));
            i += 2;
        } else {
            return false;
        }
    }
    return true;
}

// Longest prefix of CP932 bytes within maxBytes that ends on a character boundary.
std::string cutCp932(const std::string& bytes, std::size_t maxBytes) {
    std::size_t end = 0;
    while (end < bytes.size()) {
        const std::size_t len = cp932CharLength(bytes, end) == 2 ? 2 : 1;
        if (end + len > maxBytes) {
            break;
        }
        end += len;
    }
    return bytes.substr(0, end);
}

} // namespace

bool isValidUtf8(std::string_view bytes) {
    return legacytext::isValidUtf8(bytes);
}

std::string legacyToUtf8(std::string_view bytes) {
    if (isValidUtf8(bytes)) {
        return std::string(bytes);
    }
    std::string out;
    if (looksLikeCp932(bytes) && fromCp932().convert(bytes, out)) {
        return out;
    }
    // Old taggers cut CP932 text at a field's byte limit, sometimes between the two bytes of a character.
    const std::string_view whole = bytes.substr(0, bytes.empty() ? 0 : bytes.size() - 1);
    if (!bytes.empty() && endsInLeadByte(bytes) && hasDoubleByte(whole) && looksLikeCp932(whole) &&
        fromCp932().convert(whole, out)) {
        return out;
    }
    return latin1ToUtf8(bytes);
}

std::string utf8ToId3v1(std::string_view utf8, std::size_t maxBytes) {
    std::string out;
    if (toCp932().convert(utf8, out)) {
        return cutCp932(out, maxBytes);
    }
    if (utf8ToLatin1(utf8, out)) {
        return out.substr(0, maxBytes);
    }
    // Mixed scripts: keep what CP932 can say, one character at a time.
    out.clear();
    std::string piece;
    for (std::size_t i = 0; i < utf8.size();) {
        const std::size_t len = utf8SequenceLength(utf8, i);
        const std::size_t step = len == 0 ? 1 : len;
        out += (len != 0 && toCp932().convert(utf8.substr(i, len), piece)) ? piece : std::string("?");
        i += step;
    }
    return cutCp932(out, maxBytes);
}

std::string_view cutUtf8(std::string_view utf8, std::size_t maxBytes) {
    std::size_t end = 0;
    while (end < utf8.size()) {
        const std::size_t len = utf8SequenceLength(utf8, end);
        const std::size_t step = len == 0 ? 1 : len;
        if (end + step > maxBytes) {
            break;
        }
        end += step;
    }
    return utf8.substr(0, end);
}

std::string fieldText(const char* field, std::size_t size) {
    std::size_t len = 0;
    while (len < size && field[len] != '\0') {
        ++len;
    }
    while (len > 0 && field[len - 1] == ' ') {
        --len;
    }
    return legacyToUtf8(std::string_view(field, len));
}

void putField(char* field, std::size_t size, std::string_view utf8) {
    std::memset(field, 0, size);
    const std::string_view cut = cutUtf8(utf8, size - 1);
    std::memcpy(field, cut.data(), cut.size());
}

} // namespace vbmp3
