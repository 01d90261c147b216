#pragma once

#include <QDialog>
#include <QString>
#include <array>
#include <functional>

class MainForm;
class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;

// Full path of the file whose tag the editor works on. The openers set it right before showing the
// editor; the editor reads it on load and again on "更新". It keeps its value after the editor closes.
extern QString TagFilePath;

// The modal editor of one MP3 file's ID3 version 1 tag. Each opening builds a fresh window: load fills it
// from the file through the decoder library, "更新" writes the edited tag back and closes, "閉じる" (or
// any other way of closing) writes nothing. The controls carry their window-definition names as object
// names ("txtArtist", "chkSelVer(1)").
class frmTagInput : public QDialog {
    Q_OBJECT

  public:
    explicit frmTagInput(MainForm& owner);

    QLineEdit* FileNameText = nullptr;
    QLabel* Label15 = nullptr;
    QLineEdit* txtArtist = nullptr;
    QLabel* Label14 = nullptr;
    QLineEdit* txtTrack = nullptr;
    QLabel* Label17 = nullptr;
    QLineEdit* txtAlbum = nullptr;
    QLabel* Label21 = nullptr;
    QLineEdit* txtYYYYMM = nullptr;
    QLabel* Label23 = nullptr;
    QComboBox* cbGenre = nullptr;
    QLabel* Label19 = nullptr;
    QLineEdit* txtComment = nullptr;
    QLabel* Label1 = nullptr;
    QLineEdit* txtTrackNo = nullptr;
    std::array<QRadioButton*, 2> chkSelVer{};
    QPushButton* cmdReg = nullptr;
    QPushButton* cmdCancel = nullptr;

    // The window's load: genre list, then the tag of TagFilePath. A decoder library that cannot be
    // loaded throws (std::exception), before the window is shown.
    void Form_Load();
    // "更新": writes the tag and closes, or does nothing when the file is gone. Throws like Form_Load.
    void cmdReg_Click();
    // "閉じる".
    void cmdCancel_Click();

    // Shows a loaded editor modally and returns once it is closed. Tests replace it to drive the window
    // without a nested event loop; unset, the window runs its own modal loop.
    static std::function<void(frmTagInput&)> runModal;

  private:
    void createControls();
    void applyTabOrder();
    // Runs a button's handler; a failure of the decoder library is shown, and the window stays open.
    void runHandler(const std::function<void()>& handler);

    MainForm& m_owner;
};
