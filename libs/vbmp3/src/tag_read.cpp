#include "file_ops.h"
#include "tags.h"
#include "text_codec.h"

#include <cctype>
#include <cstring>
#include <taglib/id3v1genres.h>
#include <vector>

namespace vbmp3 {
namespace {

// A name reduced to its letters and digits, lower case, for comparing spellings of one genre.
std::string genreKey(const std::string& name) {
    std::string key;
    for (const char c : name) {
        if (std::isalnum(static_cast<unsigned char>(c))) {
            key += static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        }
    }
    return key;
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

bool isNumber(const std::string& text) {
    const int number = leadingNumber(text);
    return number >= 0 && std::to_string(number) == text;
}

std::string firstText(const Id3v2Tag& tag, const char* id) {
    const std::string wanted = frameIdFor(tag.version, id);
    for (const Id3v2Frame& frame : tag.frames) {
        std::string content;
        if (frame.id == wanted && frameContent(tag, frame, content)) {
            const std::vector<std::string> values = textValues(content);
            return values.empty() ? std::string() : values.front();
        }
    }
    return {};
}

// TCON holds "(17)", "17", "(17)Rock", a name, or (2.4) several of them.
void readGenre(const Id3v2Tag& tag, TagValues& out) {
    const std::string wanted = frameIdFor(tag.version, "TCON");
    for (const Id3v2Frame& frame : tag.frames) {
        std::string content;
        if (frame.id != wanted || !frameContent(tag, frame, content)) {
            continue;
        }
        for (std::string text : textValues(content)) {
            const std::size_t close = text.find(')');
            if (text.size() > 2 && text.front() == '(' && close != std::string::npos &&
                isNumber(text.substr(1, close - 1))) {
                text = text.substr(1, close - 1);
            }
            const int number = leadingNumber(text);
            if (isNumber(text)) {
                out.genre = number <= 255 ? number : -1;
                out.genreName = number <= 255 ? genreName(number) : text;
                return;
            }
            if (!text.empty()) {
                out.genre = genreNumber(text);
                out.genreName = out.genre >= 0 ? genreName(out.genre) : text;
                return;
            }
        }
        return;
    }
}

// The comment without a description, else the first comment.
void readComment(const Id3v2Tag& tag, TagValues& out, int* chosenFrame) {
    const std::string wanted = frameIdFor(tag.version, "COMM");
    int chosen = -1;
    bool chosenDescribed = false;
    for (std::size_t i = 0; i < tag.frames.size(); ++i) {
        std::string content, language, description, text;
        if (tag.frames[i].id == wanted && frameContent(tag, tag.frames[i], content) &&
            commentParts(content, language, description, text) &&
            (chosen < 0 || (chosenDescribed && description.empty()))) {
            chosen = static_cast<int>(i);
            chosenDescribed = !description.empty();
            out.comment = text;
        }
    }
    if (chosenFrame != nullptr) {
        *chosenFrame = chosen;
    }
}

// A field as stored, up to its first NUL: blanks at its end are part of the text.
std::string id3v1Field(const unsigned char* bytes, std::size_t size) {
    const auto* text = reinterpret_cast<const char*>(bytes);
    return legacyToUtf8(std::string_view(text, strnlen(text, size)));
}

bool hasFrame(const Id3v2Tag& tag, const std::string& id) {
    for (const Id3v2Frame& frame : tag.frames) {
        if (frame.id == id) {
            return true;
        }
    }
    return false;
}

} // namespace

std::string genreName(int number) {
    if (number < 0 || number > 255) {
        return {};
    }
    return TagLib::ID3v1::genre(number).to8Bit(true);
}

int genreNumber(const std::string& name) {
    static const std::vector<std::string> keys = [] {
        std::vector<std::string> all;
        for (int n = 0; n < 256; ++n) {
            all.push_back(genreKey(genreName(n)));
        }
        return all;
    }();
    const std::string key = genreKey(name);
    for (int n = 0; n < 256 && !key.empty(); ++n) {
        if (keys[static_cast<std::size_t>(n)] == key) {
            return n;
        }
    }
    return -1;
}

// The ID3v2 tag at the start of a file, with the frames of a second tag right behind it (a tagger that
// prepended a new tag to an old one) that the first lacks: the first tag's frame wins.
bool readLeadingId3v2(const std::string& path, std::string& bytes) {
    if (!readId3v2Bytes(path, bytes)) {
        return false;
    }
    Id3v2Tag first = parseId3v2(bytes);
    std::string next;
    if (first.version < 3 || !first.trusted || !readId3v2Bytes(path, next, first.size)) {
        return true;
    }
    const Id3v2Tag second = parseId3v2(next);
    if (second.version < 3 || !second.trusted) {
        return true;
    }
    bool added = false;
    for (const Id3v2Frame& frame : second.frames) {
        std::string content;
        if (!hasFrame(first, frame.id) && frameContent(second, frame, content)) {
            // Stored plain: the second tag's unsynchronisation and frame formats are not the first's.
            first.frames.push_back(
                {frame.id, {second.version == first.version ? frame.flags[0] : std::uint8_t{0}, 0}, content});
            added = true;
        }
    }
    if (added) {
        bytes = renderId3v2(first, 0);
    }
    return true;
}

TagValues id3v2Values(const Id3v2Tag& tag, int* commentFrame) {
    TagValues v;
    if (commentFrame != nullptr) {
        *commentFrame = -1;
    }
    if (tag.version == 0) {
        return v;
    }
    v.found = true;
    v.title = firstText(tag, "TIT2");
    v.artist = firstText(tag, "TPE1");
    v.album = firstText(tag, "TALB");
    // A full date ("2003-05-01") gives its year; the release date stands in for a missing recording date.
    for (const char* id : {"TDRC", "TYER", "TDRL"}) {
        v.year = v.year.empty() ? firstText(tag, id) : v.year;
    }
    v.year = std::string(cutUtf8(v.year, 4));
    readComment(tag, v, commentFrame);
    readGenre(tag, v);
    const int track = leadingNumber(firstText(tag, "TRCK"));
    v.track = track >= 1 ? track : -1;
    return v;
}

TagValues id3v1Values(const unsigned char* v1) {
    TagValues v;
    v.found = true;
    v.title = id3v1Field(v1 + 3, 30);
    v.artist = id3v1Field(v1 + 33, 30);
    v.album = id3v1Field(v1 + 63, 30);
    v.year = id3v1Field(v1 + 93, 4);
    // ID3v1.1: a zero byte before the last comment byte turns that byte into the track number.
    const bool v11 = v1[125] == 0 && v1[126] != 0;
    v.comment = id3v1Field(v1 + 97, v11 ? 28 : 30);
    v.track = v11 ? v1[126] : -1;
    v.genre = v1[127] == 255 ? -1 : v1[127];
    v.genreName = genreName(v.genre);
    return v;
}

TagValues mergedValues(const TagValues& v2, const TagValues& v1) {
    TagValues m = v2;
    m.found = v2.found || v1.found;
    for (auto field :
         {&TagValues::title, &TagValues::artist, &TagValues::album, &TagValues::year, &TagValues::comment}) {
        if ((m.*field).empty()) {
            m.*field = v1.*field;
        }
    }
    if (m.genre < 0 && m.genreName.empty()) {
        m.genre = v1.genre;
        m.genreName = v1.genreName;
    }
    m.track = m.track >= 1 ? m.track : v1.track;
    return m;
}

void clearTag(VBMP3_TAG_INFO& tag) {
    std::memset(&tag, 0, sizeof tag);
    tag.genre = -1;
    tag.trackNo = -1;
}

bool readTag(const std::string& path, VBMP3_TAG_INFO& tag) {
    clearTag(tag);
    // A damaged ID3v2 header still lets the ID3v1 tag be read.
    FileLayout layout;
    std::string v2bytes;
    TagValues v2, v1;
    if (readLayout(path, layout) && readLeadingId3v2(path, v2bytes)) {
        v2 = id3v2Values(parseId3v2(v2bytes));
    }
    unsigned char v1bytes[128];
    if (readId3v1Bytes(path, v1bytes)) {
        v1 = id3v1Values(v1bytes);
    }
    const TagValues m = mergedValues(v2, v1);
    if (!m.found) {
        return false;
    }
    putField(tag.title, sizeof tag.title, m.title);
    putField(tag.artist, sizeof tag.artist, m.artist);
    putField(tag.album, sizeof tag.album, m.album);
    putField(tag.year, sizeof tag.year, m.year);
    putField(tag.comment, sizeof tag.comment, m.comment);
    tag.genre = m.genre;
    putField(tag.genreName, sizeof tag.genreName, m.genreName);
    tag.trackNo = m.track;
    return true;
}

} // namespace vbmp3
