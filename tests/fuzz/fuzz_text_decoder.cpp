// The text conversions between tag bytes and UTF-8.
#include "id3v2.h"
#include "text_codec.h"

#include <cstring>

extern "C" int LLVMFuzzerTestOneInput(const unsigned char* data, std::size_t size) {
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    const std::string utf8 = vbmp3::legacyToUtf8(bytes);
    if (!vbmp3::isValidUtf8(utf8)) {
        __builtin_trap();
    }
    // Whatever was read can be written as an ID3v1 field of the right size.
    if (vbmp3::utf8ToId3v1(utf8, 30).size() > 30 || vbmp3::cutUtf8(utf8, 30).size() > 30) {
        __builtin_trap();
    }
    char field[31];
    vbmp3::putField(field, sizeof field, utf8);
    if (field[30] != '\0' || !vbmp3::isValidUtf8(vbmp3::fieldText(field, sizeof field))) {
        __builtin_trap();
    }
    const std::string frame(bytes);
    for (const std::string& value : vbmp3::textValues(frame)) {
        if (!vbmp3::isValidUtf8(value)) {
            __builtin_trap();
        }
    }
    std::string language, description, text;
    vbmp3::commentParts(frame, language, description, text);
    return 0;
}
