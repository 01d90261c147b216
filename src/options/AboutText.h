// 「バージョン情報」: the program's identity, the libraries it works with and its licence.
#pragma once

#include "ui/ProgramInfo.h"

#include <QString>

namespace options {

// Each library's version as far as the program can tell; an empty text is shown as unknown.
struct LibraryVersions {
    QString mpg123;  // what the decoder library was built against (it links libmpg123, the program not)
    QString taglib;  // likewise
    QString lame;    // as the encoder library reports it at run time
    QString ebur128; // as the loaded libebur128 reports it
    QString qt;      // the Qt the program runs on
};

// The versions for the running program. Loads the encoder library to ask it; a library that cannot be
// loaded gives an empty lame.
LibraryVersions libraryVersions();

QString aboutText(const ProgramInfo& info, const LibraryVersions& versions);
QString aboutText(const ProgramInfo& info);

} // namespace options
