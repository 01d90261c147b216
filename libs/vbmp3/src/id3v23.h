// Rewriting an ID3v2.2 or 2.4 tag as version 2.3, the newest version that car stereos and older players
// read, and the frame texts that conversion needs.
#pragma once

#include "id3v2.h"

#include <string>
#include <string_view>
#include <vector>

namespace vbmp3 {

// Converts the tag into version 2.3: 2.4 frames into their 2.3 forms (TDRC into TYER/TDAT/TIME, TDOR into
// TORY, TIPL and TMCL into IPLS, several values joined by "/"), 2.2 frames into their four-letter names,
// texts into ISO-8859-1 (ASCII) or UTF-16 with a BOM. Frames without a 2.3 form are dropped and their ids
// appended to `dropped`. A version 2.3 tag stays as it is.
void convertToId3v23(Id3v2Tag& tag, std::vector<std::string>& dropped);

// One NUL-terminated string of a frame, from `pos` on, in the frame's encoding; `pos` moves past its
// terminator (to the end when there is none).
std::string nextString(const std::string& content, std::size_t& pos, char encoding);

// The strings in one encoding chosen for all of them (ISO-8859-1 when every one is ASCII, else UTF-16 with
// a BOM), each followed by its terminator except the last when `terminateLast` is false. `encoding` gets
// the encoding byte.
std::string encodeStrings(const std::vector<std::string>& utf8, bool terminateLast, char& encoding);

} // namespace vbmp3
