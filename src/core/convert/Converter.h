// One file through the two libraries, step by step: the source's tag is read and the source decoded into
// the WAV work file, that is encoded into the MP3 work file, the tag is written into it, and the result is
// copied into the destination. Progress goes to a sink; nothing is ever shown from here. Whatever way a
// file's conversion fails, its work files are gone afterwards.
#pragma once

#include "codecs/tag_record.h"
#include "core/convert/ConversionJob.h"
#include "core/loudness/Loudness.h"

#include <QString>
#include <memory>

namespace core {

// What a conversion tells its caller while it works. Every call comes from the converting thread.
class ConversionSink {
  public:
    virtual ~ConversionSink() = default;
    // The conversion of the file starts: the percentage is 0.
    virtual void started() {}
    // The decoding has started: the percentage is 0 again, and this is the song's text ("アーティスト：…").
    virtual void decoding(const QString& songText) { (void)songText; }
    // The percentage changed (0-50 decoding, 50-100 encoding).
    virtual void progress(int percent) { (void)percent; }
    // A point where a window lets its pending events run.
    virtual void pause() {}
    // Polled while decoding and encoding: true once the file is to be given up.
    virtual bool cancelRequested() { return false; }
};

class Converter {
  public:
    Converter(ConversionJob job, ConversionSink& sink);

    // Everything: prepare() and, when that succeeded, place().
    [[nodiscard]] Outcome run();
    // Decode, encode and tag, leaving the finished MP3 work file (mp3WorkPath()).
    [[nodiscard]] Outcome prepare();
    // Copies the finished MP3 work file into the destination and deletes both work files.
    [[nodiscard]] Outcome place();

    QString wavWorkPath() const { return m_wav; }
    QString mp3WorkPath() const { return m_mp3; }

  private:
    Outcome decode();
    Outcome encode();
    Outcome tag();
    void measureLoudness();
    double lossOfEncoding();
    Outcome reworkTag();
    Outcome copySource();
    Outcome stampRecord();
    Outcome tagWriteFailed(int error) const;
    void showPercent(int percent);
    void removeWorkFiles();

    const ConversionJob m_job;
    ConversionSink& m_sink;
    QString m_wav;
    QString m_mp3;
    int m_shownPercent = 0;
    bool m_hasTag = false;
    codecs::TagRecord m_tag;
    double m_gain = 0.0;     // dB applied while encoding (normalizing)
    double m_loudness = 0.0; // LUFS the gain was computed from
    QStringList m_notes;
    std::unique_ptr<LoudnessMeter> m_follower; // measures the WAV while it is decoded
};

// Copies a finished MP3 work file into the destination (with the length check) and deletes the work
// files of the folder it lies in. Converted, or CopyFailed. With `dateFrom`, the destination gets that
// file's modification time; a converted outcome notes it when that failed.
[[nodiscard]] Outcome placeWorkFile(const QString& mp3WorkPath, const QString& wavWorkPath,
                                    const QString& destination, const QString& dateFrom = {});

// Deletes the two work files (either path may be empty), best effort.
void removeWorkFiles(const QString& wavWorkPath, const QString& mp3WorkPath);

// True when the file starts with an ID3v2 header that cannot be right: an unknown version, sizes that are
// not sync-safe, or a tag reaching past the end of the file.
[[nodiscard]] bool hasDamagedId3v2(const QString& path);

// True when a converted file's notes say its source's ID3v2 tag was damaged and could not be copied
// (the notes travel from the workers with the outcome, so the file is not read again).
[[nodiscard]] bool notesDamagedId3v2(const Outcome& outcome);

// Gives `to` the modification time of `from`; false when either file's time cannot be read or set.
[[nodiscard]] bool copyModificationTime(const QString& from, const QString& to);

// Why writing into the folder failed, as one line: the folder is missing, may not be written, or (when
// neither) the disk is full.
[[nodiscard]] QString writeFailureCause(const QString& folder);

// The text the window shows for a decoding that ended in the library's state `state` (not 0).
[[nodiscard]] QString decoderStateText(int state, const QString& workFolder);

} // namespace core
