// Finds, loads and resolves the two codec libraries at run time.
#pragma once

#include "codecs/codec_error.h"

#include <QFunctionPointer>
#include <QString>

namespace codecs {

enum class Library { Decoder, Encoder };

// The library's base name ("vbmp3", "gogo") and its file name on this platform ("libvbmp3.so").
QString libraryBaseName(Library library);
QString libraryFileName(Library library);

// Loads the library on first use - from the executable's folder first, then the installed program's private
// library folder (MP3RECAST_PRIVATE_LIBDIR_REL from the executable's folder), then the system's library path
// - and returns the named operation. Throws CodecError naming the library and the operation when the library
// cannot be loaded or lacks it. A loaded library stays loaded for the life of the process.
QFunctionPointer resolveOperation(Library library, const char* operation);

// The error raised for an operation the library lacks.
CodecError missingOperationError(Library library, const char* operation);

// Changes whenever a library location changes, so callers that keep resolved operations know to drop them.
unsigned libraryGeneration();

// Loads the library from exactly this path (or base name) instead; an empty path restores the normal
// search. For tests that need a missing library or one lacking operations.
void setLibraryLocation(Library library, const QString& path);

} // namespace codecs
