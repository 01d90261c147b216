#pragma once

#include "core/tags/TagFile.h"

#include <QDialog>
#include <QString>
#include <array>

class Dialogs;
class QComboBox;
class QLineEdit;
class QPushButton;
class QRadioButton;

// The modal editor of one MP3 file's ID3 version 1 tag. Each opening builds a fresh window for the file:
// load fills it from the file, "更新" writes the edited tag back and closes (a refused write is shown and
// the window stays open with the edits), "閉じる" (or any other way of closing) writes nothing. The controls
// carry their control names as object names ("txtArtist", "chkSelVer(1)").
class frmTagInput : public QDialog {
    Q_OBJECT

  public:
    // `title` is the program's, for the message boxes; `path` the full path of the file.
    frmTagInput(QWidget* parent, Dialogs& dialogs, QString title, const QString& path);

    // The window's load: genre list, then the file's tag. A decoder library that cannot be loaded throws
    // (std::exception), before the window is shown.
    void Form_Load();
    // "更新": writes the tag and closes, or does nothing when the file is gone. Throws like Form_Load.
    void cmdReg_Click();
    // "閉じる".
    void cmdCancel_Click();

  private:
    void createControls();
    void applyTabOrder();

    // The controls that load and "更新" read and fill; the captions need no member.
    QLineEdit* FileNameText = nullptr;
    QLineEdit* txtArtist = nullptr;
    QLineEdit* txtTrack = nullptr;
    QLineEdit* txtAlbum = nullptr;
    QLineEdit* txtYYYYMM = nullptr;
    QComboBox* cbGenre = nullptr;
    QLineEdit* txtComment = nullptr;
    QLineEdit* txtTrackNo = nullptr;
    std::array<QRadioButton*, 2> chkSelVer{};
    QPushButton* cmdReg = nullptr;
    QPushButton* cmdCancel = nullptr;

    Dialogs& m_dialogs;
    const QString m_title;
    const core::TagFile m_file;
};
