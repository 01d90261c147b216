// The destination list: the MP3 files of the destination folder in date or name order, with the file
// count and the free space of the destination's and the work folder's volumes.

#include "lists/ListHelpers.h"
#include "shell/MainForm.h"
#include "shell/PathHelpers.h"

#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QRadioButton>

void MainForm::GetDiskFree() {
    const QString folder = AddPathSep(SelectFolderText[2]->text());
    const bool byDate = ListSort[0]->isChecked();

    FileList->clear();
    DFileList->clear();

    // The hidden list keeps itself sorted as entries arrive; its sorting is switched off while they go in
    // so that a folder of thousands of files is sorted once instead of searched once per file.
    const int utcOffset = QDateTime::currentDateTime().offsetFromUtc();
    QList<QListWidgetItem*> entries;
    for (const QString& name : mp3FileNames(folder)) {
        const QString entry =
            byDate ? creationSortKey(creationTime(AddPathSep(SelectFolderText[2]->text()) + name), name,
                                     utcOffset)
                   : name;
        entries.append(makeSortedListItem(entry));
    }
    FileList->setSortingEnabled(false);
    for (QListWidgetItem* entry : entries)
        FileList->addItem(entry);
    FileList->sortItems(Qt::AscendingOrder);
    FileList->setSortingEnabled(true);

    QStringList names;
    names.reserve(FileList->count());
    for (int i = 0; i < FileList->count(); ++i) {
        const QString entry = FileList->item(i)->text();
        names.append(byDate ? entry.mid(SortKeyDateLength) : entry);
    }
    DFileList->addItems(names);

    // One volume answers for one label only: when the work folder lies on the destination's volume, the
    // destination label shows its space and the work label keeps what it had.
    const std::optional<VolumeSpace> destination = volumeOf(SelectFolderText[2]->text());
    const std::optional<VolumeSpace> work = volumeOf(SelectFolderText[1]->text());
    if (destination)
        FreeSpace->setText(destinationFreeText(DFileList->count(), destination->bytesAvailable));
    if (work && !(destination && destination->rootPath == work->rootPath))
        TempFree->setText(workFreeText(work->bytesAvailable));
}

void MainForm::ListSort_Click(int) {
    GetDiskFree();
}
