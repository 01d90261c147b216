// Texts the window, the command line and the core share, spelled out once.
#pragma once

#include <QString>

namespace core {

// The line break of the program's messages and files (playlists, status texts), as on the system its
// users came from.
inline const QString CRLF = QStringLiteral("\r\n");

// The cause given when a write stopped short and the system named nothing more precise.
inline const QString DiskSpaceHint = QStringLiteral("ディスクの空き容量を確認してください。");

// The message of a failure no handler expected.
inline const QString UnexpectedErrorText = QStringLiteral("予期しないエラーが発生しました。");

// The first line of the message when a converted file cannot be made in the destination.
inline const QString DestinationFailedText = QStringLiteral("変換ファイルの作成に失敗しました。");

} // namespace core
