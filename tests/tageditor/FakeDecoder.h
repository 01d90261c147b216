// A stand-in for the decoder library's tag operations, installed into the bindings for the life of a
// FakeDecoder: it names genres, hands out a prepared tag and records every tag written, byte for byte.
#pragma once

#include "codecs/functions.h"

#include <QByteArray>
#include <QList>
#include <cstring>

struct WrittenTag {
    QByteArray path;
    VBMP3_TAG_INFO record;
    int optionA;
    int optionB;
};

class FakeDecoder {
  public:
    // Installs the fake tag operations; everything else the library offers is missing. Without
    // getGenre or setTagInfoEX the bindings act as for a library lacking that operation.
    explicit FakeDecoder(bool withGenres = true, bool withWrite = true);
    ~FakeDecoder();
    FakeDecoder(const FakeDecoder&) = delete;
    FakeDecoder& operator=(const FakeDecoder&) = delete;

    // What vbmp3_getFileTagInfoEX hands back and returns.
    static VBMP3_TAG_INFO tag;
    static bool tagFound;
    // Genre n is named "Name n" except those listed here as nameless.
    static QList<int> namelessGenres;

    static int genreCalls;
    static QList<QByteArray> readPaths;
    static QList<WrittenTag> written;
    // What vbmp3_setTagInfoEX returns (1: written).
    static int16_t writeResult;

    template <std::size_t N> static void put(char (&field)[N], const char* text) {
        std::memset(field, 0, N);
        std::memcpy(field, text, std::min(std::strlen(text), N));
    }
};
