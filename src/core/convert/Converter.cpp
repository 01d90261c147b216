#include "core/convert/Converter.h"

#include "codecs/codec_error.h"
#include "core/convert/CodecSessions.h"
#include "core/convert/Progress.h"
#include "core/covers/CoverFit.h"
#include "core/files/DestinationCheck.h"
#include "core/files/FileHelpers.h"
#include "core/loudness/EncodingLoss.h"
#include "core/loudness/Loudness.h"
#include "core/sync/SyncRecord.h"
#include "core/text/TextConstants.h"
#include "gogo.h"
#include "vbmp3.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <algorithm>
#include <cmath>
#include <exception>
#include <fcntl.h>
#include <stdexcept>
#include <sys/stat.h>

namespace core {
namespace {

// The start of the note a file gets when its source's ID3v2 tag is damaged.
const QString DamagedId3v2Note = QStringLiteral("the source's ID3v2 tag is damaged");

// A set-up check that keeps failing in the same way will not pass on the next try either.
constexpr int MaxEncoderSetUps = 3;

QString describe(const std::exception& failure) {
    if (const auto* codec = dynamic_cast<const codecs::CodecError*>(&failure))
        return codec->description();
    return QString::fromUtf8(failure.what());
}

Outcome failed(Failure failure, QString reason = {}) {
    Outcome outcome;
    outcome.failure = failure;
    outcome.reason = std::move(reason);
    return outcome;
}

// Runs one phase; an unexpected failure inside it becomes the phase's fault with its description.
template <typename Work> Outcome guarded(Failure fault, Work work) {
    try {
        return work();
    } catch (const std::exception& failure) {
        return failed(fault, describe(failure));
    }
}

} // namespace

// The folder text, the separator unless it already ends with one, and the name.
QString workFile(const QString& workFolder, const QString& name) {
    const QChar separator = QDir::separator();
    return workFolder.endsWith(separator) ? workFolder + name : workFolder + separator + name;
}

QString wavWorkFile(const QString& workFolder) {
    return workFile(workFolder, QStringLiteral("Temp.tmp"));
}

QString mp3WorkFile(const QString& workFolder) {
    return workFile(workFolder, QStringLiteral("MP3Temp.tmp"));
}

Converter::Converter(ConversionJob job, ConversionSink& sink) : m_job(std::move(job)), m_sink(sink) {}

Outcome Converter::run() {
    Outcome outcome = prepare();
    if (outcome.converted()) {
        const QStringList notes = outcome.notes;
        outcome = place();
        outcome.notes = notes + outcome.notes;
    }
    return outcome;
}

Outcome Converter::prepare() {
    m_sink.started();
    m_shownPercent = 0;
    try {
        int number = 0;
        if (!codecs::Encoder::versionText(codecs::Encoder().getVersion(number)))
            return failed(Failure::EncoderUnavailable);
    } catch (const std::exception& failure) {
        return failed(Failure::EncoderUnavailable, describe(failure));
    }

    // Reading needs no write permission: the source keeps its protection.
    m_wav = wavWorkFile(m_job.workFolder);
    if (m_job.copySource)
        return copySource();
    // A work file left by an earlier run that cannot be removed is overwritten by the decoder, or makes it
    // fail with its own state.
    static_cast<void>(DeleteFileForced(m_wav));
    m_sink.pause();

    Outcome outcome = guarded(Failure::DecodeFault, [this] { return decode(); });
    if (outcome.converted()) {
        m_mp3 = mp3WorkFile(m_job.workFolder);
        // As for the WAV: the encoder's check reports a work file it cannot create.
        static_cast<void>(QFile::remove(m_mp3));
        m_sink.pause();
        outcome = guarded(Failure::EncodeFault, [this] { return encode(); });
    }
    if (outcome.converted()) {
        m_sink.pause();
        outcome = guarded(Failure::TagFault, [this] { return tag(); });
    }
    if (!outcome.converted())
        removeWorkFiles();
    else
        outcome.notes = m_notes;
    return outcome;
}

Outcome Converter::place() {
    return placeWorkFile(m_mp3, m_wav, m_job.destination, m_job.keepDate ? m_job.source : QString());
}

Outcome placeWorkFile(const QString& mp3WorkPath, const QString& wavWorkPath, const QString& destination,
                      const QString& dateFrom) {
    Outcome outcome;
    if (!CopyFileChecked(mp3WorkPath, destination, false)) {
        outcome.failure = Failure::CopyFailed;
        outcome.reason = QDir::toNativeSeparators(destination);
        outcome.cause = copyFailureCause(destination);
    } else if (!dateFrom.isEmpty() && !copyModificationTime(dateFrom, destination)) {
        outcome.notes << QStringLiteral("the source's modification time could not be given to the output");
    }
    removeWorkFiles(wavWorkPath, mp3WorkPath);
    return outcome;
}

bool copyModificationTime(const QString& from, const QString& to) {
    // Set by name on the closed file: a FUSE FAT driver stamps a file again when it is closed, so a time
    // set through an open descriptor would be lost. Both times are given (the access time as cp -p
    // keeps it): the FAT32 and exFAT FUSE drivers ignore a change of the modification time alone.
    struct stat st {};
    if (::stat(QFile::encodeName(from).constData(), &st) != 0)
        return false;
    const struct timespec times[2] = {st.st_atim, st.st_mtim};
    return ::utimensat(AT_FDCWD, QFile::encodeName(to).constData(), times, 0) == 0;
}

Outcome Converter::copySource() {
    // The source's own bytes go out as they are, tags included; only the record is added.
    m_mp3 = mp3WorkFile(m_job.workFolder);
    m_sink.pause();
    Outcome outcome;
    if (!CopyFileChecked(m_job.source, m_mp3, false)) {
        outcome = failed(Failure::SourceUnreadable);
    } else {
        // The tag options apply to a copy too (a copy is never made when the audio is to change).
        outcome = guarded(Failure::TagFault, [this] {
            if (m_job.reworksTag()) {
                const Outcome reworked = reworkTag();
                if (!reworked.converted())
                    return reworked;
            }
            return stampRecord();
        });
        showPercent(100);
    }
    if (!outcome.converted())
        removeWorkFiles();
    else
        outcome.notes = m_notes;
    return outcome;
}

Outcome Converter::tagWriteFailed(int error) const {
    Outcome outcome = failed(Failure::TagFault, QStringLiteral("タグを書き込めませんでした。"));
    if (error == VBMP3_TAG_DISK_FULL || error == VBMP3_TAG_NOT_WRITABLE)
        outcome.cause = writeFailureCause(m_job.workFolder);
    return outcome;
}

bool notesDamagedId3v2(const Outcome& outcome) {
    return std::any_of(outcome.notes.cbegin(), outcome.notes.cend(),
                       [](const QString& note) { return note.startsWith(DamagedId3v2Note); });
}

bool hasDamagedId3v2(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return false;
    const QByteArray header = file.read(10);
    if (header.size() < 10 || !header.startsWith("ID3"))
        return false;
    const auto byte = [&header](int i) { return static_cast<unsigned char>(header.at(i)); };
    if (byte(3) < 2 || byte(3) > 4 || byte(4) == 0xFF || ((byte(6) | byte(7) | byte(8) | byte(9)) & 0x80))
        return true;
    const qint64 size = 10 + ((qint64(byte(6)) << 21) | (byte(7) << 14) | (byte(8) << 7) | byte(9));
    return size > file.size();
}

Outcome Converter::stampRecord() {
    if (!m_job.syncRecord.isEmpty()) {
        if (!writeSyncRecord(m_mp3, m_job.syncRecord))
            return failed(Failure::TagFault, QStringLiteral("変換元の記録を書き込めませんでした。"));
        return {};
    }
    // A source converted before carries the record of its own making; it says nothing about this output.
    // Stripping it is best effort: a tag the library cannot rewrite stays as the source had it, and the
    // output is still the source's conversion, so neither a refusal nor a library failure stops it.
    try {
        static_cast<void>(writeSyncRecord(m_mp3, QString()));
    } catch (const std::exception&) {
        // The library's failure, if it matters, shows where a tag must be written.
    }
    return {};
}

void Converter::removeWorkFiles() {
    core::removeWorkFiles(m_wav, m_mp3);
}

void removeWorkFiles(const QString& wavWorkPath, const QString& mp3WorkPath) {
    // A work file that stays is overwritten by the next conversion into the same folder; nothing of the
    // output depends on its removal.
    if (!wavWorkPath.isEmpty())
        static_cast<void>(DeleteFileForced(wavWorkPath));
    if (!mp3WorkPath.isEmpty())
        static_cast<void>(DeleteFileForced(mp3WorkPath));
}

void Converter::showPercent(int percent) {
    if (percent == m_shownPercent)
        return;
    m_shownPercent = percent;
    m_sink.progress(percent);
}

Outcome Converter::decode() {
    DecoderSession session;
    if (!session.init())
        return failed(Failure::DecoderSetUp);
    // The file's stream facts (vbmp3_getFileInfo) are not needed: vbmp3_open gives the length, and
    // skipping them spares a second full scan of the source.
    // A source without any tag must not come out with an invented one.
    m_hasTag = session.decoder().getFileTagInfo(m_job.source, m_tag);

    const QString songText = QStringLiteral("アーティスト：") + m_tag.artist + CRLF +
                             QStringLiteral("曲タイトル　：") + m_tag.title + CRLF +
                             QStringLiteral("アルバム名：") + m_tag.album;
    const auto started = [&] {
        m_shownPercent = 0;
        m_sink.decoding(songText);
    };
    // Track normalizing measures the WAV while the decoder's thread writes it.
    if (m_job.normalize == Normalize::Track)
        m_follower = std::make_unique<LoudnessMeter>(false);
    const DecodeResult result =
        decodeToWav(session, m_job.source, m_wav, started, [&](int position, int total) {
            showPercent(core::halfPercent(position, total, 0));
            // A follower that cannot read the growing file stays failed, and measureLoudness() reports
            // it once the decoding is done; the decoding itself need not stop for it.
            if (m_follower)
                static_cast<void>(m_follower->follow(m_wav));
            return !m_sink.cancelRequested();
        });
    if (!result.opened)
        return failed(Failure::SourceUnreadable);
    session.end();
    if (result.stopped)
        return failed(Failure::Cancelled);
    m_sink.pause();
    // Encoding a WAV that stopped short would turn a failure into a silently truncated file.
    if (result.finalState != VBMP3_STATE_DONE)
        return failed(Failure::DecodeFault, decoderStateText(result.finalState, m_job.workFolder));
    if (m_job.normalize != Normalize::Off)
        measureLoudness();
    return {};
}

// The gain of an evened-out file: the folder's, measured before the run, or the file's own from the WAV
// work file just decoded. What the encoding itself takes away at low bit rates (the top of the spectrum)
// is made up for, measured on excerpts of this file (of the folder's files, for an album); the true-peak
// limit stays the source's.
void Converter::measureLoudness() {
    if (m_job.normalize == Normalize::Album) {
        m_loudness = m_job.albumLoudness;
        m_gain = normalizingGain(m_job.albumLoudness + m_job.albumLoss, m_job.albumPeak, m_job.targetLufs);
        return;
    }
    const Expected<TrackGain> track = trackGain(m_wav, m_job.targetLufs, m_follower.get(), lossOfEncoding());
    m_follower.reset();
    // Inside a phase a failure is thrown: the phase's handler turns it into the file's outcome.
    if (!track)
        throw std::runtime_error(track.reason().toStdString());
    m_loudness = track->loudness;
    m_gain = track->gain;
    if (!std::isfinite(m_loudness))
        m_notes << QStringLiteral("silent: loudness not measurable, no gain applied");
}

double Converter::lossOfEncoding() {
    return encodingLoss(m_wav, m_job, m_job.workFolder).value_or(0.0);
}

Outcome Converter::encode() {
    EncoderSession session;
    for (int attempt = 0;; ++attempt) {
        if (attempt == MaxEncoderSetUps)
            return failed(Failure::EncoderSetUp);
        m_sink.pause();
        const int check = session.setUp(m_wav, m_mp3, m_job.channelMode, m_job.bitRate, m_job.vbrQuality,
                                        int(std::lround(m_gain * 100)));
        if (check == 0)
            break;
        if (check == -1)
            return failed(Failure::EncoderSetUp);
        if (check == codecs::Encoder::CannotOpenInput)
            return failed(Failure::WorkFileUnopenable);
    }
    bool cancelled = false;
    const Expected<int> frames = encodeFrames(session, [&](int done, int frames) {
        showPercent(core::halfPercent(done, frames, 50));
        cancelled = m_sink.cancelRequested();
        return !cancelled;
    });
    session.end();
    if (!frames)
        return failed(Failure::EncodeFault, frames.reason());
    if (cancelled)
        return failed(Failure::Cancelled);
    const int result = *frames;
    if (result != codecs::Encoder::AllFramesDone) {
        Outcome outcome = failed(Failure::FrameError);
        outcome.code = result;
        if (result == ME_WRITE_ERROR)
            outcome.cause = writeFailureCause(m_job.workFolder);
        return outcome;
    }
    return {};
}

Outcome Converter::tag() {
    if (m_hasTag) {
        codecs::Decoder decoder;
        // An output placed without its tag would be reported done with its names lost.
        if (!decoder.setTagInfo(m_mp3, m_tag))
            return tagWriteFailed(decoder.lastTagError());
        // The record holds only what fits an ID3v1 tag; the source's own ID3v2 tag carries the rest
        // (pictures, lyrics, long texts), so it replaces the one just written. A damaged one cannot be
        // copied: the output keeps the fields the record saved, and the owner is told.
        if (hasDamagedId3v2(m_job.source))
            m_notes << DamagedId3v2Note + QStringLiteral("; only its title, artist, album, year, comment, "
                                                         "track and genre were kept");
        else if (!decoder.copyId3v2Tag(m_job.source, m_mp3))
            return tagWriteFailed(decoder.lastTagError());
    } else if (hasDamagedId3v2(m_job.source)) {
        m_notes << DamagedId3v2Note + QStringLiteral(" and was dropped");
    }
    if (m_job.reworksTag()) {
        const Outcome reworked = reworkTag();
        if (!reworked.converted())
            return reworked;
    }
    return stampRecord();
}

// The command line's changes to the copied tag: version 2.3, fitted covers, the gain record in place of
// the source's ReplayGain frames.
Outcome Converter::reworkTag() {
    codecs::TagRework rework;
    rework.id3v23 = m_job.id3v23;
    if (m_job.normalize != Normalize::Off) {
        rework.dropReplayGain = true;
        rework.userTexts << qMakePair(
            gainRecordName(),
            gainRecord(m_gain, m_job.normalize == Normalize::Album, m_loudness, m_job.targetLufs));
    }
    if (m_job.coverMax > 0) {
        rework.fitPicture = [this](const QByteArray& picture) -> std::optional<QByteArray> {
            const FittedCover fitted = fitCover(picture, m_job.coverMax);
            if (fitted.result == FittedCover::Undecodable)
                m_notes << QStringLiteral("a picture could not be decoded; kept as it is");
            return fitted.result == FittedCover::Replaced ? std::optional(fitted.jpeg) : std::nullopt;
        };
    }
    QStringList dropped;
    if (!codecs::Decoder().reworkTag(m_mp3, rework, dropped))
        return failed(Failure::TagFault, QStringLiteral("the ID3v2 tag could not be rewritten"));
    if (!dropped.isEmpty())
        m_notes << QStringLiteral("ID3v2.3: dropped frames without a 2.3 form: ") +
                       dropped.join(QLatin1Char(' '));
    return {};
}

QString writeFailureCause(const QString& folder) {
    const QFileInfo info(folder);
    if (!info.exists() || !info.isDir())
        return QStringLiteral("作業フォルダが見つかりません。");
    if (!info.isWritable())
        return QStringLiteral("作業フォルダに書き込む権限がありません。");
    return DiskSpaceHint;
}

QString decoderStateText(int state, const QString& workFolder) {
    switch (state) {
    case VBMP3_STATE_WRITE_ERROR:
        return QStringLiteral("作業ファイルに書き込めませんでした（") +
               writeFailureCause(workFolder).chopped(1) + QStringLiteral("）。");
    case VBMP3_STATE_DECODE_ERROR:
        return QStringLiteral("MP3 データを最後までデコードできませんでした。");
    case VBMP3_STATE_FORMAT_ERROR:
        return QStringLiteral("途中でサンプリング周波数またはチャンネル数が変わるファイルです。");
    case VBMP3_STATE_TOO_LONG:
        return QStringLiteral("ファイルが長すぎて作業ファイルに収まりません。");
    default:
        return QStringLiteral("デコードが途中で終了しました（状態 = %1）。").arg(state);
    }
}

} // namespace core
