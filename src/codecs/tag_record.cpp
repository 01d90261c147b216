#include "codecs/tag_layout.h"

#include <cstring>

namespace codecs {
namespace {

// A null text is a field nobody filled in: it stays all zero. Any other text, an empty one included, is
// text the program puts in, blank-padded.
template <std::size_t N> void putText(char (&field)[N], const QString& text) {
    if (text.isNull()) {
        return;
    }
    const QByteArray bytes = packText(text, static_cast<int>(N));
    std::memcpy(field, bytes.constData(), N);
}

template <std::size_t N> QString getText(const char (&field)[N]) {
    return unpackText(field, static_cast<int>(N));
}

// Both layouts share every field but the track number, at the same offsets.
template <typename Layout> void packCommon(const TagRecord& record, Layout& layout) {
    std::memset(&layout, 0, sizeof layout);
    putText(layout.title, record.title);
    putText(layout.artist, record.artist);
    putText(layout.album, record.album);
    putText(layout.year, record.year);
    putText(layout.comment, record.comment);
    layout.genre = record.genre;
    // The genre name goes to the library only when there is one: the tag editor leaves it all NUL.
    if (!record.genreName.isEmpty()) {
        putText(layout.genreName, record.genreName);
    }
}

template <typename Layout> TagRecord unpackCommon(const Layout& layout) {
    TagRecord record;
    record.title = getText(layout.title);
    record.artist = getText(layout.artist);
    record.album = getText(layout.album);
    record.year = getText(layout.year);
    record.comment = getText(layout.comment);
    record.genre = layout.genre;
    record.genreName = getText(layout.genreName);
    return record;
}

} // namespace

QByteArray packText(const QString& text, int fieldSize) {
    QByteArray bytes = text.toUtf8();
    if (bytes.size() > fieldSize) {
        // Step back over UTF-8 continuation bytes so the cut falls between characters.
        qsizetype cut = fieldSize;
        while (cut > 0 && (static_cast<unsigned char>(bytes[cut]) & 0xC0) == 0x80) {
            --cut;
        }
        bytes.truncate(cut);
    }
    return bytes.leftJustified(fieldSize, ' ');
}

QString unpackText(const char* field, int fieldSize) {
    const auto* end = static_cast<const char*>(std::memchr(field, '\0', static_cast<std::size_t>(fieldSize)));
    return QString::fromUtf8(field, end == nullptr ? fieldSize : end - field);
}

void packTagRecord(const TagRecord& record, VBMP3_TAG_INFO& layout) {
    packCommon(record, layout);
    layout.trackNo = record.trackNumber;
}

TagRecord unpackTagRecord(const VBMP3_TAG_INFO& layout) {
    TagRecord record = unpackCommon(layout);
    record.trackNumber = layout.trackNo;
    return record;
}

void packShortTagRecord(const TagRecord& record, VBMP3_SHORT_TAG_INFO& layout) {
    packCommon(record, layout);
}

TagRecord unpackShortTagRecord(const VBMP3_SHORT_TAG_INFO& layout) {
    return unpackCommon(layout);
}

InputInfo unpackInputInfo(const VBMP3_INPUT_INFO& layout) {
    InputInfo info;
    info.trackName = getText(layout.trackName);
    info.artistName = getText(layout.artistName);
    info.channels = layout.channels;
    info.bitRate = layout.bitRate;
    info.samplingRate = layout.samplingRate;
    info.totalLength = layout.totalLength;
    return info;
}

} // namespace codecs
