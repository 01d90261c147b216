// Names on the file systems of USB sticks and SD cards (FAT32, exFAT): which names they refuse, the
// names written instead when asked, and whether a folder tells letter case apart.
#pragma once

#include <QString>

namespace core {

// True when FAT and exFAT refuse the name: a character of : ? " * < > | \ or a control character, or a
// trailing dot or space (which the vfat driver drops).
[[nodiscard]] bool hasNameFatRefuses(const QString& name);

// The name such a volume takes: each of : ? " * < > | \ in the full-width form Japanese users write
// (：？＂＊＜＞｜＼), a control character as "_", trailing dots and spaces dropped. A name with nothing
// to change comes back as it is.
[[nodiscard]] QString fatSafeName(const QString& name);

// fatSafeName for each level of a relative path ("AC:DC/Live." gives "AC：DC/Live").
[[nodiscard]] QString fatSafeRelativePath(const QString& relative);

// True when the file system `folder` lies on (or, while it is missing, its nearest existing level) takes
// "Song.mp3" and "SONG.MP3" for one name, as FAT32, exFAT and NTFS do. Told from an entry that is
// there, or, in a folder without one, from a hidden probe file made and removed at once; a folder that
// can be neither read nor written counts as one that tells case apart.
[[nodiscard]] bool foldsLetterCase(const QString& folder);

} // namespace core
