// The program's side of the records exchanged with the decoder library. Their byte layouts, which need
// the library's header, are in tag_layout.h, for the bindings alone.
#pragma once

#include <QByteArray>
#include <QString>

namespace codecs {

// An ID3 tag. A default-constructed record corresponds to the all-zero byte layout.
struct TagRecord {
    QString title;       // 128 bytes
    QString artist;      // 128 bytes
    QString album;       // 128 bytes
    QString year;        // 5 bytes
    QString comment;     // 128 bytes
    int genre = 0;       // 0..255; -1 for none
    QString genreName;   // 128 bytes
    int trackNumber = 0; // -1 for a version 1.0 tag without a track number

    bool operator==(const TagRecord&) const = default;
};

// What vbmp3_open reports; the program reads only totalLength.
struct InputInfo {
    QString trackName;
    QString artistName;
    int channels = 0;
    int bitRate = 0;
    int samplingRate = 0;
    int totalLength = 0; // in the unit of the position vbmp3_getState reports
};

// Text the program puts into a field: UTF-8, cut to the field's size without splitting a character and
// padded with blanks to it, so the field holds no NUL.
QByteArray packText(const QString& text, int fieldSize);
// Text of a field the library filled: up to the first NUL (or the whole field), as UTF-8. Not trimmed.
QString unpackText(const char* field, int fieldSize);

} // namespace codecs
