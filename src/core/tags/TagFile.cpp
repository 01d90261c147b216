#include "core/tags/TagFile.h"

#include "codecs/decoder.h"
#include "core/convert/Converter.h"
#include "core/files/FileHelpers.h"
#include "core/tags/TagFields.h"
#include "core/tags/TagWriteText.h"

#include <QFile>
#include <QFileInfo>

namespace core {
namespace {

constexpr int GenreCount = 256;

// True when a search for the path would find it: an existing file that is not hidden. A path whose
// folder can no longer be reached is simply not found.
bool isVisibleFile(const QString& path) {
    if (path.isEmpty() || path.contains(QChar(0)))
        return false;
    const QFileInfo info(path);
    return info.isFile() && !info.fileName().startsWith(QLatin1Char('.'));
}

} // namespace

TagFile::TagFile(QString path) : m_path(std::move(path)) {}

QStringList TagFile::genreItems() {
    codecs::Decoder decoder;
    QStringList genres;
    genres.reserve(GenreCount);
    for (int number = 0; number < GenreCount; ++number)
        genres.append(core::genreItemText(number, decoder.genreName(number)));
    return genres;
}

std::optional<TagValues> TagFile::load() const {
    codecs::TagRecord record;
    if (!codecs::Decoder().getFileTagInfo(core::tagLibraryPath(m_path), record))
        return std::nullopt;
    TagValues values;
    // Not trimmed: blanks a field ends in stay visible.
    values.title = CutAtNul(record.title);
    values.artist = CutAtNul(record.artist);
    values.album = CutAtNul(record.album);
    values.year = CutAtNul(record.year);
    values.comment = CutAtNul(record.comment);
    // A number outside the list (a damaged tag, another library's range) is no genre.
    values.genre = record.genre >= 0 && record.genre < GenreCount ? record.genre : -1;
    values.trackNumber = record.trackNumber;
    return values;
}

bool TagFile::isFound() const {
    return isVisibleFile(m_path);
}

Result TagFile::save(const TagValues& values) const {
    if (!isFound())
        return Error{QStringLiteral("ファイルが見つかりません。")};
    const QString path = core::tagLibraryPath(m_path);
    core::makePlainWritable(path);

    codecs::TagRecord record;
    record.title = values.title;
    record.artist = values.artist;
    record.album = values.album;
    record.year = values.year;
    record.comment = values.comment;
    record.genre = values.genre;
    // The genre name stays empty: the library names the genre from its number.
    record.trackNumber = values.trackNumber;
    // The library pads every text with blanks to its field.
    codecs::Decoder decoder;
    if (decoder.setTagInfo(path, record))
        return {};
    // The library's own reason when it gives one; otherwise what the folder tells of the cause.
    const int code = decoder.lastTagError();
    return Error{code > 0 ? tagWriteFailureReason(code) : writeFailureCause(QFileInfo(path).absolutePath())};
}

} // namespace core
