#include "file_ops.h"
#include "tags.h"
#include "text_codec.h"

#include <cctype>
#include <cstring>
#include <taglib/commentsframe.h>
#include <taglib/id3v1genres.h>
#include <taglib/id3v2tag.h>
#include <taglib/mpegfile.h>
#include <taglib/textidentificationframe.h>

namespace vbmp3 {
namespace {

bool equalsIgnoringCase(const std::string& a, const std::string& b) {
    if (a.size() != b.size()) {
        return false;
    }
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (std::tolower(static_cast<unsigned char>(a[i])) !=
            std::tolower(static_cast<unsigned char>(b[i]))) {
            return false;
        }
    }
    return true;
}

// The leading decimal number of a text ("5/12" -> 5), or -1.
int leadingNumber(const std::string& text) {
    long value = -1;
    for (const char c : text) {
        if (c < '0' || c > '9') {
            break;
        }
        value = (value < 0 ? 0 : value * 10) + (c - '0');
        if (value > 0x7FFFFFFF) {
            return -1;
        }
    }
    return static_cast<int>(value);
}

// Text of a TagLib string as UTF-8. Frames marked ISO-8859-1 often carry other encodings (CP932 from
// Japanese Windows software, UTF-8 from careless writers); TagLib kept each byte as one character, so
// to8Bit(false) gives the original bytes back for a second opinion.
std::string frameString(const TagLib::String& text, TagLib::String::Type encoding) {
    if (encoding == TagLib::String::Latin1) {
        return legacyToUtf8(text.to8Bit(false));
    }
    return text.to8Bit(true);
}

const TagLib::ID3v2::TextIdentificationFrame* textFrame(const TagLib::ID3v2::Tag& tag, const char* id) {
    const TagLib::ID3v2::FrameList& frames = tag.frameListMap()[id];
    return frames.isEmpty() ? nullptr
                            : dynamic_cast<const TagLib::ID3v2::TextIdentificationFrame*>(frames.front());
}

std::string textOf(const TagLib::ID3v2::Tag& tag, const char* id) {
    const auto* frame = textFrame(tag, id);
    if (frame == nullptr || frame->fieldList().isEmpty()) {
        return {};
    }
    return frameString(frame->fieldList().front(), frame->textEncoding());
}

// The comment without a description, else the first comment.
std::string commentOf(const TagLib::ID3v2::Tag& tag) {
    const TagLib::ID3v2::CommentsFrame* chosen = nullptr;
    for (const TagLib::ID3v2::Frame* frame : tag.frameListMap()["COMM"]) {
        const auto* comment = dynamic_cast<const TagLib::ID3v2::CommentsFrame*>(frame);
        if (comment != nullptr &&
            (chosen == nullptr || (comment->description().isEmpty() && !chosen->description().isEmpty()))) {
            chosen = comment;
        }
    }
    return chosen == nullptr ? std::string() : frameString(chosen->text(), chosen->textEncoding());
}

// TCON holds "(17)", "17" (TagLib turns "(17)Rock" into the fields "17" and "Rock") or a free name.
void readGenre(const TagLib::ID3v2::Tag& tag, VBMP3_TAG_INFO& out) {
    const auto* frame = textFrame(tag, "TCON");
    if (frame == nullptr) {
        return;
    }
    for (const TagLib::String& field : frame->fieldList()) {
        std::string text = frameString(field, frame->textEncoding());
        if (text.size() > 2 && text.front() == '(' && text.back() == ')') {
            text = text.substr(1, text.size() - 2);
        }
        const int number = leadingNumber(text);
        if (number >= 0 && std::to_string(number) == text) {
            out.genre = number <= 255 ? number : -1;
            putField(out.genreName, sizeof out.genreName, number <= 255 ? genreName(number) : text);
            return;
        }
        if (!text.empty()) {
            out.genre = genreNumber(text);
            putField(out.genreName, sizeof out.genreName, out.genre >= 0 ? genreName(out.genre) : text);
            return;
        }
    }
}

bool readId3v2(const std::string& path, VBMP3_TAG_INFO& out) {
    TagLib::MPEG::File file(path.c_str(), false);
    if (!file.isValid() || !file.hasID3v2Tag()) {
        return false;
    }
    const TagLib::ID3v2::Tag& tag = *file.ID3v2Tag();
    putField(out.title, sizeof out.title, textOf(tag, "TIT2"));
    putField(out.artist, sizeof out.artist, textOf(tag, "TPE1"));
    putField(out.album, sizeof out.album, textOf(tag, "TALB"));
    // TagLib presents a version 2.3 TYER as TDRC; a full date keeps only its year.
    std::string year = textOf(tag, "TDRC");
    putField(out.year, sizeof out.year, year.empty() ? textOf(tag, "TYER") : year);
    putField(out.comment, sizeof out.comment, commentOf(tag));
    readGenre(tag, out);
    const int track = leadingNumber(textOf(tag, "TRCK"));
    out.trackNo = track >= 1 ? track : -1;
    return true;
}

std::string id3v1Field(const unsigned char* bytes, std::size_t size) {
    return fieldText(reinterpret_cast<const char*>(bytes), size);
}

bool readId3v1(const std::string& path, VBMP3_TAG_INFO& out) {
    unsigned char v1[128];
    if (!readId3v1Bytes(path, v1)) {
        return false;
    }
    putField(out.title, sizeof out.title, id3v1Field(v1 + 3, 30));
    putField(out.artist, sizeof out.artist, id3v1Field(v1 + 33, 30));
    putField(out.album, sizeof out.album, id3v1Field(v1 + 63, 30));
    putField(out.year, sizeof out.year, id3v1Field(v1 + 93, 4));
    // ID3v1.1: a zero byte before the last comment byte turns that byte into the track number.
    const bool v11 = v1[125] == 0 && v1[126] != 0;
    putField(out.comment, sizeof out.comment, id3v1Field(v1 + 97, v11 ? 28 : 30));
    out.trackNo = v11 ? v1[126] : -1;
    out.genre = v1[127] == 255 ? -1 : v1[127];
    putField(out.genreName, sizeof out.genreName, genreName(out.genre));
    return true;
}

bool hasTextFields(const VBMP3_TAG_INFO& tag) {
    return tag.title[0] != 0 || tag.artist[0] != 0 || tag.album[0] != 0 || tag.year[0] != 0 ||
           tag.comment[0] != 0 || tag.genre >= 0 || tag.genreName[0] != 0 || tag.trackNo >= 0;
}

void clear(VBMP3_TAG_INFO& tag) {
    std::memset(&tag, 0, sizeof tag);
    tag.genre = -1;
    tag.trackNo = -1;
}

} // namespace

std::string genreName(int number) {
    if (number < 0 || number > 255) {
        return {};
    }
    return TagLib::ID3v1::genre(number).to8Bit(true);
}

int genreNumber(const std::string& name) {
    const int index = TagLib::ID3v1::genreIndex(TagLib::String(name, TagLib::String::UTF8));
    if (index >= 0 && index < 255) {
        return index;
    }
    for (int n = 0; n < 256; ++n) {
        const std::string known = genreName(n);
        if (!known.empty() && equalsIgnoringCase(known, name)) {
            return n;
        }
    }
    return -1;
}

bool readTag(const std::string& path, VBMP3_TAG_INFO& tag) {
    // A damaged ID3v2 header still lets the ID3v1 tag be read.
    clear(tag);
    FileLayout layout;
    const bool sane = readLayout(path, layout);
    if (sane && readId3v2(path, tag)) {
        if (hasTextFields(tag)) {
            return true;
        }
        // An ID3v2 tag holding only pictures or the like: the ID3v1 tag, if any, says more.
        readId3v1(path, tag);
        return true;
    }
    clear(tag);
    return readId3v1(path, tag);
}

} // namespace vbmp3
