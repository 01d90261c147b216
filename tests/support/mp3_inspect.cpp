// The reading half of the fixtures: MPEG frame headers, tag boundaries, ID3v2 frames, WAV headers.
#include "mp3_fixtures.h"

#include <QFile>

namespace fixtures {
namespace {

int byteAt(const QByteArray& b, qsizetype i) {
    return static_cast<unsigned char>(b.at(i));
}

quint32 le32(const QByteArray& b, qsizetype at) {
    return byteAt(b, at) | (byteAt(b, at + 1) << 8) | (byteAt(b, at + 2) << 16) |
           (static_cast<quint32>(byteAt(b, at + 3)) << 24);
}

quint32 le16(const QByteArray& b, qsizetype at) {
    return byteAt(b, at) | (byteAt(b, at + 1) << 8);
}

quint32 synchsafeAt(const QByteArray& b, qsizetype at) {
    return (byteAt(b, at) << 21) | (byteAt(b, at + 1) << 14) | (byteAt(b, at + 2) << 7) | byteAt(b, at + 3);
}

quint32 bigEndianAt(const QByteArray& b, qsizetype at) {
    return (static_cast<quint32>(byteAt(b, at)) << 24) | (byteAt(b, at + 1) << 16) |
           (byteAt(b, at + 2) << 8) | byteAt(b, at + 3);
}

// Bit-rate tables by [MPEG-1?][layer - 1][index].
constexpr int kBitRates[2][3][15] = {{{0, 32, 48, 56, 64, 80, 96, 112, 128, 144, 160, 176, 192, 224, 256},
                                      {0, 8, 16, 24, 32, 40, 48, 56, 64, 80, 96, 112, 128, 144, 160},
                                      {0, 8, 16, 24, 32, 40, 48, 56, 64, 80, 96, 112, 128, 144, 160}},
                                     {{0, 32, 64, 96, 128, 160, 192, 224, 256, 288, 320, 352, 384, 416, 448},
                                      {0, 32, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320, 384},
                                      {0, 32, 40, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320}}};
constexpr int kSampleRates[3] = {44100, 48000, 32000};

} // namespace

std::optional<FrameHeader> parseFrameHeader(const QByteArray& bytes, qsizetype offset) {
    if (offset < 0 || offset + 4 > bytes.size() || byteAt(bytes, offset) != 0xFF ||
        (byteAt(bytes, offset + 1) & 0xE0) != 0xE0) {
        return std::nullopt;
    }
    const int b1 = byteAt(bytes, offset + 1), b2 = byteAt(bytes, offset + 2), b3 = byteAt(bytes, offset + 3);
    const int versionBits = (b1 >> 3) & 3, layerBits = (b1 >> 1) & 3;
    const int rateIndex = b2 >> 4, srIndex = (b2 >> 2) & 3;
    if (versionBits == 1 || layerBits == 0 || rateIndex == 0 || rateIndex == 15 || srIndex == 3) {
        return std::nullopt;
    }
    FrameHeader h;
    h.version = versionBits == 3 ? 1 : versionBits == 2 ? 2 : 25;
    h.layer = 4 - layerBits;
    h.bitRate = kBitRates[h.version == 1 ? 1 : 0][h.layer - 1][rateIndex];
    h.sampleRate = kSampleRates[srIndex] / (h.version == 1 ? 1 : h.version == 2 ? 2 : 4);
    h.mode = b3 >> 6;
    const int padding = (b2 >> 1) & 1;
    if (h.layer == 1) {
        h.length = (12 * h.bitRate * 1000 / h.sampleRate + padding) * 4;
    } else {
        const int factor = (h.layer == 3 && h.version != 1) ? 72 : 144;
        h.length = factor * h.bitRate * 1000 / h.sampleRate + padding;
    }
    return h;
}

std::optional<QList<FrameHeader>> scanFrames(const QByteArray& file) {
    QList<FrameHeader> frames;
    const qsizetype end = file.size() - (hasId3v1(file) ? 128 : 0);
    for (qsizetype at = id3v2Length(file); at < end;) {
        const auto header = parseFrameHeader(file, at);
        if (!header || at + header->length > end) {
            return std::nullopt;
        }
        frames.append(*header);
        at += header->length;
    }
    return frames;
}

qsizetype id3v2Length(const QByteArray& file) {
    if (file.size() < 10 || !file.startsWith("ID3")) {
        return 0;
    }
    qsizetype length = 10 + synchsafeAt(file, 6);
    if (byteAt(file, 3) == 4 && (byteAt(file, 5) & 0x10) != 0) {
        length += 10;
    }
    return length;
}

bool hasId3v1(const QByteArray& file) {
    return file.size() >= 128 && file.mid(file.size() - 128, 3) == "TAG";
}

QByteArray audioPart(const QByteArray& file) {
    const qsizetype begin = id3v2Length(file);
    return file.mid(begin, file.size() - begin - (hasId3v1(file) ? 128 : 0));
}

int id3v2Version(const QByteArray& file) {
    return file.startsWith("ID3") && file.size() >= 10 ? byteAt(file, 3) : 0;
}

QList<RawFrame> id3v2Frames(const QByteArray& file) {
    QList<RawFrame> frames;
    const int version = id3v2Version(file);
    if (version != 3 && version != 4) {
        return frames;
    }
    const qsizetype end = std::min<qsizetype>(id3v2Length(file), file.size());
    for (qsizetype at = 10; at + 10 <= end && file.at(at) != '\0';) {
        const qsizetype size = version == 4 ? synchsafeAt(file, at + 4) : bigEndianAt(file, at + 4);
        if (at + 10 + size > end) {
            break;
        }
        frames.append({file.mid(at, 4), file.mid(at + 10, size)});
        at += 10 + size;
    }
    return frames;
}

std::optional<WavHeader> readWavHeader(const QByteArray& wav) {
    if (wav.size() < 12 || !wav.startsWith("RIFF") || wav.mid(8, 4) != "WAVE") {
        return std::nullopt;
    }
    WavHeader h;
    h.riffSize = le32(wav, 4);
    for (qsizetype at = 12; at + 8 <= wav.size();) {
        const QByteArray id = wav.mid(at, 4);
        const quint32 size = le32(wav, at + 4);
        if (id == "fmt " && at + 24 <= wav.size()) {
            h.channels = static_cast<int>(le16(wav, at + 10));
            h.sampleRate = static_cast<int>(le32(wav, at + 12));
            h.bitsPerSample = static_cast<int>(le16(wav, at + 22));
        } else if (id == "data") {
            h.dataBytes = size;
            h.dataOffset = at + 8;
            return h;
        }
        at += 8 + size + (size & 1);
    }
    return std::nullopt;
}

bool writeFile(const QString& path, const QByteArray& bytes) {
    QFile file(path);
    return file.open(QIODevice::WriteOnly | QIODevice::Truncate) && file.write(bytes) == bytes.size();
}

QByteArray readFile(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

} // namespace fixtures
