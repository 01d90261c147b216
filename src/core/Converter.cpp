#include "core/Converter.h"

#include "codecs/codec_error.h"
#include "core/CodecSessions.h"
#include "core/DestinationCheck.h"
#include "core/FileHelpers.h"
#include "core/Progress.h"
#include "core/SyncRecord.h"
#include "core/TextConstants.h"
#include "gogo.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <exception>

namespace core {
namespace {

// A set-up check that keeps failing in the same way will not pass on the next try either.
constexpr int MaxEncoderSetUps = 3;

QString describe(const std::exception& failure) {
    if (const auto* codec = dynamic_cast<const codecs::CodecError*>(&failure))
        return codec->description();
    return QString::fromUtf8(failure.what());
}

void makePlainWritable(const QString& path) {
    QFile file(path);
    if (file.exists())
        file.setPermissions(file.permissions() | QFileDevice::ReadOwner | QFileDevice::WriteOwner);
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
    if (outcome.converted())
        outcome = place();
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
    makePlainWritable(m_wav);
    QFile::remove(m_wav);
    m_sink.pause();

    Outcome outcome = guarded(Failure::DecodeFault, [this] { return decode(); });
    if (outcome.converted()) {
        m_mp3 = mp3WorkFile(m_job.workFolder);
        QFile::remove(m_mp3);
        m_sink.pause();
        outcome = guarded(Failure::EncodeFault, [this] { return encode(); });
    }
    if (outcome.converted()) {
        m_sink.pause();
        outcome = guarded(Failure::TagFault, [this] { return tag(); });
    }
    if (!outcome.converted())
        removeWorkFiles();
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
    } else if (!dateFrom.isEmpty()) {
        copyModificationTime(dateFrom, destination);
    }
    DeleteFileForced(wavWorkPath);
    DeleteFileForced(mp3WorkPath);
    return outcome;
}

void copyModificationTime(const QString& from, const QString& to) {
    const QDateTime time = QFileInfo(from).lastModified();
    QFile file(to);
    if (time.isValid() && file.open(QIODevice::ReadWrite | QIODevice::ExistingOnly))
        file.setFileTime(time, QFileDevice::FileModificationTime);
}

Outcome Converter::copySource() {
    // The source's own bytes go out as they are, tags included; only the record is added.
    m_mp3 = mp3WorkFile(m_job.workFolder);
    m_sink.pause();
    Outcome outcome;
    if (!CopyFileChecked(m_job.source, m_mp3, false)) {
        outcome = failed(Failure::SourceUnreadable);
    } else {
        outcome = guarded(Failure::TagFault, [this] { return stampRecord(); });
        showPercent(100);
    }
    if (!outcome.converted())
        removeWorkFiles();
    return outcome;
}

Outcome Converter::stampRecord() {
    if (!m_job.syncRecord.isEmpty()) {
        if (!writeSyncRecord(m_mp3, m_job.syncRecord))
            return failed(Failure::TagFault, QStringLiteral("変換元の記録を書き込めませんでした。"));
        return {};
    }
    // A source converted before carries the record of its own making; it says nothing about this output.
    // Stripping it is best effort: a tag the library cannot rewrite stays as the source had it.
    try {
        writeSyncRecord(m_mp3, QString());
    } catch (const std::exception&) {
    }
    return {};
}

void Converter::removeWorkFiles() {
    if (!m_wav.isEmpty())
        DeleteFileForced(m_wav);
    if (!m_mp3.isEmpty())
        DeleteFileForced(m_mp3);
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
    const DecodeResult result =
        decodeToWav(session, m_job.source, m_wav, started, [&](int position, int total) {
            showPercent(halfPercent(position, total, 0));
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
    return {};
}

Outcome Converter::encode() {
    EncoderSession session;
    for (int attempt = 0;; ++attempt) {
        if (attempt == MaxEncoderSetUps)
            return failed(Failure::EncoderSetUp);
        m_sink.pause();
        const int check = session.setUp(m_wav, m_mp3, m_job.channelMode, m_job.bitRate);
        if (check == 0)
            break;
        if (check == -1)
            return failed(Failure::EncoderSetUp);
        if (check == codecs::Encoder::CannotOpenInput)
            return failed(Failure::WorkFileUnopenable);
    }
    bool cancelled = false;
    const int result = encodeFrames(session, [&](int done, int frames) {
        showPercent(halfPercent(done, frames, 50));
        cancelled = m_sink.cancelRequested();
        return !cancelled;
    });
    session.end();
    if (cancelled)
        return failed(Failure::Cancelled);
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
        decoder.setTagInfo(m_mp3, m_tag);
        // The record holds only what fits an ID3v1 tag; the source's own ID3v2 tag carries the rest
        // (pictures, lyrics, long texts), so it replaces the one just written.
        decoder.copyId3v2Tag(m_job.source, m_mp3);
    }
    return stampRecord();
}

QString writeFailureCause(const QString& folder) {
    const QFileInfo info(folder);
    if (!info.exists() || !info.isDir())
        return QStringLiteral("作業フォルダが見つかりません。");
    if (!info.isWritable())
        return QStringLiteral("作業フォルダに書き込む権限がありません。");
    return QStringLiteral("ディスクの空き容量を確認してください。");
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
