#include "core/files/DestinationCheck.h"
#include "core/files/FatNames.h"
#include "core/text/TextConstants.h"

#include <QDir>
#include <QFileInfo>
#include <QStorageInfo>
#include <QTemporaryFile>

namespace core {
namespace {

QString native(const QString& path) {
    return QDir::toNativeSeparators(path);
}

// The deepest level of `path` that exists: the one whose refusal kept the rest from being made.
QString deepestExisting(const QString& path) {
    QString level = QDir::cleanPath(QDir(path).absolutePath());
    while (!QFileInfo::exists(level)) {
        const QString parent = QFileInfo(level).path();
        if (parent == level)
            break;
        level = parent;
    }
    return level;
}

QString fatNameCause() {
    return QStringLiteral(
        "変換先のファイルシステム（FAT・exFAT など）では名前に使えない文字（: ? \" * < > | \\ "
        "など）が含まれているか、名前が点か空白で終わっています。");
}

} // namespace

Result checkDestinationFolder(const QString& folder) {
    const QFileInfo info(folder);
    if (!info.exists())
        return Error{QStringLiteral("変換先フォルダが見つかりません。")};
    if (!info.isDir())
        return Error{QStringLiteral("変換先フォルダの名前のファイルがあります。")};
    if (QStorageInfo(folder).isReadOnly())
        return Error{QStringLiteral("変換先フォルダは読み取り専用のボリュームにあります。")};
    QTemporaryFile probe(QDir(folder).filePath(QStringLiteral(".MP3Recast-XXXXXX")));
    if (probe.open())
        return {};
    if (!info.isWritable())
        return Error{QStringLiteral("変換先フォルダに書き込む権限がありません。")};
    if (QStorageInfo(folder).bytesAvailable() == 0)
        return Error{QStringLiteral("ディスクの空き容量がありません。")};
    return Error{QStringLiteral("変換先フォルダにファイルを作成できません（%1）。").arg(probe.errorString())};
}

Result makeDestinationFolder(const QString& folder) {
    // mkpath's failure is taken apart below: the deepest level that exists tells the cause.
    if (QFileInfo(folder).isDir() || QDir().mkpath(folder))
        return checkDestinationFolder(folder);
    const QString level = deepestExisting(folder);
    const QFileInfo info(level);
    QString why;
    const QString missing = QDir(level).relativeFilePath(folder);
    if (info.isDir() && hasNameFatRefuses(missing.section(QLatin1Char('/'), 0, 0)))
        why = fatNameCause();
    else if (!info.isDir())
        why = QStringLiteral("%1 はフォルダではありません。").arg(native(level));
    else if (QStorageInfo(level).isReadOnly())
        why = QStringLiteral("%1 は読み取り専用のボリュームにあります。").arg(native(level));
    else if (!info.isWritable())
        why = QStringLiteral("%1 に書き込む権限がありません。").arg(native(level));
    return Error{QStringLiteral("変換先フォルダを作成できません。") + why};
}

QString copyFailureCause(const QString& destination) {
    const QFileInfo target(destination);
    // Checked only once the copy failed: elsewhere such names are fine.
    if (!target.exists() && hasNameFatRefuses(target.fileName()))
        return fatNameCause();
    if (target.isDir())
        return QStringLiteral("変換先に同じ名前のフォルダがあります。");
    if (target.exists() && !(target.permissions() & QFileDevice::WriteOwner))
        return QStringLiteral("変換先の同じ名前のファイルが書き込み禁止になっています。");
    const Result ready = checkDestinationFolder(target.path());
    return ready ? DiskSpaceHint : ready.reason();
}

bool isFolderOf(const QString& folder, const QString& file) {
    const QString canonicalFolder = QFileInfo(folder).canonicalFilePath();
    const QString fileFolder = QFileInfo(file).absoluteDir().canonicalPath();
    return !canonicalFolder.isEmpty() && canonicalFolder == fileFolder;
}

} // namespace core
