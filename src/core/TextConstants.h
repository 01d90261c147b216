// Texts the window and the core share.
#pragma once

#include <QString>

namespace core {

// The line break of the program's messages and files (playlists, status texts), as on the system its
// users came from.
inline const QString CRLF = QStringLiteral("\r\n");

} // namespace core
