#include "core/sync/SyncRecord.h"

#include "codecs/decoder.h"

#include <QCryptographicHash>
#include <QDateTime>
#include <QFile>
#include <QFileInfo>

namespace core {
namespace {

constexpr qint64 HashedAudio = 64 * 1024;
// The tail covers the last 64 KB of audio and an ID3v1 tag after it.
constexpr qint64 HashedTail = HashedAudio + 128;

// Where the audio starts: after the ID3v2 tag whose header (10 bytes, a synchsafe size, an optional
// footer) opens the file, else at 0.
qint64 audioStart(QFile& file) {
    const QByteArray header = file.read(10);
    if (header.size() < 10 || !header.startsWith("ID3"))
        return 0;
    const auto byte = [&](int i) { return qint64(quint8(header[i]) & 0x7F); };
    const qint64 size = (byte(6) << 21) | (byte(7) << 14) | (byte(8) << 7) | byte(9);
    const bool footer = quint8(header[3]) == 4 && (quint8(header[5]) & 0x10) != 0;
    return 10 + size + (footer ? 10 : 0);
}

bool hashRange(QFile& file, qint64 begin, qint64 end, QCryptographicHash& hash) {
    if (begin >= end)
        return true;
    if (!file.seek(begin))
        return false;
    const QByteArray bytes = file.read(end - begin);
    hash.addData(bytes);
    return bytes.size() == end - begin;
}

} // namespace

QString SyncRecord::text() const {
    return QStringLiteral("1 size=%1 mtime=%2 hash=%3%4 copied=%5 settings=%6")
        .arg(sourceSize)
        .arg(sourceModifiedMs)
        .arg(sourceHash, sourceSum.isEmpty() ? QString() : QStringLiteral(" sum=") + sourceSum)
        .arg(copied ? 1 : 0)
        .arg(settings);
}

std::optional<SyncRecord> SyncRecord::parse(const QString& text) {
    const qsizetype settingsAt = text.indexOf(QLatin1String(" settings="));
    if (!text.startsWith(QLatin1String("1 ")) || settingsAt < 0)
        return std::nullopt;
    SyncRecord record;
    record.settings = text.mid(settingsAt + 10);
    bool sizeOk = false, timeOk = false, hashOk = false, copiedOk = false;
    for (const QString& field : text.left(settingsAt).split(QLatin1Char(' '), Qt::SkipEmptyParts).mid(1)) {
        const QString value = field.section(QLatin1Char('='), 1);
        if (field.startsWith(QLatin1String("size=")))
            record.sourceSize = value.toLongLong(&sizeOk);
        else if (field.startsWith(QLatin1String("mtime=")))
            record.sourceModifiedMs = value.toLongLong(&timeOk);
        else if (field.startsWith(QLatin1String("hash=")))
            hashOk = !(record.sourceHash = value).isEmpty();
        else if (field.startsWith(QLatin1String("sum=")))
            record.sourceSum = value;
        else if (field.startsWith(QLatin1String("copied=")))
            record.copied = value.toInt(&copiedOk) == 1;
    }
    if (!sizeOk || !timeOk || !hashOk || !copiedOk)
        return std::nullopt;
    return record;
}

QString syncRecordDescription() {
    return QStringLiteral("MP3Recast source");
}

QString outputSettings(const ConversionJob& job) {
    static const char* const modes[] = {"mono", "stereo", "joint"};
    const int mode = job.channelMode >= 0 && job.channelMode <= 2 ? job.channelMode : 1;
    QString settings = job.vbrQuality >= 0 ? QStringLiteral("v=%1").arg(job.vbrQuality)
                                           : QStringLiteral("b=%1").arg(job.bitRate);
    settings += QStringLiteral(" m=") + QLatin1String(modes[mode]);
    // The options for car stereos and older players, each only when set, so that records made without
    // them read as before.
    if (job.id3v23)
        settings += QStringLiteral(" id3v23");
    if (job.coverMax > 0)
        settings += QStringLiteral(" cover-max=%1").arg(job.coverMax);
    if (job.normalize != Normalize::Off)
        settings +=
            QStringLiteral(" normalize=%1 target=%2")
                .arg(job.normalize == Normalize::Album ? QStringLiteral("album") : QStringLiteral("track"))
                .arg(job.targetLufs);
    return settings;
}

namespace {

Error unreadable(const QFile& file) {
    return Error{QStringLiteral("%1: %2").arg(file.fileName(), file.errorString())};
}

} // namespace

Expected<QString> contentHash(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return unreadable(file);
    const qint64 size = file.size();
    const qint64 headEnd = std::min(size, audioStart(file) + HashedAudio);
    const qint64 tailBegin = std::max(headEnd, size - HashedTail);
    QCryptographicHash hash(QCryptographicHash::Sha1);
    if (!hashRange(file, 0, headEnd, hash) || !hashRange(file, tailBegin, size, hash))
        return unreadable(file);
    return QString::fromLatin1(hash.result().toHex());
}

Expected<QString> wholeContentHash(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return unreadable(file);
    QCryptographicHash hash(QCryptographicHash::Sha1);
    if (!hash.addData(&file) || file.error() != QFileDevice::NoError)
        return unreadable(file);
    return QString::fromLatin1(hash.result().toHex());
}

Expected<SyncRecord> recordOfSource(const QString& source, const QString& settings, bool copied) {
    const QFileInfo info(source);
    if (!info.isFile())
        return Error{QStringLiteral("%1: not a file").arg(source)};
    const Expected<QString> hash = contentHash(source);
    if (!hash)
        return Error{hash.reason()};
    const Expected<QString> sum = wholeContentHash(source);
    if (!sum)
        return Error{sum.reason()};
    SyncRecord record;
    record.sourceSize = info.size();
    record.sourceModifiedMs = info.lastModified().toMSecsSinceEpoch();
    record.sourceHash = *hash;
    record.sourceSum = *sum;
    record.settings = settings;
    record.copied = copied;
    return record;
}

std::optional<SyncRecord> readSyncRecord(const QString& mp3) {
    const std::optional<QString> text = codecs::Decoder().userText(mp3, syncRecordDescription());
    return text ? SyncRecord::parse(*text) : std::nullopt;
}

bool writeSyncRecord(const QString& mp3, const QString& recordText) {
    return codecs::Decoder().setUserText(mp3, syncRecordDescription(), recordText);
}

} // namespace core
