// Where the Japanese guide lies, for the window's 「使い方」 to open it.
#pragma once

#include <QString>

namespace options {

// The guide of an installation (share/doc/mp3recast/guide-ja.html reached from the program's folder), else
// the source tree's docs/guide-ja.html for a program run from its build tree; empty when neither exists.
QString guidePath(const QString& executableFolder);
// The same for the running program.
QString guidePath();

} // namespace options
