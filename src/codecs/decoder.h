// The program's calls into the decoder library (libvbmp3): MP3 decoding into a WAV work file, ID3 tags,
// genre names.
//
// Every method calls the operation of the same name through decoderFunctions(). The library is loaded and
// the operation resolved on first use; when either fails the method throws CodecError, whose description
// names the library and the operation. Otherwise failures show only in the results described here.
// Records are packed into their byte layouts before a call and unpacked after it (see tag_record.h).
#pragma once

#include "codecs/tag_record.h"

#include <QByteArray>
#include <QList>
#include <QPair>
#include <QString>
#include <QStringList>
#include <functional>
#include <optional>

namespace codecs {

// What reworkTag() changes in a file's ID3v2 tag.
struct TagRework {
    bool id3v23 = false;                      // the tag becomes version 2.3
    bool dropReplayGain = false;              // REPLAYGAIN_* and RVA2 frames removed
    QList<QPair<QString, QString>> userTexts; // TXXX frames set: description, value
    // Called with each embedded picture: a JPEG to replace it, or nullopt to keep it.
    std::function<std::optional<QByteArray>(const QByteArray& picture)> fitPicture;
};

// What vbmp3_estimateFileInfo tells of a stream.
struct StreamEstimate {
    int bitRate = 0;      // kbit/s of the first frame
    int samplingRate = 0; // Hz
    int channels = 0;
    qint64 durationMs = 0;
};

class Decoder {
  public:
    // vbmp3_init: sets the decoder up; false when it cannot be (then neither close() nor free() is due).
    [[nodiscard]] bool init();
    // vbmp3_getFileInfo: gathers the file's stream facts (the program uses nothing of them); true when the
    // file holds MPEG audio.
    [[nodiscard]] bool getFileInfo(const QString& path);
    // vbmp3_getFileTagInfoEX: fills `record` from the file's tag (ID3v2, else ID3v1). True when the file
    // has a tag; without one the record holds empty texts, genre -1 and track -1.
    [[nodiscard]] bool getFileTagInfo(const QString& path, TagRecord& record);
    // vbmp3_open: makes the file the current one; info.totalLength is the exact length in samples per
    // channel. False when the file holds no decodable MP3 audio.
    [[nodiscard]] bool open(const QString& path, InputInfo& info);
    // vbmp3_decodeWave: starts decoding the current file into a 16-bit PCM WAV file and returns at once.
    // False when nothing could be started (no current file, a decoding already running); getState() then
    // tells why.
    [[nodiscard]] bool decodeWave(const QString& wavPath);
    // vbmp3_getState: 1 while decoding runs, with `position` (samples per channel, up to totalLength);
    // 0 when the WAV file is complete; negative when decoding or writing failed.
    [[nodiscard]] int getState(int& position);
    // vbmp3_close: stops and waits for a running decoding; closes the current file.
    void close();
    // vbmp3_free: releases what init() set up.
    void free();
    // vbmp3_setTagInfoEX (options 1, 1): writes the record as the file's ID3v1 and ID3v2 tag. Trailing
    // blanks are dropped, other ID3v2 frames (cover art, lyrics) and the audio kept; on failure the file
    // is left as it was. True when the tag was written; lastTagError() tells why it was not.
    [[nodiscard]] bool setTagInfo(const QString& path, const TagRecord& record);
    // vbmp3_getTagError: why the last setTagInfo() or copyId3v2Tag() of this thread failed (a
    // VBMP3_TAG_ code); VBMP3_TAG_OK after a success. A table without the operation (a test's fake)
    // gives -1: no reason known.
    [[nodiscard]] int lastTagError();
    // vbmp3_getGenre: the library's name for genre 0..255, empty where it has none.
    [[nodiscard]] QString genreName(int number);
    // vbmp3_copyTagV2: replaces the ID3v2 tag of `to` by a byte-for-byte copy of the one of `from` (or
    // removes it when `from` has none), keeping everything else of `to`. For a re-encoded file, call it
    // before setTagInfo() so the copied tag keeps its pictures and other frames. True on success.
    [[nodiscard]] bool copyId3v2Tag(const QString& from, const QString& to);
    // vbmp3_reworkTagV2: changes the file's ID3v2 tag as `rework` says (creating one from its ID3v1 fields
    // when a frame is to be set and it has none). `dropped` gets the ids of frames without a 2.3 form.
    // True on success; on failure the file is as it was.
    [[nodiscard]] bool reworkTag(const QString& path, const TagRework& rework, QStringList& dropped);
    // vbmp3_getUserText: the value of the ID3v2 TXXX frame with that description (reading only the
    // tag); nullopt when the file has none.
    [[nodiscard]] std::optional<QString> userText(const QString& path, const QString& description);
    // vbmp3_setUserText: sets that TXXX frame, or removes it for an empty value; other frames and the
    // audio are kept. True on success, also when nothing had to change.
    [[nodiscard]] bool setUserText(const QString& path, const QString& description, const QString& value);
    // vbmp3_estimateFileInfo: the stream's facts from its first frames (duration estimated); nullopt when
    // no MPEG audio was found.
    [[nodiscard]] std::optional<StreamEstimate> estimateFileInfo(const QString& path);
    // vbmp3_completeRewrites: finishes the in-place tag rewrites that killed writers left half done and
    // whose journals lie in `folder` (a file's folder, or the temporary folder), and removes the hidden
    // copies of writers no longer running. The number of files finished or removed; -1 when the folder
    // cannot be read, or when the table lacks the operation (a test's fake).
    [[nodiscard]] int completeRewrites(const QString& folder);
};

} // namespace codecs
