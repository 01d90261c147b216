#include "options/OptionsSummary.h"

#include <QLocale>
#include <QStringList>

namespace options {

QString lufsText(double lufs) {
    QString text = QString::number(lufs, 'f', 1);
    if (text.endsWith(QLatin1String(".0")))
        text.chop(2);
    return text;
}

QString optionsStatusText(const core::RunOptions& options) {
    QStringList on;
    if (options.update)
        on << (options.checksum ? QStringLiteral("更新分のみ（内容比較）") : QStringLiteral("更新分のみ"));
    if (options.noUpscale)
        on << QStringLiteral("元より上げない");
    if (options.keepDates)
        on << QStringLiteral("日付を保持");
    if (options.id3v23)
        on << QStringLiteral("ID3v2.3");
    if (options.coverMax > 0)
        on << QStringLiteral("カバー %1px").arg(options.coverMax);
    if (options.normalize == core::Normalize::Track)
        on << QStringLiteral("音量 %1 LUFS").arg(lufsText(options.targetLufs));
    else if (options.normalize == core::Normalize::Album)
        on << QStringLiteral("音量（アルバム）%1 LUFS").arg(lufsText(options.targetLufs));
    if (options.vbrQuality >= 0)
        on << QStringLiteral("VBR V%1").arg(options.vbrQuality);
    if (options.fatNames)
        on << QStringLiteral("FAT 名");
    if (on.isEmpty())
        return QString();
    return QStringLiteral("オプション：") + on.join(QStringLiteral("・"));
}

QString runSummaryStatusText(const core::RunSummary& summary) {
    // Grouped by threes with commas whatever the user's locale, as the command line's summary is.
    const QLocale c(QLocale::English, QLocale::UnitedStates);
    QStringList counts{
        QStringLiteral("変換 %1").arg(summary.converted), QStringLiteral("コピー %1").arg(summary.copied),
        QStringLiteral("スキップ %1").arg(summary.skipped), QStringLiteral("失敗 %1").arg(summary.failed)};
    if (summary.pruned > 0)
        counts << QStringLiteral("削除 %1").arg(summary.pruned);
    return counts.join(QStringLiteral("・")) +
           QStringLiteral("　読み込み %1 バイト・書き込み %2 バイト　%3 秒")
               .arg(c.toString(summary.bytesRead), c.toString(summary.bytesWritten))
               .arg(double(summary.elapsedMs) / 1000.0, 0, 'f', 1);
}

} // namespace options
