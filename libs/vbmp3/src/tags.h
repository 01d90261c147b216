// ID3 tag reading and writing behind the tag operations of the library.
#pragma once

#include "id3v2.h"
#include "vbmp3.h"

#include <string>

namespace vbmp3 {

// Name of genre 0..255 ("" where the list has none).
std::string genreName(int number);
// Genre number of a name (case, blanks and hyphens ignored: "J-Pop" is "JPop"), or -1.
int genreNumber(const std::string& name);

// A file's tag values as a reader sees them, texts at full length (UTF-8).
struct TagValues {
    std::string title, artist, album, year, comment, genreName;
    int genre = -1; // -1: no genre, or a name outside the list
    int track = -1; // -1: none
    bool found = false;
};

// Values of an ID3v2 tag alone. `commentFrame` is the index of the frame the comment comes from (-1).
TagValues id3v2Values(const Id3v2Tag& tag, int* commentFrame = nullptr);
// Values of an ID3v1 tag's 128 bytes.
TagValues id3v1Values(const unsigned char* v1);
// Each field from the ID3v2 tag when it has it, else from the ID3v1 tag.
TagValues mergedValues(const TagValues& v2, const TagValues& v1);

// The ID3v2 tag at the start of a file, with the frames of a second tag right behind it (a tagger that
// prepended a new tag to an old one) that the first lacks: the first tag's frame wins.
bool readLeadingId3v2(const std::string& path, std::string& bytes);

// Why the last tag write of the calling thread failed (a VBMP3_TAG_ code).
int lastTagError();

// Empty texts, genre -1, track -1: the record of a file without tags.
void clearTag(VBMP3_TAG_INFO& tag);

// Fills the record from the file's tags; false when it has neither.
bool readTag(const std::string& path, VBMP3_TAG_INFO& tag);

// Writes the record as ID3v1 and ID3v2 text frames through a verified copy of the file.
bool writeTag(const std::string& path, const VBMP3_TAG_INFO& tag);

// Replaces the ID3v2 tag of `to` by the one of `from`, byte for byte.
bool copyId3v2(const std::string& from, const std::string& to);

// The value of the TXXX frame with that description; false when the file's ID3v2 tag has none.
bool readUserText(const std::string& path, const std::string& description, std::string& value);
// Sets (or, with an empty value, removes) the TXXX frames with that description.
bool writeUserText(const std::string& path, const std::string& description, const std::string& value);

} // namespace vbmp3
