// Tag reading: the ID3v2 frame parser on raw bytes, and the whole reader on a file.
#include "fuzz_file.h"
#include "id3v2.h"
#include "tags.h"
#include "vbmp3.h"

#include <cstring>

extern "C" int LLVMFuzzerTestOneInput(const unsigned char* data, std::size_t size) {
    const std::string bytes(reinterpret_cast<const char*>(data), size);
    vbmp3::Id3v2Tag tag = vbmp3::parseId3v2(bytes);
    int comment = -1;
    vbmp3::id3v2Values(tag, &comment);
    if (tag.version != 0 && tag.trusted) {
        // What a write would produce must parse again to the same frames.
        const vbmp3::Id3v2Tag again = vbmp3::parseId3v2(vbmp3::renderId3v2(tag, tag.size));
        if (!again.trusted || again.frames.size() != tag.frames.size()) {
            __builtin_trap();
        }
    }
    VBMP3_TAG_INFO record;
    vbmp3_getFileTagInfoEX(fuzzFile(data, size).c_str(), &record);
    if (std::memchr(record.title, 0, sizeof record.title) == nullptr ||
        std::memchr(record.genreName, 0, sizeof record.genreName) == nullptr) {
        __builtin_trap(); // texts are always NUL-terminated inside their fields
    }
    return 0;
}
