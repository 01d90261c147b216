#include "playlist/PlaylistFile.h"

#include "core/files/AtomicFile.h"
#include "core/text/TextConstants.h"
#include "ui/PathHelpers.h"

#include <QDir>
#include <QFileInfo>

namespace {

// A name that cannot stand for a file of its own inside the folder. The name is used exactly as typed,
// blanks included, but it must not reach into another folder or name the folder itself.
bool isUsableFileName(const QString& name) {
    if (name == QLatin1String(".") || name == QLatin1String(".."))
        return false;
    if (name.contains(QChar(0)) || name.contains(QLatin1Char('/')) || name.contains(QDir::separator()))
        return false;
#ifdef Q_OS_WIN
    for (const QChar c : name) {
        if (c.unicode() < 32 || QStringLiteral("<>:\"|?*").contains(c))
            return false;
    }
#endif
    return true;
}

QString cannotWrite(const QString& reason) {
    return QStringLiteral("ﾌｧｲﾙに書き込めません。(%1)").arg(reason);
}

} // namespace

QString ui::playListText(const QStringList& entries, const QString& prefix) {
    QString text;
    for (const QString& entry : entries)
        text += prefix + entry + core::CRLF;
    return text;
}

QByteArray ui::playListFileBytes(const QString& boxText) {
    QString text = boxText;
    text.replace(core::CRLF, QStringLiteral("\n"));
    text.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    text.replace(QLatin1Char('\n'), core::CRLF);
    return (text + core::CRLF).toUtf8();
}

core::Result ui::writePlayListFile(const QString& folderText, const QString& name, const QByteArray& bytes) {
    if (name.isEmpty())
        return core::Error{QStringLiteral("ﾌﾟﾚｲﾘｽﾄﾌｧｲﾙ名が入力されていません。")};
    if (!isUsableFileName(name))
        return core::Error{QStringLiteral("ﾌﾟﾚｲﾘｽﾄﾌｧｲﾙ名に使えない文字が含まれています。")};

    const QString folder = QDir::fromNativeSeparators(AddPathSep(folderText));
    if (folderText.isEmpty() || !QFileInfo(folder).isDir())
        return core::Error{QStringLiteral("変換先ﾌｫﾙﾀﾞが見つかりません。")};

    const QString path = folder + name;
    const QFileInfo existing(path);
    if (existing.exists() || existing.isSymLink()) {
        if (existing.isDir())
            return core::Error{QStringLiteral("同じ名前のﾌｫﾙﾀﾞがあります。")};
        // Renaming a new file over a write-protected one would silently defeat its protection.
        if (!(existing.permissions() & QFileDevice::WriteOwner))
            return core::Error{QStringLiteral("ﾌｧｲﾙが読み取り専用です。")};
    }

    if (const core::Result written = core::writeFileAtomically(path, bytes); !written)
        return core::Error{cannotWrite(written.reason()), written.systemError()};
    return {};
}
