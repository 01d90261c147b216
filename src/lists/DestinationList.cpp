// The destination list: the listing model of the destination folder in date or name order, with the file
// count and the free space of the destination's and the work folder's volumes.

#include "lists/ListHelpers.h"
#include "shell/MainForm.h"
#include "shell/PathHelpers.h"

#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QRadioButton>

void MainForm::GetDiskFree() {
    m_listing.load(AddPathSep(SelectFolderText[2]->text()), ListSort[0]->isChecked()
                                                                ? core::DestinationListing::Order::ByDate
                                                                : core::DestinationListing::Order::ByName);
    showDestination();
}

void MainForm::showDestination() {
    DFileList->clear();
    DFileList->addItems(m_listing.names());

    // When the work folder lies on the destination's volume both labels show that volume's space, from
    // the one reading: the work label must never keep the figure of a volume the work folder has left.
    const std::optional<VolumeSpace> destination = volumeOf(SelectFolderText[2]->text());
    const std::optional<VolumeSpace> work = volumeOf(SelectFolderText[1]->text());
    if (destination)
        FreeSpace->setText(destinationFreeText(m_listing.count(), destination->bytesAvailable));
    if (work && destination && destination->rootPath == work->rootPath)
        TempFree->setText(workFreeText(destination->bytesAvailable));
    else if (work)
        TempFree->setText(workFreeText(work->bytesAvailable));
}

void MainForm::ListSort_Click() {
    GetDiskFree();
}
