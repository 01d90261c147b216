// ID3v2 tags (versions 2.2, 2.3, 2.4) as lists of frames kept byte for byte, so that a write changes
// only the frames it means to change and keeps the tag's version.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace vbmp3 {

struct Id3v2Frame {
    std::string id;          // "TIT2" (three letters in version 2.2)
    std::uint8_t flags[2]{}; // status and format flags (versions 2.3, 2.4)
    std::string data; // the frame's bytes after its header, as stored (tag-level unsynchronisation undone)
};

struct Id3v2Tag {
    int version = 0; // 2, 3 or 4; 0 when the file has no tag
    std::uint8_t flags = 0;
    std::vector<Id3v2Frame> frames;
    std::uint64_t size = 0; // bytes the tag takes in the file, header and footer included
    bool trusted = true;    // every byte up to the padding was understood
};

// The name of a version 2.3/2.4 frame in a tag of `version` (three letters in 2.2; "" where 2.2 has none).
const char* frameIdFor(int version, const char* id);

// Parses the whole tag as it lies at the start of a file (`bytes` may be empty: no tag).
Id3v2Tag parseId3v2(const std::string& bytes);

// The tag's bytes, padded with zeros to at least `minimumSize` bytes. The extended header and the
// tag-level unsynchronisation are not written: the frames are stored plain.
std::string renderId3v2(const Id3v2Tag& tag, std::uint64_t minimumSize);

// A frame's content with per-frame unsynchronisation, grouping and data length undone; false for a
// compressed or encrypted frame.
bool frameContent(const Id3v2Tag& tag, const Id3v2Frame& frame, std::string& content);

// The values of a text frame (several in version 2.4, separated by NULs) as UTF-8.
std::vector<std::string> textValues(const std::string& content);
// A comment frame's language, description and text (UTF-8).
bool commentParts(const std::string& content, std::string& language, std::string& description,
                  std::string& text);

// Valid UTF-8 as UTF-16LE with a byte-order mark.
std::string utf8ToUtf16(const std::string& utf8);
// Frame contents for new frames: ISO-8859-1 for ASCII text, else UTF-8 (2.4) or UTF-16 (2.2, 2.3).
std::string textContent(const std::string& utf8, int version);
std::string commentContent(const std::string& language, const std::string& description,
                           const std::string& utf8, int version);

} // namespace vbmp3
