// Loading the tag editor from the file's tag, and writing the edited tag back.

#include "tageditor/frmTagInput.h"
#include "core/tags/TagWriteText.h"

#include "core/tags/TagFields.h"
#include "ui/Dialogs.h"

#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>

frmTagInput::frmTagInput(QWidget* parent, Dialogs& dialogs, QString title, const QString& path)
    : QDialog(parent), m_dialogs(dialogs), m_title(std::move(title)), m_file(path) {
    setObjectName(QStringLiteral("frmTagInput"));
    setWindowTitle(QStringLiteral("MP3タグ情報"));
    // A fixed dialog border with a close box and neither minimise nor maximise box.
    setWindowFlags(Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint |
                   Qt::MSWindowsFixedSizeDialogHint);
    setModal(true);
    createControls();
    applyTabOrder();

    // A failure of the decoder library is shown, and the window stays open.
    connect(cmdReg, &QPushButton::clicked, this,
            [this] { ui::runGuarded(m_dialogs, this, m_title, [this] { cmdReg_Click(); }); });
    connect(cmdCancel, &QPushButton::clicked, this,
            [this] { ui::runGuarded(m_dialogs, this, m_title, [this] { cmdCancel_Click(); }); });
}

void frmTagInput::Form_Load() {
    FileNameText->setText(m_file.path());
    cbGenre->clear();
    cbGenre->addItems(core::TagFile::genreItems());
    cbGenre->setCurrentIndex(-1);

    if (const std::optional<core::TagValues> tag = m_file.load()) {
        // The boxes cut what exceeds their limit.
        txtTrack->setText(tag->title);
        txtArtist->setText(tag->artist);
        txtAlbum->setText(tag->album);
        txtYYYYMM->setText(tag->year);
        txtComment->setText(tag->comment);
        cbGenre->setCurrentIndex(tag->genre);
        if (tag->trackNumber == -1) {
            chkSelVer[0]->setChecked(true);
            txtTrackNo->clear();
        } else {
            chkSelVer[1]->setChecked(true);
            txtTrackNo->setText(QString::number(tag->trackNumber));
        }
    }
    // The end of a long path is the part that tells files apart.
    FileNameText->end(false);
}

void frmTagInput::cmdReg_Click() {
    core::TagValues values;
    values.title = txtTrack->text();
    values.artist = txtArtist->text();
    values.album = txtAlbum->text();
    values.year = txtYYYYMM->text();
    values.comment = txtComment->text();
    // A typed genre name selects its item; anything else typed (or an empty box) is no genre.
    QStringList genreItems;
    for (int i = 0; i < cbGenre->count(); ++i)
        genreItems.append(cbGenre->itemText(i));
    values.genre = core::genreIndexOfText(cbGenre->currentText(), genreItems);
    const QString trackText = txtTrackNo->text();
    values.trackNumber =
        chkSelVer[1]->isChecked() && !trackText.trimmed().isEmpty() ? core::trackNumberValue(trackText) : -1;

    // A file that is gone leaves nothing to write into: the window stays as it is.
    if (!m_file.isFound())
        return;
    if (const core::Result saved = m_file.save(values); !saved) {
        // The edits stay in the window, so that the user can try again once the cause is gone.
        m_dialogs.message(this, m_title, core::tagWriteFailedText() + QLatin1Char('\r') + saved.reason(),
                          Dialogs::Icon::Critical);
        return;
    }
    accept();
}

void frmTagInput::cmdCancel_Click() {
    reject();
}
