#include "window/LegacyText.h"

#include "legacytext/legacytext.h"

#include <optional>
#include <string>

namespace {

// Converts between two encodings; nothing when the input holds a sequence that has no form in the target
// encoding or is malformed in the source encoding.
std::optional<QByteArray> convert(const QByteArray& input, const char* from, const char* to) {
    legacytext::Iconv converter(to, from);
    std::string output;
    if (!converter.convert(std::string_view(input.constData(), size_t(input.size())), output))
        return std::nullopt;
    return QByteArray(output.data(), qsizetype(output.size()));
}

std::optional<QString> decodeCp932(const QByteArray& bytes) {
    const std::optional<QByteArray> utf8 = convert(bytes, "CP932", "UTF-8");
    if (!utf8)
        return std::nullopt;
    return QString::fromUtf8(*utf8);
}

} // namespace

bool legacytext::isValidUtf8(const QByteArray& bytes) {
    return legacytext::isValidUtf8(std::string_view(bytes.constData(), size_t(bytes.size())));
}

QString legacytext::decodeCp932Text(const QByteArray& bytes) {
    if (std::optional<QString> text = decodeCp932(bytes))
        return *text;
    return QString::fromLatin1(bytes);
}

std::optional<QByteArray> legacytext::encodeCp932(const QString& text) {
    // Several characters share one CP932 code with another (〜 U+301C and ～ U+FF5E are both 81 60):
    // written so, they would come back as the other one, a folder that does not exist. Text whose bytes
    // do not read back as itself counts as text CP932 cannot hold.
    std::optional<QByteArray> bytes = convert(text.toUtf8(), "UTF-8", "CP932");
    if (bytes && decodeCp932(*bytes) != text)
        return std::nullopt;
    return bytes;
}
