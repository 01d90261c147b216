#include "file_ops.h"
#include "tags.h"
#include "text_codec.h"

#include <cstring>
#include <taglib/commentsframe.h>
#include <taglib/id3v2tag.h>
#include <taglib/mpegfile.h>
#include <taglib/textidentificationframe.h>

namespace vbmp3 {
namespace {

// The record's texts, with the blank padding a caller may have added removed.
struct TagTexts {
    std::string title, artist, album, year, comment, genre, track;
    int genreNumber = -1;
    int trackNumber = -1;

    bool empty() const {
        return title.empty() && artist.empty() && album.empty() && year.empty() && comment.empty() &&
               genre.empty() && track.empty();
    }
};

TagTexts textsOf(const VBMP3_TAG_INFO& tag, int id3v2Version) {
    TagTexts t;
    t.title = fieldText(tag.title, sizeof tag.title);
    t.artist = fieldText(tag.artist, sizeof tag.artist);
    t.album = fieldText(tag.album, sizeof tag.album);
    t.year = fieldText(tag.year, sizeof tag.year);
    t.comment = fieldText(tag.comment, sizeof tag.comment);
    // 255 is ID3v1's "no genre"; a free genre name (read from an ID3v2 tag) is kept when no number is set.
    if (tag.genre >= 0 && tag.genre < 255) {
        t.genreNumber = tag.genre;
        t.genre = genreName(tag.genre);
        if (t.genre.empty()) {
            t.genre = id3v2Version == 4 ? std::to_string(tag.genre) : "(" + std::to_string(tag.genre) + ")";
        }
    } else {
        t.genre = fieldText(tag.genreName, sizeof tag.genreName);
    }
    if (tag.trackNo >= 1) {
        t.trackNumber = tag.trackNo;
        t.track = std::to_string(tag.trackNo);
    }
    return t;
}

// ID3v1.1 when the track number fits its one byte, else ID3v1.0.
std::string renderId3v1(const TagTexts& t) {
    std::string v1(128, '\0');
    v1.replace(0, 3, "TAG");
    const auto put = [&v1](std::size_t offset, std::size_t size, const std::string& text) {
        const std::string bytes = utf8ToId3v1(text, size);
        v1.replace(offset, bytes.size(), bytes);
    };
    put(3, 30, t.title);
    put(33, 30, t.artist);
    put(63, 30, t.album);
    put(93, 4, t.year);
    const bool v11 = t.trackNumber >= 1 && t.trackNumber <= 255;
    put(97, v11 ? 28 : 30, t.comment);
    if (v11) {
        v1[126] = static_cast<char>(t.trackNumber);
    }
    v1[127] = static_cast<char>(t.genreNumber >= 0 ? t.genreNumber : 255);
    return v1;
}

bool isAscii(const std::string& text) {
    for (const char c : text) {
        if (static_cast<unsigned char>(c) >= 0x80) {
            return false;
        }
    }
    return true;
}

// ISO-8859-1 only for plain ASCII: readers (this library included) take non-ASCII bytes of such frames as
// CP932 or UTF-8 when they can, so anything else goes as Unicode.
TagLib::String::Type encodingFor(const std::string& text, int version) {
    if (isAscii(text)) {
        return TagLib::String::Latin1;
    }
    return version == 4 ? TagLib::String::UTF8 : TagLib::String::UTF16;
}

TagLib::String toTagLib(const std::string& utf8) {
    return TagLib::String(utf8, TagLib::String::UTF8);
}

void setText(TagLib::ID3v2::Tag& tag, const char* id, const std::string& text, int version) {
    if (text.empty()) {
        return;
    }
    auto* frame = new TagLib::ID3v2::TextIdentificationFrame(id, encodingFor(text, version));
    frame->setText(toTagLib(text));
    tag.addFrame(frame);
}

void replaceTextFrames(TagLib::ID3v2::Tag& tag, const TagTexts& t, int version) {
    for (const char* id : {"TIT2", "TPE1", "TALB", "TDRC", "TYER", "TCON", "TRCK"}) {
        tag.removeFrames(id);
    }
    // Comments with a description (lyrics notes, encoder settings) are not the record's comment.
    const TagLib::ID3v2::FrameList comments = tag.frameListMap()["COMM"];
    for (TagLib::ID3v2::Frame* frame : comments) {
        const auto* comment = dynamic_cast<const TagLib::ID3v2::CommentsFrame*>(frame);
        if (comment == nullptr || comment->description().isEmpty()) {
            tag.removeFrame(frame);
        }
    }
    setText(tag, "TIT2", t.title, version);
    setText(tag, "TPE1", t.artist, version);
    setText(tag, "TALB", t.album, version);
    setText(tag, "TDRC", t.year, version); // TagLib writes it as TYER into a version 2.3 tag
    setText(tag, "TCON", t.genre, version);
    setText(tag, "TRCK", t.track, version);
    if (!t.comment.empty()) {
        auto* frame = new TagLib::ID3v2::CommentsFrame(encodingFor(t.comment, version));
        frame->setLanguage("eng");
        frame->setText(toTagLib(t.comment));
        tag.addFrame(frame);
    }
}

// Writes the record's frames into the ID3v2 tag of a file, keeping its other frames; a version 2.4 tag
// stays 2.4 (turning it into 2.3 would drop its 2.4-only frames), anything else becomes 2.3.
bool writeId3v2(const std::string& path, const VBMP3_TAG_INFO& record) {
    TagLib::MPEG::File file(path.c_str(), false);
    if (!file.isValid()) {
        return false;
    }
    const int version = file.hasID3v2Tag() && file.ID3v2Tag()->header()->majorVersion() == 4 ? 4 : 3;
    replaceTextFrames(*file.ID3v2Tag(true), textsOf(record, version), version);
    return file.save(TagLib::MPEG::File::ID3v2, TagLib::File::StripNone,
                     version == 4 ? TagLib::ID3v2::v4 : TagLib::ID3v2::v3, TagLib::File::DoNotDuplicate);
}

// Files without MPEG audio, or with tag headers that claim more than the file holds, are left alone:
// tag writers would cut away or mangle their contents.
bool writableMp3(const std::string& path, FileLayout& layout) {
    return readLayout(path, layout) && layout.audioEnd > layout.audioBegin && hasMpegAudio(path);
}

} // namespace

bool writeTag(const std::string& path, const VBMP3_TAG_INFO& tag) {
    FileLayout layout;
    if (!writableMp3(path, layout)) {
        return false;
    }
    Replacement copy(path);
    if (!copy.ok() || !copy.appendFrom(path, 0, layout.hasId3v1 ? layout.size - 128 : layout.size)) {
        return false;
    }
    // An all-empty record removes the ID3v1 tag rather than leaving a blank one behind.
    const TagTexts texts = textsOf(tag, 3);
    if (!texts.empty() && !copy.append(renderId3v1(texts))) {
        return false;
    }
    return copy.finishWriting() && writeId3v2(copy.path(), tag) && sameAudio(path, copy.path()) &&
           copy.commit();
}

bool copyId3v2(const std::string& from, const std::string& to) {
    std::string tag;
    FileLayout layout;
    if (!readId3v2Bytes(from, tag) || !writableMp3(to, layout)) {
        return false;
    }
    Replacement copy(to);
    return copy.ok() && copy.append(tag) && copy.appendFrom(to, layout.audioBegin, layout.size) &&
           copy.finishWriting() && sameAudio(to, copy.path()) && copy.commit();
}

} // namespace vbmp3
