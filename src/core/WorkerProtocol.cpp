#include "core/WorkerProtocol.h"

#include "core/EncodingChoices.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

namespace core::protocol {
namespace {

QByteArray compact(const QJsonObject& object) {
    return QJsonDocument(object).toJson(QJsonDocument::Compact);
}

} // namespace

QByteArray jobLine(const ConversionJob& job) {
    return compact({{QStringLiteral("source"), job.source},
                    {QStringLiteral("workFolder"), job.workFolder},
                    {QStringLiteral("bitRate"), job.bitRate},
                    {QStringLiteral("channelMode"), job.channelMode},
                    {QStringLiteral("syncRecord"), job.syncRecord},
                    {QStringLiteral("copySource"), job.copySource}}) +
           '\n';
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
                    {QStringLiteral("cause"), outcome.cause}}) +
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
        }
    }
    return event;
}

} // namespace core::protocol
