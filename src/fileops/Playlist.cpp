// Building the playlist from the destination list into the playlist box, and saving the box's text.

#include "fileops/PlaylistFile.h"
#include "shell/Dialogs.h"
#include "shell/MainForm.h"
#include "shell/PathHelpers.h"

#include <QCheckBox>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>

void MainForm::MakePlayList_Click() {
    {
        BusyScope busy(*this);
        M3UText->clear();
        // A partly checked box still asks for the folder; only an unchecked one leaves it out.
        const QString prefix =
            SetPathCheck->checkState() == Qt::Unchecked ? QString() : AddPathSep(SelectFolderText[2]->text());
        QStringList entries;
        const int count = DFileList->count();
        for (int i = 0; i < count; ++i)
            entries.append(DFileList->item(i)->text());
        M3UText->setPlainText(PlayListText(entries, prefix));
    }
    M3UText->setFocus();
}

void MainForm::SavePlayList_Click() {
    QString failure;
    QString path;
    {
        BusyScope busy(*this);
        const QString folder = SelectFolderText[2]->text();
        const QString name = PlayListName->text();
        path = AddPathSep(folder) + name;
        failure = WritePlayListFile(folder, name, PlayListFileBytes(M3UText->toPlainText()));
    }
    // Told after the window is usable again, so nothing is left disabled behind the message.
    if (!failure.isEmpty())
        dialogs().message(this, program().title,
                          QStringLiteral("ﾌﾟﾚｲﾘｽﾄの保存に失敗しました。\r%1\r%2").arg(path, failure),
                          Dialogs::Icon::Critical);
}
