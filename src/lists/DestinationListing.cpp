// The destination list: the MP3 files of the destination folder in date or name order, with the file
// count and the free space of the destination's and the work folder's volumes.

#include "lists/ListHelpers.h"
#include "shell/MainForm.h"
#include "shell/PathHelpers.h"

#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QRadioButton>
#include <algorithm>

void MainForm::GetDiskFree() {
    const QString folder = AddPathSep(SelectFolderText[2]->text());
    const bool byDate = ListSort[0]->isChecked();

    FileList->clear();
    DFileList->clear();

    // The hidden list keeps its entries in order by comparing their case-folded texts; folding both
    // texts anew for every comparison made sorting a large folder slow. The entries are put in order here
    // with exactly that comparison, each text folded once, and handed to the list already sorted (a
    // stable sort, as the list's own, so equal texts keep the order the folder gave them).
    struct Entry {
        QString folded;
        QString text;
    };
    const int utcOffset = QDateTime::currentDateTime().offsetFromUtc();
    QList<Entry> entries;
    for (const QString& name : mp3FileNames(folder)) {
        QString text = byDate ? creationSortKey(creationTime(AddPathSep(SelectFolderText[2]->text()) + name),
                                                name, utcOffset)
                              : name;
        entries.append({text.toCaseFolded(), std::move(text)});
    }
    std::stable_sort(entries.begin(), entries.end(), [](const Entry& a, const Entry& b) {
        return QString::localeAwareCompare(a.folded, b.folded) < 0;
    });
    FileList->setSortingEnabled(false);
    for (const Entry& entry : entries)
        FileList->addItem(makeSortedListItem(entry.text));
    FileList->setSortingEnabled(true);

    QStringList names;
    names.reserve(FileList->count());
    for (int i = 0; i < FileList->count(); ++i) {
        const QString entry = FileList->item(i)->text();
        names.append(byDate ? entry.mid(SortKeyDateLength) : entry);
    }
    DFileList->addItems(names);

    // When the work folder lies on the destination's volume both labels show that volume's space, from
    // the one reading: the work label must never keep the figure of a volume the work folder has left.
    const std::optional<VolumeSpace> destination = volumeOf(SelectFolderText[2]->text());
    const std::optional<VolumeSpace> work = volumeOf(SelectFolderText[1]->text());
    if (destination)
        FreeSpace->setText(destinationFreeText(DFileList->count(), destination->bytesAvailable));
    if (work && destination && destination->rootPath == work->rootPath)
        TempFree->setText(workFreeText(destination->bytesAvailable));
    else if (work)
        TempFree->setText(workFreeText(work->bytesAvailable));
}

void MainForm::ListSort_Click(int) {
    GetDiskFree();
}
