// Loading the tag editor from the file's tag, and writing the edited tag back.

#include "tageditor/frmTagInput.h"

#include "codecs/decoder.h"
#include "conversion/FileHelpers.h"
#include "core/TagWriteText.h"
#include "shell/Dialogs.h"
#include "shell/MainForm.h"
#include "tageditor/TagFields.h"

#include <QComboBox>
#include <QFile>
#include <QFileInfo>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <exception>

QString TagFilePath;

std::function<void(frmTagInput&)> frmTagInput::runModal;

namespace {

constexpr int GenreCount = 256;

// True when a search for the path would find it: an existing file that is not hidden. A path whose
// folder can no longer be reached is simply not found.
bool isVisibleFile(const QString& path) {
    if (path.isEmpty() || path.contains(QChar(0)))
        return false;
    const QFileInfo info(path);
    return info.isFile() && !info.fileName().startsWith(QLatin1Char('.'));
}

QStringList GenreItems(const QComboBox& box) {
    QStringList items;
    for (int i = 0; i < box.count(); ++i)
        items.append(box.itemText(i));
    return items;
}

} // namespace

frmTagInput::frmTagInput(MainForm& owner) : QDialog(&owner), m_owner(owner) {
    setObjectName(QStringLiteral("frmTagInput"));
    setWindowTitle(QStringLiteral("MP3タグ情報"));
    // A fixed dialog border with a close box and neither minimise nor maximise box.
    setWindowFlags(Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint |
                   Qt::MSWindowsFixedSizeDialogHint);
    setModal(true);
    createControls();
    applyTabOrder();

    connect(cmdReg, &QPushButton::clicked, this, [this] { runHandler([this] { cmdReg_Click(); }); });
    connect(cmdCancel, &QPushButton::clicked, this, [this] { runHandler([this] { cmdCancel_Click(); }); });
}

void frmTagInput::runHandler(const std::function<void()>& handler) {
    try {
        handler();
    } catch (const std::exception& failure) {
        m_owner.dialogs().message(this, m_owner.program().title, QString::fromUtf8(failure.what()),
                                  Dialogs::Icon::Critical);
    } catch (...) {
        m_owner.dialogs().message(this, m_owner.program().title,
                                  QStringLiteral("予期しないエラーが発生しました。"),
                                  Dialogs::Icon::Critical);
    }
}

void frmTagInput::Form_Load() {
    FileNameText->setText(TagFilePath);

    codecs::Decoder decoder;
    QStringList genres;
    genres.reserve(GenreCount);
    for (int number = 0; number < GenreCount; ++number)
        genres.append(GenreItemText(number, decoder.genreName(number)));
    cbGenre->clear();
    cbGenre->addItems(genres);
    cbGenre->setCurrentIndex(-1);

    codecs::TagRecord record;
    if (decoder.getFileTagInfo(TagLibraryPath(TagFilePath), record)) {
        // Not trimmed: blanks a field ends in stay visible. The boxes cut what exceeds their limit.
        txtTrack->setText(CutAtNul(record.title));
        txtArtist->setText(CutAtNul(record.artist));
        txtAlbum->setText(CutAtNul(record.album));
        txtYYYYMM->setText(CutAtNul(record.year));
        txtComment->setText(CutAtNul(record.comment));
        // A number outside the list (a damaged tag, another library's range) selects nothing.
        cbGenre->setCurrentIndex(record.genre >= 0 && record.genre < GenreCount ? record.genre : -1);
        if (record.trackNumber == -1) {
            chkSelVer[0]->setChecked(true);
            txtTrackNo->clear();
        } else {
            chkSelVer[1]->setChecked(true);
            txtTrackNo->setText(QString::number(record.trackNumber));
        }
    }
    // The end of a long path is the part that tells files apart.
    FileNameText->end(false);
}

void frmTagInput::cmdReg_Click() {
    if (!isVisibleFile(TagFilePath))
        return;
    const QString path = TagLibraryPath(TagFilePath);
    // A write-protected file is made writable for good, so that the tag can go in.
    QFile::setPermissions(path, QFile::permissions(path) | QFileDevice::ReadOwner | QFileDevice::WriteOwner);

    codecs::TagRecord record;
    record.title = txtTrack->text();
    record.artist = txtArtist->text();
    record.album = txtAlbum->text();
    record.year = txtYYYYMM->text();
    record.comment = txtComment->text();
    // A typed genre name selects its item; anything else typed (or an empty box) is no genre.
    record.genre = GenreIndexOfText(cbGenre->currentText(), GenreItems(*cbGenre));
    // The genre name stays empty: the library names the genre from its number.
    const QString trackText = txtTrackNo->text();
    record.trackNumber =
        chkSelVer[1]->isChecked() && !trackText.trimmed().isEmpty() ? TrackNumberValue(trackText) : -1;

    // The library pads every text with blanks to its field. A refused write keeps the window open with the
    // user's edits, so that nothing typed is lost.
    codecs::Decoder decoder;
    if (!decoder.setTagInfo(path, record)) {
        m_owner.dialogs().message(this, m_owner.program().title,
                                  core::tagWriteFailureMessage(decoder.lastTagError()),
                                  Dialogs::Icon::Critical);
        return;
    }
    accept();
}

void frmTagInput::cmdCancel_Click() {
    reject();
}
