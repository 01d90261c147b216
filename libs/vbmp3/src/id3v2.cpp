#include "id3v2.h"

#include "text_codec.h"

#include <algorithm>
#include <cstring>

namespace vbmp3 {
namespace {

std::uint32_t bigEndian(const unsigned char* p, int bytes) {
    std::uint32_t v = 0;
    for (int i = 0; i < bytes; ++i) {
        v = (v << 8) | p[i];
    }
    return v;
}

std::uint32_t synchsafe(const unsigned char* p) {
    return (static_cast<std::uint32_t>(p[0] & 0x7F) << 21) | ((p[1] & 0x7F) << 14) | ((p[2] & 0x7F) << 7) |
           (p[3] & 0x7F);
}

std::string putSynchsafe(std::uint32_t v) {
    return {static_cast<char>((v >> 21) & 0x7F), static_cast<char>((v >> 14) & 0x7F),
            static_cast<char>((v >> 7) & 0x7F), static_cast<char>(v & 0x7F)};
}

std::string putBigEndian(std::uint32_t v, int bytes) {
    std::string out;
    for (int i = bytes - 1; i >= 0; --i) {
        out += static_cast<char>(v >> (8 * i));
    }
    return out;
}

// Undoes unsynchronisation: every 0xFF 0x00 pair stands for 0xFF.
std::string resynchronise(const std::string& bytes) {
    std::string out;
    out.reserve(bytes.size());
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        out += bytes[i];
        if (static_cast<unsigned char>(bytes[i]) == 0xFF && i + 1 < bytes.size() && bytes[i + 1] == '\0') {
            ++i;
        }
    }
    return out;
}

// Frame names are upper-case letters and digits; old taggers also wrote lower-case letters ("Tpos"),
// which other readers accept, so those frames are read past and kept as they are.
bool validId(const std::string& id) {
    for (const char c : id) {
        if (!((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9'))) {
            return false;
        }
    }
    return true;
}

// Padding: zeros, or the 0xFF bytes some version 2.3 writers used (no frame name starts with either).
bool paddingFrom(const std::string& body, std::size_t pos) {
    return body[pos] == '\0' || body.find_first_not_of('\xFF', pos) == std::string::npos;
}

// A last frame may claim a few bytes more than its tag holds (a writer that miscounted): it keeps the
// bytes the tag has. A larger overrun means the size is not to be believed.
constexpr std::size_t kTolerableOverrun = 64;

void appendUtf8(std::string& out, std::uint32_t cp) {
    if (cp < 0x80) {
        out += static_cast<char>(cp);
    } else if (cp < 0x800) {
        out += static_cast<char>(0xC0 | (cp >> 6));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else if (cp < 0x10000) {
        out += static_cast<char>(0xE0 | (cp >> 12));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (cp >> 18));
        out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    }
}

// UTF-16 (byte order from a BOM, else `bigEndian`) as UTF-8; broken surrogates become U+FFFD.
std::string utf16ToUtf8(std::string_view bytes, bool bigEndianOrder) {
    std::size_t i = 0;
    if (bytes.size() >= 2) {
        const auto b0 = static_cast<unsigned char>(bytes[0]), b1 = static_cast<unsigned char>(bytes[1]);
        if ((b0 == 0xFF && b1 == 0xFE) || (b0 == 0xFE && b1 == 0xFF)) {
            bigEndianOrder = b0 == 0xFE;
            i = 2;
        }
    }
    const auto unit = [&](std::size_t at) {
        const auto a = static_cast<unsigned char>(bytes[at]), b = static_cast<unsigned char>(bytes[at + 1]);
        return static_cast<std::uint32_t>(bigEndianOrder ? (a << 8) | b : (b << 8) | a);
    };
    std::string out;
    for (; i + 1 < bytes.size(); i += 2) {
        std::uint32_t cp = unit(i);
        if (cp >= 0xD800 && cp <= 0xDBFF && i + 3 < bytes.size() && unit(i + 2) >= 0xDC00 &&
            unit(i + 2) <= 0xDFFF) {
            cp = 0x10000 + ((cp - 0xD800) << 10) + (unit(i + 2) - 0xDC00);
            i += 2;
        } else if (cp >= 0xD800 && cp <= 0xDFFF) {
            cp = 0xFFFD;
        }
        appendUtf8(out, cp);
    }
    return out;
}

// Text in one of the four encodings; a byte that names none is taken as ISO-8859-1.
std::string decodeText(char encoding, std::string_view bytes) {
    switch (encoding) {
    case 1:
        return utf16ToUtf8(bytes, false);
    case 2:
        return utf16ToUtf8(bytes, true);
    case 3:
        return isValidUtf8(bytes) ? std::string(bytes) : legacyToUtf8(bytes);
    default:
        return legacyToUtf8(bytes);
    }
}

bool wide(char encoding) {
    return encoding == 1 || encoding == 2;
}

// End of a NUL-terminated string from `from` (two-byte NULs, aligned, for UTF-16); npos when unterminated.
std::size_t terminator(const std::string& bytes, std::size_t from, char encoding) {
    if (!wide(encoding)) {
        return bytes.find('\0', from);
    }
    for (std::size_t i = from; i + 1 < bytes.size(); i += 2) {
        if (bytes[i] == '\0' && bytes[i + 1] == '\0') {
            return i;
        }
    }
    return std::string::npos;
}

std::string isoOrUnicode(const std::string& utf8, int version, char& encoding) {
    bool ascii = true;
    for (const char c : utf8) {
        ascii = ascii && static_cast<unsigned char>(c) < 0x80;
    }
    // Readers take non-ASCII bytes of ISO-8859-1 frames as CP932 or UTF-8 when they can, so anything but
    // ASCII goes as Unicode.
    encoding = ascii ? 0 : version == 4 ? 3 : 1;
    return encoding == 1 ? utf8ToUtf16(utf8) : utf8;
}

} // namespace

// Valid UTF-8 as UTF-16LE with a BOM.
std::string utf8ToUtf16(const std::string& utf8) {
    std::string out = "\xFF\xFE";
    const auto put = [&out](std::uint32_t u) {
        out += static_cast<char>(u & 0xFF);
        out += static_cast<char>(u >> 8);
    };
    for (std::size_t i = 0; i < utf8.size();) {
        const auto b0 = static_cast<unsigned char>(utf8[i]);
        const std::size_t len = b0 < 0x80 ? 1 : b0 < 0xE0 ? 2 : b0 < 0xF0 ? 3 : 4;
        std::uint32_t cp = len == 1 ? b0 : b0 & (0x7F >> len);
        for (std::size_t k = 1; k < len && i + k < utf8.size(); ++k) {
            cp = (cp << 6) | (static_cast<unsigned char>(utf8[i + k]) & 0x3F);
        }
        if (cp >= 0x10000) {
            put(0xD800 + ((cp - 0x10000) >> 10));
            put(0xDC00 + ((cp - 0x10000) & 0x3FF));
        } else {
            put(cp);
        }
        i += len;
    }
    return out;
}

const char* frameIdFor(int version, const char* id) {
    if (version != 2) {
        return id;
    }
    static const char* const names[][2] = {{"TIT2", "TT2"}, {"TPE1", "TP1"}, {"TALB", "TAL"}, {"TYER", "TYE"},
                                           {"COMM", "COM"}, {"TCON", "TCO"}, {"TRCK", "TRK"}};
    for (const auto& pair : names) {
        if (std::strcmp(pair[0], id) == 0) {
            return pair[1];
        }
    }
    return "";
}

Id3v2Tag parseId3v2(const std::string& bytes) {
    Id3v2Tag tag;
    const auto* h = reinterpret_cast<const unsigned char*>(bytes.data());
    if (bytes.size() < 10 || std::memcmp(h, "ID3", 3) != 0) {
        return tag;
    }
    tag.version = h[3];
    tag.flags = h[5];
    tag.size = 10 + synchsafe(h + 6) + (tag.version == 4 && (h[5] & 0x10) != 0 ? 10 : 0);
    if (tag.version < 2 || tag.version > 4 || tag.size > bytes.size() ||
        (tag.version == 2 && (h[5] & 0x40))) {
        tag.trusted = false; // damaged, of an unknown version, or compressed (2.2): nothing to rely on
        return tag;
    }
    std::string body = bytes.substr(10, synchsafe(h + 6));
    if (tag.version < 4 && (tag.flags & 0x80) != 0) {
        body = resynchronise(body);
    }
    std::size_t pos = 0;
    if (tag.version > 2 && (tag.flags & 0x40) != 0 && body.size() >= 4) {
        // The extended header's size leaves out its own four bytes in 2.3 and counts them in 2.4.
        const auto* e = reinterpret_cast<const unsigned char*>(body.data());
        pos = tag.version == 3 ? 4 + std::size_t{bigEndian(e, 4)} : std::size_t{synchsafe(e)};
    }
    const std::size_t idLength = tag.version == 2 ? 3 : 4, headerLength = tag.version == 2 ? 6 : 10;
    while (pos + headerLength <= body.size() && !paddingFrom(body, pos)) {
        const auto* f = reinterpret_cast<const unsigned char*>(body.data() + pos);
        Id3v2Frame frame;
        frame.id = body.substr(pos, idLength);
        std::uint32_t size = tag.version == 2 ? bigEndian(f + 3, 3) : bigEndian(f + 4, 4);
        // Version 2.4 sizes are synchsafe, but some writers put plain numbers there.
        if (tag.version == 4 && (size & 0x80808080u) == 0) {
            const std::uint32_t safe = synchsafe(f + 4);
            const std::size_t next = pos + headerLength + safe;
            if (size == safe || next + headerLength > body.size() || body[next] == '\0' ||
                validId(body.substr(next, idLength))) {
                size = safe;
            }
        }
        const std::size_t room = body.size() - pos - headerLength;
        if (!validId(frame.id) || size > room + kTolerableOverrun) {
            tag.trusted = false;
            break;
        }
        size = static_cast<std::uint32_t>(std::min<std::size_t>(size, room));
        if (tag.version > 2) {
            frame.flags[0] = f[8];
            frame.flags[1] = f[9];
        }
        frame.data = body.substr(pos + headerLength, size);
        tag.frames.push_back(std::move(frame));
        pos += headerLength + size;
    }
    return tag;
}

std::string renderId3v2(const Id3v2Tag& tag, std::uint64_t minimumSize) {
    std::string body;
    for (const Id3v2Frame& frame : tag.frames) {
        const auto size = static_cast<std::uint32_t>(frame.data.size());
        body += frame.id;
        if (tag.version == 2) {
            body += putBigEndian(size, 3);
        } else {
            body += tag.version == 4 ? putSynchsafe(size) : putBigEndian(size, 4);
            body += static_cast<char>(frame.flags[0]);
            body += static_cast<char>(frame.flags[1]);
        }
        body += frame.data;
    }
    const bool footer = tag.version == 4 && (tag.flags & 0x10) != 0;
    const std::uint64_t overhead = footer ? 20 : 10;
    if (!footer && body.size() + overhead < minimumSize) {
        body.append(static_cast<std::size_t>(minimumSize - overhead - body.size()), '\0');
    }
    // Version 2.4 marks unsynchronised frames one by one, so its tag flag stays true for the kept frames.
    const auto flags = static_cast<char>(tag.flags & (tag.version == 4 ? 0xB0 : tag.version == 3 ? 0x20 : 0));
    const std::string size = putSynchsafe(static_cast<std::uint32_t>(body.size()));
    std::string out = std::string("ID3") + static_cast<char>(tag.version) + '\0' + flags + size + body;
    if (footer) {
        out += std::string("3DI") + static_cast<char>(tag.version) + '\0' + flags + size;
    }
    return out;
}

bool frameContent(const Id3v2Tag& tag, const Id3v2Frame& frame, std::string& content) {
    content = frame.data;
    const std::uint8_t format = frame.flags[1];
    if (tag.version == 3) {
        if ((format & 0xC0) != 0) {
            return false;
        }
        content.erase(0, (format & 0x20) != 0 ? 1 : 0);
    } else if (tag.version == 4) {
        if ((format & 0x0C) != 0) {
            return false;
        }
        const std::size_t skip = ((format & 0x40) != 0 ? 1 : 0) + ((format & 0x01) != 0 ? 4 : 0);
        content.erase(0, std::min(skip, content.size()));
        if ((format & 0x02) != 0 || (tag.flags & 0x80) != 0) {
            content = resynchronise(content);
        }
    }
    return true;
}

std::vector<std::string> textValues(const std::string& content) {
    std::vector<std::string> values;
    if (content.empty()) {
        return values;
    }
    const char encoding = content[0];
    std::size_t from = 1;
    while (from < content.size()) {
        std::size_t end = terminator(content, from, encoding);
        if (end == std::string::npos) {
            end = content.size();
        }
        values.push_back(decodeText(encoding, std::string_view(content).substr(from, end - from)));
        from = end + (wide(encoding) ? 2 : 1);
    }
    return values;
}

bool commentParts(const std::string& content, std::string& language, std::string& description,
                  std::string& text) {
    if (content.size() < 4) {
        return false;
    }
    const char encoding = content[0];
    language = content.substr(1, 3);
    const std::size_t end = terminator(content, 4, encoding);
    if (end == std::string::npos) {
        description = decodeText(encoding, std::string_view(content).substr(4));
        text.clear();
        return true;
    }
    description = decodeText(encoding, std::string_view(content).substr(4, end - 4));
    std::string_view rest = std::string_view(content).substr(end + (wide(encoding) ? 2 : 1));
    const std::size_t stop = terminator(std::string(rest), 0, encoding);
    text = decodeText(encoding, rest.substr(0, stop == std::string::npos ? rest.size() : stop));
    return true;
}

std::string textContent(const std::string& utf8, int version) {
    char encoding = 0;
    const std::string bytes = isoOrUnicode(utf8, version, encoding);
    return encoding + bytes;
}

std::string commentContent(const std::string& language, const std::string& description,
                           const std::string& utf8, int version) {
    char encoding = 0;
    isoOrUnicode(description + utf8, version, encoding);
    const auto encode = [&](const std::string& text) { return encoding == 1 ? utf8ToUtf16(text) : text; };
    const std::string nul = encoding == 1 ? std::string(2, '\0') : std::string(1, '\0');
    return encoding + (language.size() == 3 ? language : std::string("eng")) + encode(description) + nul +
           encode(utf8);
}

} // namespace vbmp3
