#include "core/run/WorkerProtocol.h"

#include "core/convert/EncodingChoices.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <cmath>

namespace core::protocol {
namespace {

QByteArray compact(const QJsonObject& object) {
    return QJsonDocument(object).toJson(QJsonDocument::Compact);
}

} // namespace

QByteArray jobLine(const ConversionJob& job) {
    QJsonObject object{{QStringLiteral("source"), job.source},
                       {QStringLiteral("workFolder"), job.workFolder},
                       {QStringLiteral("bitRate"), job.bitRate},
                       {QStringLiteral("channelMode"), job.channelMode}};
    // The command line's additions travel only when set, so the window's job lines stay as they were.
    if (job.vbrQuality >= 0)
        object.insert(QStringLiteral("vbrQuality"), job.vbrQuality);
    if (job.id3v23)
        object.insert(QStringLiteral("id3v23"), true);
    if (job.coverMax > 0)
        object.insert(QStringLiteral("coverMax"), job.coverMax);
    if (job.normalize != Normalize::Off) {
        object.insert(QStringLiteral("normalize"), int(job.normalize));
        object.insert(QStringLiteral("targetLufs"), job.targetLufs);
        // JSON has no NaN and no infinity: a value that is not finite stays out.
        if (std::isfinite(job.albumLoudness))
            object.insert(QStringLiteral("albumLoudness"), job.albumLoudness);
        if (std::isfinite(job.albumPeak))
            object.insert(QStringLiteral("albumPeak"), job.albumPeak);
        if (job.albumLoss != 0.0 && std::isfinite(job.albumLoss))
            object.insert(QStringLiteral("albumLoss"), job.albumLoss);
    }
    object.insert(QStringLiteral("syncRecord"), job.syncRecord);
    object.insert(QStringLiteral("copySource"), job.copySource);
    return compact(object) + '\n';
}

std::optional<ConversionJob> parseJobLine(const QByteArray& line) {
    const QJsonDocument document = QJsonDocument::fromJson(line.trimmed());
    if (!document.isObject())
        return std::nullopt;
    const QJsonObject object = document.object();
    ConversionJob job;
    job.source = object.value(QStringLiteral("source")).toString();
    job.workFolder = object.value(QStringLiteral("workFolder")).toString();
    job.bitRate = object.value(QStringLiteral("bitRate")).toInt(-1);
    job.channelMode = object.value(QStringLiteral("channelMode")).toInt(-1);
    job.vbrQuality = object.value(QStringLiteral("vbrQuality")).toInt(-1);
    job.id3v23 = object.value(QStringLiteral("id3v23")).toBool();
    job.coverMax = object.value(QStringLiteral("coverMax")).toInt(0);
    const int normalize = object.value(QStringLiteral("normalize")).toInt(0);
    job.normalize = normalize == 1 ? Normalize::Track : normalize == 2 ? Normalize::Album : Normalize::Off;
    job.targetLufs = object.value(QStringLiteral("targetLufs")).toDouble(-16.0);
    // An album whose loudness could not be measured (silence) has none: the gain is then 0.
    job.albumLoudness = object.value(QStringLiteral("albumLoudness")).toDouble(-HUGE_VAL);
    job.albumPeak = object.value(QStringLiteral("albumPeak")).toDouble(-HUGE_VAL);
    job.albumLoss = object.value(QStringLiteral("albumLoss")).toDouble(0.0);
    job.syncRecord = object.value(QStringLiteral("syncRecord")).toString();
    job.copySource = object.value(QStringLiteral("copySource")).toBool();
    if (job.source.isEmpty() || job.workFolder.isEmpty() || !isBitRate(job.bitRate) || job.channelMode < 0 ||
        job.channelMode >= ChannelModeCount)
        return std::nullopt;
    return job;
}

QByteArray startedLine() {
    return QByteArrayLiteral("started\n");
}

QByteArray decodingLine(const QString& songText) {
    // A JSON array of one string is the shortest standard way to quote any text on one line.
    const QByteArray quoted = QJsonDocument(QJsonArray{songText}).toJson(QJsonDocument::Compact);
    return "decoding " + quoted + '\n';
}

QByteArray progressLine(int percent) {
    return "progress " + QByteArray::number(percent) + '\n';
}

QByteArray outcomeLine(const Outcome& outcome) {
    return "outcome " +
           compact({{QStringLiteral("failure"), int(outcome.failure)},
                    {QStringLiteral("code"), outcome.code},
                    {QStringLiteral("reason"), outcome.reason},
                    {QStringLiteral("cause"), outcome.cause},
                    {QStringLiteral("notes"), QJsonArray::fromStringList(outcome.notes)}}) +
           '\n';
}

WorkerEvent parseWorkerLine(const QByteArray& raw) {
    const QByteArray line = raw.trimmed();
    const qsizetype space = line.indexOf(' ');
    const QByteArray word = space < 0 ? line : line.left(space);
    const QByteArray rest = space < 0 ? QByteArray() : line.mid(space + 1);
    WorkerEvent event;
    if (word == "started") {
        event.kind = WorkerEvent::Started;
    } else if (word == "decoding") {
        const QJsonDocument document = QJsonDocument::fromJson(rest);
        if (document.isArray()) {
            event.kind = WorkerEvent::Decoding;
            event.songText = document.array().at(0).toString();
        }
    } else if (word == "progress") {
        bool ok = false;
        event.percent = rest.toInt(&ok);
        if (ok)
            event.kind = WorkerEvent::Progress;
    } else if (word == "outcome") {
        const QJsonObject object = QJsonDocument::fromJson(rest).object();
        const int failure = object.value(QStringLiteral("failure")).toInt(-1);
        if (failure >= int(Failure::None) && failure <= int(Failure::WorkerLost)) {
            event.kind = WorkerEvent::Finished;
            event.outcome.failure = Failure(failure);
            event.outcome.code = object.value(QStringLiteral("code")).toInt();
            event.outcome.reason = object.value(QStringLiteral("reason")).toString();
            event.outcome.cause = object.value(QStringLiteral("cause")).toString();
            for (const QJsonValue& note : object.value(QStringLiteral("notes")).toArray())
                event.outcome.notes << note.toString();
        }
    }
    return event;
}

} // namespace core::protocol
