#pragma once

#include "core/Result.h"

#include <QByteArray>
#include <QString>
#include <QStringList>

// The M3U playlist as text and as a file, apart from the window so that both can be checked directly.
namespace ui {

// One line per entry, in the given order, each the prefix followed by the entry and CR LF (the last line
// included). No entries give an empty text.
QString playListText(const QStringList& entries, const QString& prefix);

// The file's bytes for the text of the playlist box: every line ended by CR LF, whatever line breaks the
// box uses, then one more CR LF, in the platform's encoding (UTF-8).
QByteArray playListFileBytes(const QString& boxText);

// Writes `bytes` as the file `name` in `folderText` (a folder field's text), replacing an existing file of
// that name only once the new contents are completely on disk. A failure gives the reason in words for
// the user and leaves every existing file exactly as it was.
core::Result writePlayListFile(const QString& folderText, const QString& name, const QByteArray& bytes);

} // namespace ui
