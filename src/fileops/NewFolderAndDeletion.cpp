// Creating a (nested) destination folder and deleting the files selected in the destination list.

#include "core/FileHelpers.h"
#include "fileops/cFile.h"
#include "shell/Dialogs.h"
#include "shell/MainForm.h"
#include "shell/PathHelpers.h"

#include <QDir>
#include <QLineEdit>
#include <QListWidget>

void MainForm::MakeNewDir_Click() {
    const std::optional<QString> answer =
        dialogs().input(this, QStringLiteral("新規ﾌｫﾙﾀﾞの作成"),
                        QStringLiteral("新規ﾌｫﾙﾀﾞの作成\r作成するﾌｫﾙﾀﾞ名をドライブ名から入力してください。"),
                        SelectFolderText[2]->text());
    // Cancel and OK on an empty field mean the same: nothing to create.
    if (!answer || answer->isEmpty())
        return;

    // A relative path would be made under whatever folder the program happened to start in.
    if (QDir::isRelativePath(*answer)) {
        dialogs().message(
            this, program().title,
            QStringLiteral("新規ﾌｫﾙﾀﾞの作成に失敗しました。\rﾌｫﾙﾀﾞ名は %1 から始まる完全なパスで入力"
                           "してください。")
                .arg(QDir::toNativeSeparators(QDir::rootPath())),
            Dialogs::Icon::Critical);
        return;
    }
    QString path = *answer;
    cFile file;
    if (file.MakeDirs(path)) {
        SelectFolderText[2]->setText(path);
        GetDiskFree();
    } else {
        dialogs().message(this, program().title, QStringLiteral("新規ﾌｫﾙﾀﾞの作成に失敗しました。"),
                          Dialogs::Icon::Critical);
    }
}

void MainForm::DeleteFile_Click() {
    if (!dialogs().confirm(this, program().title,
                           QStringLiteral("変換先の選択されているファイルを削除します。\r宜しいですか?")))
        return;

    BusyScope busy(*this);
    const QString folder = AddPathSep(SelectFolderText[2]->text());
    const int count = DFileList->count();
    for (int i = 0; i < count; ++i) {
        const QListWidgetItem* entry = DFileList->item(i);
        // A file that cannot be deleted is passed over; the refreshed list shows that it is still there.
        if (entry->isSelected())
            DeleteFileForced(folder + entry->text());
    }
    DFileList->update();
    GetDiskFree();
}
