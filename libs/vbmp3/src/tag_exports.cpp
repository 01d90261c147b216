// The tag and genre operations of the library's C interface.
#include "rewrite_journal.h"
#include "tags.h"
#include "text_codec.h"
#include "vbmp3.h"

#include <cstring>

extern "C" {

int16_t vbmp3_getFileTagInfoEX(const char* fileName, VBMP3_TAG_INFO* tag) {
    if (fileName == nullptr || tag == nullptr) {
        return 0;
    }
    if (!vbmp3::readyToRead(fileName)) {
        vbmp3::clearTag(*tag);
        return 0;
    }
    return vbmp3::readTag(fileName, *tag) ? 1 : 0;
}

int16_t vbmp3_setTagInfoEX(const char* fileName, const VBMP3_TAG_INFO* tag, int32_t /*optionA*/,
                           int32_t /*optionB*/) {
    if (fileName == nullptr || tag == nullptr) {
        return 0;
    }
    // Work on a copy: the caller may reuse its record while we read it.
    VBMP3_TAG_INFO record;
    std::memcpy(&record, tag, sizeof record);
    return vbmp3::writeTag(fileName, record) ? 1 : 0;
}

int16_t vbmp3_copyTagV2(const char* from, const char* to) {
    if (from == nullptr || to == nullptr) {
        return 0;
    }
    return vbmp3::copyId3v2(from, to) ? 1 : 0;
}

int32_t vbmp3_getTagError(void) {
    return vbmp3::lastTagError();
}

int16_t vbmp3_getUserText(const char* fileName, const char* description, char* value, int32_t size) {
    if (fileName == nullptr || description == nullptr || value == nullptr || size <= 0) {
        return 0;
    }
    std::string text;
    const bool found = vbmp3::readyToRead(fileName) && vbmp3::readUserText(fileName, description, text);
    vbmp3::putField(value, static_cast<std::size_t>(size), found ? text : std::string());
    return found ? 1 : 0;
}

int16_t vbmp3_setUserText(const char* fileName, const char* description, const char* value) {
    if (fileName == nullptr || description == nullptr || *description == '\0') {
        return 0;
    }
    return vbmp3::writeUserText(fileName, description, value == nullptr ? std::string() : value) ? 1 : 0;
}

int32_t vbmp3_completeRewrites(const char* folder) {
    return folder == nullptr ? -1 : vbmp3::completeRewritesIn(folder);
}

int16_t vbmp3_getGenre(VBMP3_SHORT_TAG_INFO* tag) {
    if (tag == nullptr) {
        return 0;
    }
    const std::string name = vbmp3::genreName(tag->genre);
    vbmp3::putField(tag->genreName, sizeof tag->genreName, name);
    return name.empty() ? 0 : 1;
}

} // extern "C"
