#pragma once

#include <QString>
#include <QStringList>

// The rules by which the tag editor turns its controls into tag record values and back, kept apart from
// the window so that they can be checked directly.

namespace core {

// The genre list item for genre number n: n as three digits, " - ", then the library's name for it
// (blanks at either end removed). "007 - Rock"; a genre without a name gives "123 - ".
[[nodiscard]] QString genreItemText(int number, const QString& libraryName);

// The numeric value of a track number text: the decimal number at its start (sign, fraction and
// exponent allowed), blanks anywhere in the text ignored, 0 when it does not start with a number;
// rounded to the nearest integer, halves to the even neighbour, and cut to the 32-bit signed range.
// "7a" gives 7, "1 2" gives 12, "2.5" gives 2, "3.5" gives 4, "abc" gives 0.
qint32 trackNumberValue(const QString& text);

// The path handed to the decoder library for the file the editor works on: the path without blanks at
// either end, unless a file of exactly that name exists (a name on this platform may begin or end in a
// blank, and the trimmed path would name another file).
[[nodiscard]] QString tagLibraryPath(const QString& tagFilePath);

// The genre the editor's genre box stands for: the item whose text equals the box's text, or whose genre
// name does (either ignoring case, blanks at either end ignored); -1 for an empty box or a text that names
// no item.
[[nodiscard]] int genreIndexOfText(const QString& text, const QStringList& items);

} // namespace core
