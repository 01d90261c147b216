#include "file_ops.h"
#include "mpeg_stream.h"
#include "rewrite_journal.h"
#include "tags.h"
#include "text_codec.h"

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <unistd.h>

namespace vbmp3 {
namespace {

// The record's values, with the blank padding a caller may have added removed.
struct Record {
    std::string title, artist, album, year, comment, genreName;
    int genre = -1; // 0..254; -1 (or 255) for none
    int track = -1; // 1.. ; -1 for none

    bool genreGiven() const { return genre >= 0 || !genreName.empty(); }
    bool empty() const {
        return title.empty() && artist.empty() && album.empty() && year.empty() && comment.empty() &&
               !genreGiven() && track < 0;
    }
};

Record recordOf(const VBMP3_TAG_INFO& tag) {
    Record r;
    r.title = fieldText(tag.title, sizeof tag.title);
    r.artist = fieldText(tag.artist, sizeof tag.artist);
    r.album = fieldText(tag.album, sizeof tag.album);
    r.year = fieldText(tag.year, sizeof tag.year);
    r.comment = fieldText(tag.comment, sizeof tag.comment);
    // 255 is ID3v1's "no genre"; a free genre name (read from an ID3v2 tag) counts when no number is set.
    r.genre = tag.genre >= 0 && tag.genre < 255 ? tag.genre : -1;
    r.genreName = r.genre < 0 ? fieldText(tag.genreName, sizeof tag.genreName) : genreName(r.genre);
    r.track = tag.trackNo >= 1 ? tag.trackNo : -1;
    return r;
}

std::string trimmed(std::string_view text) {
    while (!text.empty() && text.back() == ' ') {
        text.remove_suffix(1);
    }
    return std::string(text);
}

std::string firstCharacters(const std::string& utf8, std::size_t count) {
    std::size_t end = 0;
    for (std::size_t n = 0; end < utf8.size() && n < count; ++n) {
        do {
            ++end;
        } while (end < utf8.size() && (static_cast<unsigned char>(utf8[end]) & 0xC0) == 0x80);
    }
    return utf8.substr(0, end);
}

// Whether the record says what the tag says, allowing for the cuts on the way into the record: the
// field's 127 bytes, and the 30 characters the program's tag editor keeps.
bool sameText(const std::string& current, const std::string& record) {
    const std::string full = trimmed(current);
    return full == record || (!record.empty() && (trimmed(cutUtf8(full, 127)) == record ||
                                                  trimmed(firstCharacters(full, 30)) == record));
}

std::size_t findFrame(const Id3v2Tag& tag, const std::string& id) {
    for (std::size_t i = 0; i < tag.frames.size(); ++i) {
        if (tag.frames[i].id == id) {
            return i;
        }
    }
    return std::string::npos;
}

void removeFrames(Id3v2Tag& tag, const std::string& id, std::size_t keep = std::string::npos) {
    for (std::size_t i = tag.frames.size(); i-- > 0;) {
        if (tag.frames[i].id == id && i != keep) {
            tag.frames.erase(tag.frames.begin() + static_cast<std::ptrdiff_t>(i));
        }
    }
}

// Puts the content into the first frame of that name (where it stood) or a new one; drops the others.
void setFrame(Id3v2Tag& tag, const std::string& id, const std::string& content) {
    std::size_t at = findFrame(tag, id);
    if (at == std::string::npos) {
        tag.frames.push_back({id, {}, {}});
        at = tag.frames.size() - 1;
    }
    tag.frames[at].flags[1] = 0; // the new content is plain: no compression, grouping or unsynchronisation
    tag.frames[at].data = content;
    removeFrames(tag, id, at);
}

void setText(Id3v2Tag& tag, const char* id, const std::string& value) {
    const std::string name = frameIdFor(tag.version, id);
    if (value.empty()) {
        removeFrames(tag, name);
    } else if (!name.empty()) {
        setFrame(tag, name, textContent(value, tag.version));
    }
}

std::string genreText(const Record& r, int version) {
    if (r.genre < 0 || !r.genreName.empty()) {
        return r.genreName;
    }
    // Built piece by piece: GCC 12 warns falsely (-Wrestrict) about "(" + std::string in optimised builds.
    std::string text = std::to_string(r.genre);
    if (version != 4) {
        text.insert(text.begin(), '(');
        text.push_back(')');
    }
    return text;
}

std::string trackText(const Id3v2Tag& tag, int track) {
    // "5/12" becomes "7/12": the number of tracks is not the record's to change.
    const std::string old = tag.version == 0 ? std::string() : [&] {
        std::string content;
        const std::size_t at = findFrame(tag, frameIdFor(tag.version, "TRCK"));
        if (at == std::string::npos || !frameContent(tag, tag.frames[at], content)) {
            return std::string();
        }
        const std::vector<std::string> values = textValues(content);
        return values.empty() ? std::string() : values.front();
    }();
    const std::size_t slash = old.find('/');
    return std::to_string(track) + (slash == std::string::npos ? std::string() : old.substr(slash));
}

void setComment(Id3v2Tag& tag, int chosen, const std::string& text) {
    std::string language = "eng", description, content, oldText;
    if (chosen >= 0) {
        Id3v2Frame& frame = tag.frames[static_cast<std::size_t>(chosen)];
        frameContent(tag, frame, content);
        commentParts(content, language, description, oldText);
        if (text.empty()) {
            tag.frames.erase(tag.frames.begin() + chosen);
        } else {
            frame.flags[1] = 0;
            frame.data = commentContent(language, description, text, tag.version);
        }
    } else if (!text.empty()) {
        tag.frames.push_back(
            {frameIdFor(tag.version, "COMM"), {}, commentContent(language, "", text, tag.version)});
    }
}

// Sets in the ID3v2 tag the fields in which the record differs from `current`.
void applyFields(Id3v2Tag& tag, const Record& r, const TagValues& current) {
    int chosenComment = -1;
    id3v2Values(tag, &chosenComment);
    // The comment frame first: the indices of the others do not matter.
    if (!sameText(current.comment, r.comment)) {
        setComment(tag, chosenComment, r.comment);
    }
    if (!sameText(current.title, r.title)) {
        setText(tag, "TIT2", r.title);
    }
    if (!sameText(current.artist, r.artist)) {
        setText(tag, "TPE1", r.artist);
    }
    if (!sameText(current.album, r.album)) {
        setText(tag, "TALB", r.album);
    }
    if (!sameText(current.year, r.year)) {
        // The reader looks at TDRC, TYER, TDRL in turn: the year goes where it will be found first.
        if (r.year.empty()) {
            for (const char* id : {"TDRC", "TYER", "TDRL"}) {
                setText(tag, id, "");
            }
        } else if (tag.version == 4) {
            setText(tag, "TDRC", r.year);
        } else {
            setText(tag, "TDRC", "");
            setText(tag, "TYER", r.year);
        }
    }
    if (r.genreGiven()) {
        if (!(r.genre >= 0 ? current.genre == r.genre : sameText(current.genreName, r.genreName))) {
            setText(tag, "TCON", genreText(r, tag.version));
        }
    } else if (current.genre >= 0) {
        setText(tag, "TCON", ""); // no genre for a file that had one of the list: the genre is cleared
    }
    if (current.track != r.track) {
        setText(tag, "TRCK", r.track >= 1 ? trackText(tag, r.track) : std::string());
    }
}

// Changes in the ID3v2 tag exactly the fields in which the record differs from what the file says; false
// when nothing changes. A tag the change creates holds every field the record has, so that readers that
// look at ID3v2 only still see the values kept in the ID3v1 tag.
bool applyRecord(Id3v2Tag& tag, const Record& r, const TagValues& current) {
    const Id3v2Tag before = tag;
    if (tag.version == 0) {
        tag.version = 3;
    }
    applyFields(tag, r, current);
    const bool changed = tag.frames.size() != before.frames.size() || [&] {
        for (std::size_t i = 0; i < tag.frames.size(); ++i) {
            if (tag.frames[i].id != before.frames[i].id || tag.frames[i].data != before.frames[i].data) {
                return true;
            }
        }
        return false;
    }();
    if (!changed) {
        tag = before;
    } else if (before.version == 0) {
        applyFields(tag, r, TagValues{});
    }
    return changed;
}

std::string renderId3v1(const Record& r) {
    std::string v1(128, '\0');
    v1.replace(0, 3, "TAG");
    const auto put = [&v1](std::size_t offset, std::size_t size, const std::string& text) {
        const std::string bytes = utf8ToId3v1(text, size);
        v1.replace(offset, bytes.size(), bytes);
    };
    put(3, 30, r.title);
    put(33, 30, r.artist);
    put(63, 30, r.album);
    put(93, 4, r.year);
    const bool v11 = r.track >= 1 && r.track <= 255;
    put(97, v11 ? 28 : 30, r.comment);
    if (v11) {
        v1[126] = static_cast<char>(r.track);
    }
    v1[127] = static_cast<char>(r.genre >= 0 ? r.genre : 255);
    return v1;
}

// The record's ID3v1 tag, keeping the old tag's bytes for every field whose text stays the same.
std::string mergeId3v1(const Record& r, const unsigned char* old, const TagValues& current) {
    std::string v1 = renderId3v1(r);
    if (old == nullptr) {
        return v1;
    }
    const bool oldV11 = old[125] == 0 && old[126] != 0, newV11 = v1[125] == 0 && v1[126] != 0;
    const std::size_t commentSize = newV11 ? 28 : 30;
    for (const auto& [offset, size] : {std::pair<std::size_t, std::size_t>{3, 30},
                                       {33, 30},
                                       {63, 30},
                                       {93, 4},
                                       {97, oldV11 == newV11 ? commentSize : 0}}) {
        const auto* was = reinterpret_cast<const char*>(old + offset);
        if (size > 0 && fieldText(was, size) == fieldText(v1.data() + offset, size)) {
            v1.replace(offset, size, was, size);
        }
    }
    if (!r.genreGiven() && current.genre < 0) {
        v1[127] = static_cast<char>(old[127]); // no genre given for a file without a listed one: it stays
    }
    return v1;
}

std::string resolved(const std::string& path) {
    char* real = ::realpath(path.c_str(), nullptr);
    if (real == nullptr) {
        return path;
    }
    std::string result(real);
    std::free(real);
    return result;
}

// A file without MPEG audio, or with tag headers that claim more than the file holds, is left alone:
// a tag write would cut away or mangle its contents.
bool writableMp3(const std::string& path, FileLayout& layout, MpegStream& stream) {
    return readLayout(path, layout) && layout.audioEnd > layout.audioBegin && scanMpegStream(path, stream);
}

thread_local int tagError = VBMP3_TAG_OK;

bool failWith(int reason) {
    tagError = reason;
    return false;
}

int errnoReason(int error) {
    return error == ENOSPC || error == EDQUOT || error == EFBIG ? VBMP3_TAG_DISK_FULL
                                                                : VBMP3_TAG_NOT_WRITABLE;
}

// A WAV (RIFF) file's header at that offset.
bool riffAt(const std::string& path, std::uint64_t offset) {
    FILE* f = std::fopen(path.c_str(), "rb");
    char head[12] = {};
    const bool read = f != nullptr && std::fseek(f, static_cast<long>(offset), SEEK_SET) == 0 &&
                      std::fread(head, 1, sizeof head, f) == sizeof head;
    if (f != nullptr) {
        std::fclose(f);
    }
    return read && std::memcmp(head, "RIFF", 4) == 0 && std::memcmp(head + 8, "WAVE", 4) == 0;
}

bool trustworthyId3v2(const std::string& path) {
    std::string bytes;
    return readId3v2Bytes(path, bytes) && parseId3v2(bytes).trusted;
}

// The description and value of a user text frame (TXXX); false for a frame that cannot be read.
bool userTextParts(const Id3v2Tag& tag, const Id3v2Frame& frame, std::string& description,
                   std::string& value) {
    std::string content;
    if (frame.id != (tag.version == 2 ? "TXX" : "TXXX") || !frameContent(tag, frame, content)) {
        return false;
    }
    const std::vector<std::string> values = textValues(content);
    description = values.empty() ? std::string() : values[0];
    value = values.size() < 2 ? std::string() : values[1];
    return true;
}

// A TXXX frame's content: laid out as a comment frame's without the language.
std::string userTextContent(const std::string& description, const std::string& value, int version) {
    const std::string comment = commentContent("eng", description, value, version);
    return comment.substr(0, 1) + comment.substr(4);
}

} // namespace

int lastTagError() {
    return tagError;
}

bool readUserText(const std::string& path, const std::string& description, std::string& value) {
    std::string bytes;
    if (!readId3v2Bytes(path, bytes)) {
        return false;
    }
    const Id3v2Tag tag = parseId3v2(bytes);
    for (const Id3v2Frame& frame : tag.frames) {
        std::string name;
        if (userTextParts(tag, frame, name, value) && name == description) {
            return true;
        }
    }
    value.clear();
    return false;
}

bool writeUserText(const std::string& file, const std::string& description, const std::string& value) {
    const std::string path = resolved(file);
    std::string oldV2;
    if (!readyToWrite(path) || !readId3v2Bytes(path, oldV2)) {
        return false;
    }
    Id3v2Tag v2 = parseId3v2(oldV2);
    if (!v2.trusted) {
        return false;
    }
    if (v2.version == 0) {
        v2.version = 3;
    }
    const Id3v2Frame frame{
        v2.version == 2 ? "TXX" : "TXXX", {}, userTextContent(description, value, v2.version)};
    std::size_t at = std::string::npos;
    std::size_t found = 0;
    bool same = false;
    for (std::size_t i = v2.frames.size(); i-- > 0;) {
        std::string name, old;
        if (userTextParts(v2, v2.frames[i], name, old) && name == description) {
            same = old == value;
            ++found;
            v2.frames.erase(v2.frames.begin() + static_cast<std::ptrdiff_t>(i));
            at = i;
        }
    }
    // Nothing to change: the tag is not even re-rendered, so its bytes stay as they are.
    if ((found == 0 && value.empty()) || (found == 1 && same)) {
        return true;
    }
    if (!value.empty()) {
        const auto where =
            at == std::string::npos ? v2.frames.end() : v2.frames.begin() + static_cast<std::ptrdiff_t>(at);
        v2.frames.insert(where, frame);
    }
    const std::string newV2 = renderId3v2(v2, v2.size);
    FileLayout layout;
    MpegStream stream;
    if (!writableMp3(path, layout, stream)) {
        return false;
    }
    Replacement copy(path);
    return copy.ok() && copy.append(newV2) && copy.appendFrom(path, layout.audioBegin, layout.size) &&
           copy.finishWriting() && trustworthyId3v2(copy.path()) && sameDecodedAudio(path, copy.path()) &&
           copy.commit();
}

bool writeTag(const std::string& file, const VBMP3_TAG_INFO& tag) {
    const std::string path = resolved(file);
    tagError = VBMP3_TAG_OK;
    if (::access(path.c_str(), R_OK) != 0) {
        return failWith(VBMP3_TAG_MISSING);
    }
    // A file whose earlier rewrite could not be finished holds parts of two versions: a tag written over
    // it would keep them.
    if (!readyToWrite(path)) {
        return failWith(VBMP3_TAG_UNSAFE);
    }
    FileLayout layout;
    MpegStream stream;
    std::string oldV2;
    if (!writableMp3(path, layout, stream) || !readId3v2Bytes(path, oldV2)) {
        return failWith(VBMP3_TAG_UNSAFE);
    }
    // Readers of a WAV file look for its tag in a chunk of its own: a tag before "RIFF" nobody would see.
    if (riffAt(path, 0) || riffAt(path, layout.audioBegin)) {
        return failWith(VBMP3_TAG_RIFF);
    }
    Id3v2Tag v2 = parseId3v2(oldV2);
    // A tag that could not be read to its end would lose the frames beyond that point.
    if (!v2.trusted) {
        return failWith(VBMP3_TAG_UNSAFE);
    }
    unsigned char oldV1[128];
    const bool hadV1 = readId3v1Bytes(path, oldV1);
    std::string leading;
    const TagValues current =
        mergedValues(id3v2Values(readLeadingId3v2(path, leading) ? parseId3v2(leading) : v2),
                     hadV1 ? id3v1Values(oldV1) : TagValues{});
    const Record record = recordOf(tag);

    const std::string newV2 = applyRecord(v2, record, current) ? renderId3v2(v2, v2.size) : oldV2;
    // An all-empty record removes the ID3v1 tag rather than leaving a blank one behind.
    const std::string newV1 =
        record.empty() ? std::string() : mergeId3v1(record, hadV1 ? oldV1 : nullptr, current);
    const std::uint64_t audioEnd = hadV1 ? layout.size - 128 : layout.size;
    // A last frame cut short would take a following ID3v1 tag for its missing bytes: it is completed with
    // zero bytes, which decoders that play a cut frame (padding it with silence) hear the same way.
    const bool complete = !newV1.empty() && stream.cutFrame > layout.audioBegin &&
                          layout.audioEnd == audioEnd && stream.cutFrame + stream.cutHeld == audioEnd;
    const std::string completion =
        complete ? std::string(static_cast<std::size_t>(stream.cutLength - stream.cutHeld), '\0')
                 : std::string();
    const std::string oldTail =
        hadV1 ? std::string(reinterpret_cast<const char*>(oldV1), 128) : std::string();
    if (newV2 == oldV2 && newV1 == oldTail && completion.empty()) {
        return true; // nothing to change
    }
    Replacement copy(path);
    if (!copy.ok() || !copy.append(newV2) || !copy.appendFrom(path, layout.audioBegin, audioEnd) ||
        !copy.append(completion) || !copy.append(newV1) || !copy.finishWriting()) {
        return failWith(errnoReason(copy.error()));
    }
    if (!trustworthyId3v2(copy.path()) || !sameDecodedAudio(path, copy.path(), complete)) {
        return failWith(VBMP3_TAG_UNSAFE);
    }
    return copy.commit() || failWith(errnoReason(copy.error()));
}

bool copyId3v2(const std::string& from, const std::string& toFile) {
    const std::string to = resolved(toFile);
    tagError = VBMP3_TAG_OK;
    std::string tag;
    FileLayout layout;
    MpegStream stream;
    if (::access(from.c_str(), R_OK) != 0 || ::access(to.c_str(), R_OK) != 0) {
        return failWith(VBMP3_TAG_MISSING);
    }
    if (!readyToRead(from) || !readyToWrite(to)) {
        return failWith(VBMP3_TAG_UNSAFE);
    }
    if (!readLeadingId3v2(from, tag) || !writableMp3(to, layout, stream)) {
        return failWith(VBMP3_TAG_UNSAFE);
    }
    Replacement copy(to);
    if (!copy.ok() || !copy.append(tag) || !copy.appendFrom(to, layout.audioBegin, layout.size) ||
        !copy.finishWriting()) {
        return failWith(errnoReason(copy.error()));
    }
    if (!sameDecodedAudio(to, copy.path())) {
        return failWith(VBMP3_TAG_UNSAFE);
    }
    return copy.commit() || failWith(errnoReason(copy.error()));
}

} // namespace vbmp3
