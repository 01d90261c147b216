#pragma once

#include "core/models/DestinationListing.h"
#include "ui/Panel.h"

#include <QObject>
#include <array>
#include <optional>

class QLabel;
class QLineEdit;
class QListWidget;
class QPushButton;
class QRadioButton;

// The lower left of the window: the destination folder, its MP3 files in date or name order with their
// count and free space, and the buttons that make a folder and delete the selected files. The listing is
// a model of the core; the list shows it.
class DestinationPanel : public QObject {
    Q_OBJECT

  public:
    explicit DestinationPanel(const PanelContext& context);

    const core::DestinationListing& listing() const { return m_listing; }

    QString folder() const;
    // Shows the folder; the listing follows with the next GetDiskFree.
    void setFolder(const QString& folder);
    // 0 by creation date, 1 by name; -1 when neither is selected. Selecting the other order lists the
    // destination again.
    int sortIndex() const;
    void setSortIndex(int index);

    // Reads the destination folder afresh and shows it.
    void GetDiskFree();
    // After a run's file: the listing takes in the file placed at `destination`.
    void showPlacedFile(const QString& destination, bool placed);

  signals:
    void folderChanged(const QString& folder);
    // The listing is shown; the destination's volume as read for it (none when it cannot be read).
    void listingShown(const std::optional<core::VolumeSpace>& destinationVolume);
    // A double-click on a destination file asks for its tag editor.
    void tagEditRequested(const QString& path);

  private:
    void SelctFolder_Click();
    void ListSort_Click();
    void MakeNewDir_Click();
    void DeleteFile_Click();
    void DFileList_DblClick();
    void showDestination();

    PanelContext m_context;
    QLineEdit* SelectFolderText;
    QPushButton* SelctFolder;
    QPushButton* MakeNewDir;
    QListWidget* DFileList;
    QPushButton* DeleteFile;
    std::array<QRadioButton*, 2> ListSort;
    QLabel* FreeSpace;

    core::DestinationListing m_listing;
};
