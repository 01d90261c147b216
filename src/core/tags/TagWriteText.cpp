#include "core/tags/TagWriteText.h"

#include "vbmp3.h"

namespace core {

QString tagWriteFailedText() {
    return QStringLiteral("タグ情報の更新に失敗しました。");
}

QString tagWriteFailureReason(int code) {
    switch (code) {
    case VBMP3_TAG_NOT_WRITABLE:
        return QStringLiteral("ファイルまたはフォルダに書き込めません。");
    case VBMP3_TAG_DISK_FULL:
        return QStringLiteral("ディスクの空き容量が足りません。");
    case VBMP3_TAG_UNSAFE:
        return QStringLiteral("タグまたは音声データを安全に読み取れないため、書き込みませんでした。");
    case VBMP3_TAG_RIFF:
        return QStringLiteral("WAV (RIFF) 形式のファイルにはタグを書き込めません。");
    case VBMP3_TAG_MISSING:
        return QStringLiteral("ファイルが見つからないか、読み取れません。");
    default:
        return QStringLiteral("タグを書き込めませんでした。");
    }
}

QString tagWriteFailureMessage(int code) {
    return tagWriteFailedText() + QLatin1Char('\r') + tagWriteFailureReason(code);
}

} // namespace core
