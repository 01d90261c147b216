// Text conversions between the library's UTF-8 and the byte encodings found in ID3 tags.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace vbmp3 {

bool isValidUtf8(std::string_view bytes);

// Bytes of unknown legacy encoding (ID3v1 fields, ID3v2 frames marked ISO-8859-1) as UTF-8: kept when they
// are valid UTF-8, else read as CP932 when they are valid CP932 that looks like Japanese text (Japanese
// Windows software wrote it so), else as Latin-1, which accepts any byte.
std::string legacyToUtf8(std::string_view bytes);

// UTF-8 text as an ID3v1 field: CP932 when every character has a CP932 form, else Latin-1 when every
// character has a Latin-1 form, else CP932 with '?' for the characters it lacks. At most maxBytes bytes,
// never splitting a double-byte character.
std::string utf8ToId3v1(std::string_view utf8, std::size_t maxBytes);

// Longest prefix of UTF-8 text that fits in maxBytes without splitting a character.
std::string_view cutUtf8(std::string_view utf8, std::size_t maxBytes);

// Text of a record field: up to the first NUL or the field's end, trailing blanks removed, made UTF-8.
std::string fieldText(const char* field, std::size_t size);

// Writes UTF-8 text into a record field, NUL-terminated and zero-filled, cut to fit.
void putField(char* field, std::size_t size, std::string_view utf8);

} // namespace vbmp3
