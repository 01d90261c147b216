// The destination list: the listing model of the destination folder in date or name order, with the file
// count and free space; a new (nested) destination folder; deleting the files selected in the list.

#include "lists/DestinationPanel.h"

#include "core/files/FileHelpers.h"
#include "lists/cFile.h"
#include "ui/Dialogs.h"
#include "ui/FormLayout.h"
#include "ui/ListTexts.h"
#include "ui/PathHelpers.h"
#include "ui/ProgramInfo.h"

#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>
#include <QShortcut>

DestinationPanel::DestinationPanel(const PanelContext& context)
    : m_context(context), SelectFolderText(ui::childNamed<QLineEdit>(&context.window, "SelectFolderText(2)")),
      SelctFolder(ui::childNamed<QPushButton>(&context.window, "SelctFolder(2)")),
      MakeNewDir(ui::childNamed<QPushButton>(&context.window, "MakeNewDir")),
      DFileList(ui::childNamed<QListWidget>(&context.window, "DFileList")),
      DeleteFile(ui::childNamed<QPushButton>(&context.window, "DeleteFile")),
      ListSort(ui::childrenNamed<QRadioButton, 2>(&context.window, "ListSort")),
      FreeSpace(ui::childNamed<QLabel>(&context.window, "FreeSpace")) {
    m_context.onClick(SelctFolder, this, [this] { SelctFolder_Click(); });
    m_context.onClick(MakeNewDir, this, [this] { MakeNewDir_Click(); });
    m_context.onClick(DeleteFile, this, [this] { DeleteFile_Click(); });

    // An option's click event fires whenever it becomes the selected one, by the user or by start-up.
    for (QRadioButton* option : ListSort) {
        connect(option, &QRadioButton::toggled, this, [this](bool checked) {
            if (checked)
                m_context.busy.runHandler([this] { ListSort_Click(); });
        });
    }
    // The Delete key in the destination list asks and deletes as "選択ﾌｧｲﾙ削除" does.
    auto* deleteKey = new QShortcut(QKeySequence::Delete, DFileList, nullptr, nullptr, Qt::WidgetShortcut);
    connect(deleteKey, &QShortcut::activated, this,
            [this] { m_context.busy.runHandler([this] { DeleteFile_Click(); }); });
    connect(DFileList, &QListWidget::itemDoubleClicked, this,
            [this] { m_context.busy.runHandler([this] { DFileList_DblClick(); }); });
    connect(SelectFolderText, &QLineEdit::textChanged, this, &DestinationPanel::folderChanged);
}

QString DestinationPanel::folder() const {
    return SelectFolderText->text();
}

void DestinationPanel::setFolder(const QString& folder) {
    SelectFolderText->setText(folder);
}

int DestinationPanel::sortIndex() const {
    return ListSort[0]->isChecked() ? 0 : ListSort[1]->isChecked() ? 1 : -1;
}

void DestinationPanel::setSortIndex(int index) {
    ListSort[index]->setChecked(true);
}

void DestinationPanel::GetDiskFree() {
    m_listing.load(AddPathSep(SelectFolderText->text()), ListSort[0]->isChecked()
                                                             ? core::DestinationListing::Order::ByDate
                                                             : core::DestinationListing::Order::ByName);
    showDestination();
}

void DestinationPanel::showDestination() {
    DFileList->clear();
    DFileList->addItems(m_listing.names());
    const std::optional<core::VolumeSpace> destination = core::volumeOf(SelectFolderText->text());
    if (destination)
        FreeSpace->setText(ui::destinationFreeText(m_listing.count(), destination->bytesAvailable));
    emit listingShown(destination);
}

void DestinationPanel::showPlacedFile(const QString& destination, bool placed) {
    // The listing takes the new file in where a fresh reading would put it; only a listing of another
    // folder (or none yet) is read afresh.
    if (m_listing.folder() != AddPathSep(SelectFolderText->text())) {
        GetDiskFree();
        return;
    }
    if (placed)
        m_listing.addPlaced(ExtractFileName(destination));
    showDestination();
}

void DestinationPanel::ListSort_Click() {
    GetDiskFree();
}

void DestinationPanel::SelctFolder_Click() {
    if (m_context.chooseFolder(SelectFolderText, SelctFolder))
        GetDiskFree();
}

void DestinationPanel::DFileList_DblClick() {
    // The current entry is the one double-clicked, even when several are selected.
    const QListWidgetItem* entry = DFileList->currentItem();
    if (entry && !entry->text().isEmpty())
        emit tagEditRequested(AddPathSep(SelectFolderText->text()) + entry->text());
}

void DestinationPanel::MakeNewDir_Click() {
    const std::optional<QString> answer = m_context.dialogs.input(
        &m_context.window, QStringLiteral("新規ﾌｫﾙﾀﾞの作成"),
        QStringLiteral("新規ﾌｫﾙﾀﾞの作成\r作成するﾌｫﾙﾀﾞ名をドライブ名から入力してください。"),
        SelectFolderText->text());
    // Cancel and OK on an empty field mean the same: nothing to create.
    if (!answer || answer->isEmpty())
        return;

    // A relative path would be made under whatever folder the program happened to start in.
    if (QDir::isRelativePath(*answer)) {
        m_context.showError(QStringLiteral("新規ﾌｫﾙﾀﾞの作成に失敗しました。\rﾌｫﾙﾀﾞ名は %1 から始まる完全な"
                                           "パスで入力してください。")
                                .arg(QDir::toNativeSeparators(QDir::rootPath())));
        return;
    }
    QString path = *answer;
    cFile file;
    if (file.MakeDirs(path)) {
        SelectFolderText->setText(path);
        GetDiskFree();
    } else {
        m_context.showError(QStringLiteral("新規ﾌｫﾙﾀﾞの作成に失敗しました。"));
    }
}

void DestinationPanel::DeleteFile_Click() {
    if (!m_context.dialogs.confirm(
            &m_context.window, m_context.program.title,
            QStringLiteral("変換先の選択されているファイルを削除します。\r宜しいですか?")))
        return;

    BusyScope busy(m_context.busy);
    const QString folder = AddPathSep(SelectFolderText->text());
    const int count = DFileList->count();
    for (int i = 0; i < count; ++i) {
        const QListWidgetItem* entry = DFileList->item(i);
        // A file that cannot be deleted is passed over; the refreshed list shows that it is still there.
        if (entry->isSelected())
            static_cast<void>(DeleteFileForced(folder + entry->text()));
    }
    DFileList->update();
    GetDiskFree();
}
