#include "core/text/TextWidth.h"

#include <QList>

namespace core {

int cp932CharBytes(char32_t codePoint) {
    if (codePoint < 0x80 || (codePoint >= 0xFF61 && codePoint <= 0xFF9F))
        return 1;
    return 2;
}

int cp932ByteCount(const QString& text) {
    int count = 0;
    for (const uint codePoint : text.toUcs4())
        count += cp932CharBytes(codePoint);
    return count;
}

} // namespace core
