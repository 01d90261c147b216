// vbmp3_reworkTagV2: the changes the command line makes to an output's ID3v2 tag (version 2.3, pictures a
// car stereo can show, ReplayGain frames that no longer describe the audio, frames of its own).
#include "file_ops.h"
#include "id3v23.h"
#include "mpeg_stream.h"
#include "rewrite_journal.h"
#include "tags.h"
#include "vbmp3.h"

#include <algorithm>
#include <cstring>

namespace vbmp3 {
namespace {

bool startsWithNoCase(const std::string& text, const char* prefix) {
    const std::size_t n = std::strlen(prefix);
    if (text.size() < n) {
        return false;
    }
    for (std::size_t i = 0; i < n; ++i) {
        const char c = text[i];
        if ((c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c) != prefix[i]) {
            return false;
        }
    }
    return true;
}

bool userTextFrame(const Id3v2Tag& tag, const Id3v2Frame& frame) {
    return frame.id == (tag.version == 2 ? "TXX" : "TXXX");
}

// The description of a TXXX frame ("" when it cannot be read).
std::string userTextName(const Id3v2Tag& tag, const Id3v2Frame& frame) {
    std::string content;
    if (!frameContent(tag, frame, content) || content.empty()) {
        return {};
    }
    std::size_t pos = 1;
    return nextString(content, pos, content[0]);
}

std::string upper(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(),
                   [](char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c; });
    return text;
}

void dropReplayGain(Id3v2Tag& tag) {
    std::erase_if(tag.frames, [&](const Id3v2Frame& frame) {
        return frame.id == "RVA2" ||
               (userTextFrame(tag, frame) && startsWithNoCase(userTextName(tag, frame), "REPLAYGAIN_"));
    });
}

// Sets TXXX frames from "NAME\0VALUE\0...\0" pairs, each replacing the frames of the same name.
void setUserTexts(Id3v2Tag& tag, const char* pairs) {
    while (pairs != nullptr && *pairs != '\0') {
        const std::string name = pairs;
        pairs += name.size() + 1;
        const std::string value = pairs;
        pairs += value.size() + 1;
        std::erase_if(tag.frames, [&](const Id3v2Frame& frame) {
            return userTextFrame(tag, frame) && upper(userTextName(tag, frame)) == upper(name);
        });
        char encoding = 0;
        const std::string bytes = encodeStrings({name, value}, false, encoding);
        tag.frames.push_back({tag.version == 2 ? "TXX" : "TXXX", {}, encoding + bytes});
    }
}

// Offers the picture of every APIC frame to the caller's fitter; a replacement is a JPEG.
void fitPictures(Id3v2Tag& tag, const VBMP3_TAG_REWORK& rework) {
    if (rework.fitPicture == nullptr || tag.version == 2) {
        return; // 2.2 pictures (PIC) are fitted once the tag is converted to 2.3
    }
    for (Id3v2Frame& frame : tag.frames) {
        std::string content;
        if (frame.id != "APIC" || !frameContent(tag, frame, content) || content.empty()) {
            continue;
        }
        const std::size_t mimeEnd = content.find('\0', 1);
        if (mimeEnd == std::string::npos || mimeEnd + 1 >= content.size()) {
            continue;
        }
        std::size_t pos = mimeEnd + 2; // past the MIME type and the picture type
        nextString(content, pos, content[0]);
        const auto* data = reinterpret_cast<const unsigned char*>(content.data() + pos);
        const unsigned char* jpeg = nullptr;
        std::size_t jpegSize = 0;
        if (rework.fitPicture(rework.context, data, content.size() - pos, &jpeg, &jpegSize) == 0 ||
            jpeg == nullptr) {
            continue;
        }
        const std::string head =
            content.substr(0, 1) + "image/jpeg" + '\0' + content.substr(mimeEnd + 1, pos - mimeEnd - 1);
        frame.data = head + std::string(reinterpret_cast<const char*>(jpeg), jpegSize);
        frame.flags[1] = 0; // stored plain
    }
}

// A tag for a file that has none, holding the fields of its ID3v1 tag, so that players that prefer the
// ID3v2 tag find the same texts there.
Id3v2Tag tagFromId3v1(const std::string& path) {
    Id3v2Tag tag;
    tag.version = 3;
    unsigned char v1[128];
    if (!readId3v1Bytes(path, v1)) {
        return tag;
    }
    const TagValues values = id3v1Values(v1);
    const std::pair<const char*, std::string> texts[] = {
        {"TIT2", values.title},
        {"TPE1", values.artist},
        {"TALB", values.album},
        {"TYER", values.year},
        {"TCON", values.genre >= 0 ? "(" + std::to_string(values.genre) + ")" : std::string()},
        {"TRCK", values.track >= 1 ? std::to_string(values.track) : std::string()}};
    for (const auto& [id, text] : texts) {
        if (!text.empty()) {
            tag.frames.push_back({id, {}, textContent(text, 3)});
        }
    }
    if (!values.comment.empty()) {
        tag.frames.push_back({"COMM", {}, commentContent("eng", "", values.comment, 3)});
    }
    return tag;
}

bool rework(const std::string& path, const VBMP3_TAG_REWORK& options, std::vector<std::string>& dropped) {
    FileLayout layout;
    MpegStream stream;
    std::string oldBytes;
    if (!readyToWrite(path) || !readLayout(path, layout) || layout.audioEnd <= layout.audioBegin ||
        !scanMpegStream(path, stream) || !readId3v2Bytes(path, oldBytes)) {
        return false;
    }
    Id3v2Tag tag = parseId3v2(oldBytes);
    if (!tag.trusted) {
        return false; // frames past the damage would be lost
    }
    const bool setsFrames = options.userTexts != nullptr && *options.userTexts != '\0';
    if (tag.version == 0) {
        if (!setsFrames) {
            return true; // nothing to convert, nothing to add
        }
        tag = tagFromId3v1(path);
    }
    const Id3v2Tag before = tag;
    if (options.version == 3) {
        convertToId3v23(tag, dropped);
    }
    if (options.dropReplayGain != 0) {
        dropReplayGain(tag);
    }
    setUserTexts(tag, options.userTexts);
    fitPictures(tag, options);
    const bool same =
        tag.version == before.version && tag.frames.size() == before.frames.size() &&
        std::equal(tag.frames.begin(), tag.frames.end(), before.frames.begin(),
                   [](const Id3v2Frame& a, const Id3v2Frame& b) {
                       return a.id == b.id && a.data == b.data && std::memcmp(a.flags, b.flags, 2) == 0;
                   });
    if (same) {
        return true; // the tag stays byte for byte, padding included
    }
    // A little padding, so that a later tag edit need not rewrite the file; not the old size, which may
    // have held a picture many times the size of the fitted one.
    const std::string newBytes = renderId3v2(tag, renderId3v2(tag, 0).size() + 1024);
    Replacement copy(path);
    return copy.ok() && copy.append(newBytes) && copy.appendFrom(path, layout.audioBegin, layout.size) &&
           copy.finishWriting() && sameDecodedAudio(path, copy.path()) && copy.commit();
}

} // namespace
} // namespace vbmp3

extern "C" int16_t vbmp3_reworkTagV2(const char* fileName, const VBMP3_TAG_REWORK* rework, char* notes,
                                     int32_t notesSize) {
    if (notes != nullptr && notesSize > 0) {
        notes[0] = '\0';
    }
    if (fileName == nullptr || rework == nullptr) {
        return 0;
    }
    std::vector<std::string> dropped;
    const bool done = vbmp3::rework(fileName, *rework, dropped);
    std::string list;
    for (const std::string& id : dropped) {
        list += (list.empty() ? "" : " ") + id;
    }
    if (notes != nullptr && notesSize > 0) {
        const std::size_t n = std::min(list.size(), static_cast<std::size_t>(notesSize - 1));
        std::memcpy(notes, list.data(), n);
        notes[n] = '\0';
    }
    return done ? 1 : 0;
}
