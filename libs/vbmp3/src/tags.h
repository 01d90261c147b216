// ID3 tag reading and writing behind the tag operations of the library.
#pragma once

#include "vbmp3.h"

#include <string>

namespace vbmp3 {

// Name of genre 0..255 ("" where the list has none).
std::string genreName(int number);
// Genre number of a name (case-insensitive, common spellings accepted), or -1.
int genreNumber(const std::string& name);

// Fills the record from the file's ID3v2 tag, else its ID3v1 tag; false when it has neither.
bool readTag(const std::string& path, VBMP3_TAG_INFO& tag);

// Writes the record as ID3v1 and ID3v2 text frames through a verified copy of the file.
bool writeTag(const std::string& path, const VBMP3_TAG_INFO& tag);

// Replaces the ID3v2 tag of `to` by the one of `from`, byte for byte.
bool copyId3v2(const std::string& from, const std::string& to);

// True when the file holds MPEG audio libmpg123 can decode.
bool hasMpegAudio(const std::string& path);

} // namespace vbmp3
