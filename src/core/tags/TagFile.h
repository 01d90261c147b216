// One MP3 file's tag as the tag editor sees it: loaded into editable values, and saved back with a result
// that says whether it was written and, when not, why. Nothing is shown from here.
#pragma once

#include "core/Result.h"

#include <QString>
#include <QStringList>
#include <optional>

namespace core {

struct TagValues {
    QString title;
    QString artist;
    QString album;
    QString year;
    QString comment;
    int genre = -1;       // 0..255, -1 for none
    int trackNumber = -1; // -1: a version 1.0 tag, without a track number
};

class TagFile {
  public:
    // `path` as the user chose it; blanks at either end are kept only when a file of exactly that name
    // exists.
    explicit TagFile(QString path);

    [[nodiscard]] const QString& path() const { return m_path; }
    // The 256 entries of the genre list, "000 - Blues" and so on.
    [[nodiscard]] static QStringList genreItems();
    // The file's tag, or nothing when the file has none (or cannot be read).
    [[nodiscard]] std::optional<TagValues> load() const;
    // Whether a search for the file would find it: it exists and is not hidden. Nothing is written into a
    // file that is not found.
    [[nodiscard]] bool isFound() const;
    // Writes the values as the file's tag. A write-protected file is made writable for good first, so
    // that the tag can go in. Fails with the library's reason, or the folder's, when the tag did not go in.
    core::Result save(const TagValues& values) const;

  private:
    QString m_path;
};

} // namespace core
