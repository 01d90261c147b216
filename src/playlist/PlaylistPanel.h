#pragma once

#include "ui/Panel.h"

#include <QObject>

namespace core {
class DestinationListing;
}
class QCheckBox;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;

// The lower right of the window: the playlist's file name, its editable text built from the destination
// listing, the box that puts the destination folder before each name, and the save button.
class PlaylistPanel : public QObject {
    Q_OBJECT

  public:
    PlaylistPanel(const PanelContext& context, const core::DestinationListing& destination);

    QString name() const;
    void setName(const QString& name);
    // The path box as the settings store it: 0 unchecked, 1 checked, 2 partly checked (kept until the
    // user's click, which only ever checks or clears it).
    int pathSetting() const;
    void setPathSetting(int setting);

    // The destination folder, where the playlist is saved and whose path the entries may carry.
    void setDestinationFolder(const QString& folder) { m_destinationFolder = folder; }

  private:
    void MakePlayList_Click();
    void SavePlayList_Click();

    PanelContext m_context;
    const core::DestinationListing& m_destination;
    QLineEdit* PlayListName;
    QPlainTextEdit* M3UText;
    QPushButton* MakePlayList;
    QCheckBox* SetPathCheck;
    QPushButton* SavePlayList;

    QString m_destinationFolder;
};
