#include "options/AboutText.h"

#include "codecs/encoder.h"

#include <QRegularExpression>
#include <QStringList>
#include <ebur128.h>
#include <exception>

namespace options {
namespace {

QString orUnknown(const QString& version) {
    return version.isEmpty() ? QStringLiteral("不明") : version;
}

// The encoder names itself and then LAME ("libgogo 1.00 (MP3Recast) with LAME 3.100"); only LAME's part
// means anything to a user. A text in another form is shown whole rather than lost.
QString lameVersion(const QString& encoderText) {
    static const QRegularExpression lame(QStringLiteral("LAME\\s+(\\S+)"));
    const QRegularExpressionMatch match = lame.match(encoderText);
    return match.hasMatch() ? match.captured(1) : encoderText.trimmed();
}

} // namespace

LibraryVersions libraryVersions() {
    LibraryVersions versions;
    versions.mpg123 = QStringLiteral(MP3RECAST_MPG123_VERSION);
    versions.taglib = QStringLiteral(MP3RECAST_TAGLIB_VERSION);
    try {
        int number = 0;
        if (const auto text = codecs::Encoder::versionText(codecs::Encoder().getVersion(number)))
            versions.lame = lameVersion(*text);
    } catch (const std::exception&) {
        // No encoder library: its version stays unknown, and the about box says so.
        versions.lame.clear();
    }
    int major = 0, minor = 0, patch = 0;
    ebur128_get_version(&major, &minor, &patch);
    versions.ebur128 = QStringLiteral("%1.%2.%3").arg(major).arg(minor).arg(patch);
    versions.qt = QString::fromLatin1(qVersion());
    return versions;
}

QString aboutText(const ProgramInfo& info, const LibraryVersions& versions) {
    const QString version =
        QStringLiteral("%1.%2.%3").arg(info.versionMajor).arg(info.versionMinor).arg(info.versionRevision);
    QStringList lines;
    lines
        << info.title + QStringLiteral(" Version ") + version << QStringLiteral("Copyright ") + info.copyright
        << QString()
        << QStringLiteral("MP3 ファイルを別のビットレートで変換し直す、日本語のデスクトッププログラムです。")
        << QString() << QStringLiteral("使っているライブラリ：")
        << QStringLiteral("　libmpg123 %1（デコード、ビルド時のバージョン）").arg(orUnknown(versions.mpg123))
        << QStringLiteral("　TagLib %1（タグ、ビルド時のバージョン）").arg(orUnknown(versions.taglib))
        << QStringLiteral("　LAME %1（エンコード）").arg(orUnknown(versions.lame))
        << QStringLiteral("　libebur128 %1（音量の測定）").arg(orUnknown(versions.ebur128))
        << QStringLiteral("　Qt %1（ウィンドウ、デスクトップ通知）").arg(orUnknown(versions.qt)) << QString()
        << QStringLiteral(
               "MIT ライセンス（Expat）で配布しています。各ライブラリはそれぞれのライセンスに従います"
               "（libmpg123・TagLib・LAME・Qt は LGPL、libebur128 は MIT）。");
    return lines.join(QLatin1Char('\n'));
}

QString aboutText(const ProgramInfo& info) {
    return aboutText(info, libraryVersions());
}

} // namespace options
