// The tag that tst_tagcrash's writer puts into a file, shared by the writer and the test.
#pragma once

#include "vbmp3.h"

#include <algorithm>
#include <cstring>

namespace tagcrash {

constexpr const char* kTitle = "新しい題名";
constexpr const char* kArtist = "New Artist";
constexpr const char* kAlbum = "New Album";
constexpr const char* kYear = "2024";
constexpr int kGenre = 13;
constexpr int kTrack = 4;

template <std::size_t N> void put(char (&field)[N], const char* text) {
    std::memcpy(field, text, std::min(std::strlen(text), N - 1));
}

inline VBMP3_TAG_INFO record() {
    VBMP3_TAG_INFO tag;
    std::memset(&tag, 0, sizeof tag);
    put(tag.title, kTitle);
    put(tag.artist, kArtist);
    put(tag.album, kAlbum);
    put(tag.year, kYear);
    tag.genre = kGenre;
    tag.trackNo = kTrack;
    return tag;
}

} // namespace tagcrash
