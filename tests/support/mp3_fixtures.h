// Test fixtures made at test time: MP3 files encoded by LAME directly, PCM WAV files, ID3 tags built byte
// by byte, and readers for MPEG frame headers, WAV headers and ID3v2 frames to check results with.
//
// Link the CMake target `mp3recast_test_fixtures`. Nothing here goes through the program's codec
// libraries, so tests can use it to check them independently.
#pragma once

#include <QByteArray>
#include <QList>
#include <QString>
#include <optional>

namespace fixtures {

// ---- Audio -------------------------------------------------------------------------------------------

struct ToneSpec {
    int sampleRate = 44100; // 32000/44100/48000 give MPEG-1, 16000/22050/24000 MPEG-2, 8000..12000 MPEG-2.5
    int channels = 2;
    int bitRate = 128; // kbit/s; for VBR the quality 0 (best) .. 9 is taken from vbrQuality
    bool vbr = false;
    int vbrQuality = 4;
    double seconds = 1.0;
    double frequency = 440.0;
    bool infoTag = true; // LAME/Info tag in the first frame (encoder delay and padding, for gapless length)
    bool crc = false;    // frames carry a CRC (as `lame -p`)
    bool freeFormat = false; // free-format frames at bitRate (as `lame --freeformat`)
};

struct Mp3 {
    QByteArray bytes;
    qint64 samples = 0; // samples per channel that went into the encoder
};

// A sine tone encoded by LAME (fast quality setting; the tests check structure, not sound).
Mp3 makeMp3(const ToneSpec& spec);

// A 16-bit PCM WAV file holding a sine tone of `samples` samples per channel.
QByteArray makeWav(int sampleRate, int channels, qint64 samples, double frequency = 440.0);

// Bytes of a fixed pseudo-random sequence (noise, damage).
QByteArray randomBytes(qsizetype size, quint32 seed);

// ---- ID3 tags, built from raw bytes ------------------------------------------------------------------

// Field bytes go in exactly as given (already in the wanted encoding) and are cut or zero-padded.
struct Id3v1Fields {
    QByteArray title, artist, album, year, comment;
    int track = -1;  // 1..255 makes an ID3v1.1 tag
    int genre = 255; // 255: none
};
QByteArray id3v1(const Id3v1Fields& fields);

enum class Encoding : char { Latin1 = 0, Utf16 = 1, Utf16BE = 2, Utf8 = 3 };

// Text frame payload: the encoding byte then the text (UTF-16 with a little-endian BOM).
QByteArray textPayload(Encoding encoding, const QString& text);
// Text frame payload marked ISO-8859-1 holding these exact bytes (CP932 from Japanese Windows software).
QByteArray rawLatin1Payload(const QByteArray& bytes);
// COMM payload: encoding, language "eng", empty description, text.
QByteArray commentPayload(Encoding encoding, const QString& text, const QString& description = QString());
// APIC payload (version 2.3/2.4): Latin-1 description, front cover.
QByteArray picturePayload(const QByteArray& mimeType, const QByteArray& imageData);

// One frame: version 2 uses three-letter ids and 6-byte headers; version 4 sizes are synchsafe.
QByteArray id3v2Frame(int version, const QByteArray& id, const QByteArray& payload);
// A tag of that version around the frames, with `padding` zero bytes after them.
QByteArray id3v2Tag(int version, const QList<QByteArray>& frames, int padding = 0);

// CP932 bytes of text (every character must have a CP932 form).
QByteArray toCp932(const QString& text);

// ---- Reading results back ----------------------------------------------------------------------------

struct FrameHeader {
    int version = 0;    // 1, 2 or 25 (MPEG-2.5)
    int layer = 0;      // 1..3
    int bitRate = 0;    // kbit/s
    int sampleRate = 0; // Hz
    int mode = 0;       // 0 stereo, 1 joint stereo, 2 dual channel, 3 mono
    int length = 0;     // bytes, padding included
};
std::optional<FrameHeader> parseFrameHeader(const QByteArray& bytes, qsizetype offset);

// The frames of the audio part (after an ID3v2 tag, before trailing tags), which must follow each other
// without gaps; nullopt when anything in between is not a frame.
std::optional<QList<FrameHeader>> scanFrames(const QByteArray& file);

// Lengths of the tags at both ends (0 when absent) and the bytes between them.
qsizetype id3v2Length(const QByteArray& file);
bool hasId3v1(const QByteArray& file);
QByteArray audioPart(const QByteArray& file);

struct RawFrame {
    QByteArray id;
    QByteArray payload; // the frame's bytes after its header
};
// Frames of a version 2.3 or 2.4 tag at the start of the file, in order (empty for other versions).
QList<RawFrame> id3v2Frames(const QByteArray& file);
int id3v2Version(const QByteArray& file); // 0 without a tag

struct WavHeader {
    int channels = 0;
    int sampleRate = 0;
    int bitsPerSample = 0;
    qint64 dataBytes = 0;  // as the data chunk's header says
    qint64 dataOffset = 0; // where the data starts
    qint64 riffSize = 0;   // as the RIFF header says
};
std::optional<WavHeader> readWavHeader(const QByteArray& wav);

// ---- Files -------------------------------------------------------------------------------------------

bool writeFile(const QString& path, const QByteArray& bytes);
QByteArray readFile(const QString& path);

// The id of a process that has just ended (started and killed here): a writer that no longer runs.
qint64 endedProcessId();

} // namespace fixtures
