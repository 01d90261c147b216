#include "window/LegacyText.h"

#include <QList>
#include <cerrno>
#include <iconv.h>
#include <optional>

namespace {

// Converts between two encodings with glibc's iconv; nothing when the input holds a sequence that has no
// form in the target encoding or is malformed in the source encoding.
std::optional<QByteArray> convert(const QByteArray& input, const char* from, const char* to) {
    iconv_t converter = iconv_open(to, from);
    if (converter == reinterpret_cast<iconv_t>(-1))
        return std::nullopt;

    // Every CP932 character becomes at most 3 UTF-8 bytes and every UTF-8 sequence at most 2 CP932 bytes,
    // so three times the input always suffices; the loop still grows the buffer should iconv disagree.
    QByteArray output(input.size() * 3 + 16, Qt::Uninitialized);
    char* in = const_cast<char*>(input.constData());
    size_t inLeft = size_t(input.size());
    char* out = output.data();
    size_t outLeft = size_t(output.size());
    bool ok = true;
    while (inLeft > 0) {
        if (iconv(converter, &in, &inLeft, &out, &outLeft) != size_t(-1))
            continue;
        if (errno == E2BIG) {
            const qsizetype used = out - output.data();
            output.resize(output.size() * 2);
            out = output.data() + used;
            outLeft = size_t(output.size() - used);
            continue;
        }
        ok = false; // EILSEQ or EINVAL: malformed or unmappable input
        break;
    }
    // Flush any shift state (CP932 has none, but the call is cheap and correct for any target).
    if (ok && iconv(converter, nullptr, nullptr, &out, &outLeft) == size_t(-1))
        ok = false;
    iconv_close(converter);
    if (!ok)
        return std::nullopt;
    output.truncate(out - output.data());
    return output;
}

std::optional<QString> decodeCp932(const QByteArray& bytes) {
    const std::optional<QByteArray> utf8 = convert(bytes, "CP932", "UTF-8");
    if (!utf8)
        return std::nullopt;
    return QString::fromUtf8(*utf8);
}

} // namespace

bool isValidUtf8(const QByteArray& bytes) {
    const auto* p = reinterpret_cast<const unsigned char*>(bytes.constData());
    const auto* end = p + bytes.size();
    while (p < end) {
        const unsigned char lead = *p;
        if (lead < 0x80) {
            ++p;
            continue;
        }
        int trail = 0;
        char32_t codePoint = 0;
        char32_t minimum = 0;
        if ((lead & 0xE0) == 0xC0) {
            trail = 1, codePoint = lead & 0x1F, minimum = 0x80;
        } else if ((lead & 0xF0) == 0xE0) {
            trail = 2, codePoint = lead & 0x0F, minimum = 0x800;
        } else if ((lead & 0xF8) == 0xF0) {
            trail = 3, codePoint = lead & 0x07, minimum = 0x10000;
        } else {
            return false;
        }
        if (end - p <= trail)
            return false;
        for (int i = 1; i <= trail; ++i) {
            if ((p[i] & 0xC0) != 0x80)
                return false;
            codePoint = (codePoint << 6) | (p[i] & 0x3F);
        }
        if (codePoint < minimum || codePoint > 0x10FFFF || (codePoint >= 0xD800 && codePoint <= 0xDFFF))
            return false;
        p += trail + 1;
    }
    return true;
}

QString decodeCp932Text(const QByteArray& bytes) {
    if (std::optional<QString> text = decodeCp932(bytes))
        return *text;
    return QString::fromLatin1(bytes);
}

std::optional<QByteArray> encodeCp932(const QString& text) {
    // Several characters share one CP932 code with another (〜 U+301C and ～ U+FF5E are both 81 60):
    // written so, they would come back as the other one, a folder that does not exist. Text whose bytes
    // do not read back as itself counts as text CP932 cannot hold.
    std::optional<QByteArray> bytes = convert(text.toUtf8(), "UTF-8", "CP932");
    if (bytes && decodeCp932(*bytes) != text)
        return std::nullopt;
    return bytes;
}
