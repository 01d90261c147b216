// The three "…" buttons that choose the source, work and destination folders, and the source list that
// follows the source folder.

#include "lists/ListHelpers.h"
#include "shell/Dialogs.h"
#include "shell/MainForm.h"

#include <QCoreApplication>
#include <QDir>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>

void MainForm::SelctFolder_Click(int index) {
    const QString start = SelectFolderText[index]->text();
    const QString chosen = dialogs().chooseFolder(this, QStringLiteral("フォルダを選択してください"), start);

    // The chooser has just closed: let the window repaint where it was, then give the focus back to the
    // button that opened it, so that Space opens it again as after any other action.
    QCoreApplication::processEvents();
    activateWindow();
    SelctFolder[index]->setFocus();

    if (chosen.isEmpty())
        return;
    SelectFolderText[index]->setText(QDir::toNativeSeparators(chosen));
    if (index == 0)
        RefreshSourceList(SelectFolderText[0]->text());
    else
        GetDiskFree();
}

void MainForm::RefreshSourceList(const QString& folder) {
    SFileList->clear();
    SFileList->addItems(sortedByName(mp3FileNames(folder)));
}
