#pragma once

#include <QString>

// File-system utilities of the destination side. Holds no state; an instance lives for one call.
class cFile {
  public:
    // Creates every missing folder level of `path`. On return `path` ends with the path separator
    // (appended when it had none), whatever the result. True when every level exists afterwards; false
    // as soon as one level cannot be created (invalid name, a file in the way, no access, no such
    // volume). Levels created before such a failure stay.
    [[nodiscard]] bool MakeDirs(QString& path);
};
