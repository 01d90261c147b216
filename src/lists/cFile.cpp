#include "lists/cFile.h"

#include "core/files/DestinationCheck.h"
#include "ui/PathHelpers.h"

#include <QDir>
#include <QFileInfo>

bool cFile::MakeDirs(QString& path) {
    path = AddPathSep(path);
    // The destination check's maker creates the missing levels from the top down and stops at the first
    // it cannot make, so the levels made before a failure stay. Its answer also says whether files can be
    // written there; whether the folder now stands is all that counts here, so the answer is not taken.
    const QString folder = QDir::fromNativeSeparators(path);
    if (folder.contains(QChar(0)))
        return false;
    static_cast<void>(core::makeDestinationFolder(folder));
    return QFileInfo(folder).isDir();
}
