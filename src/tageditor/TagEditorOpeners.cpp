// Double-clicking a file in the source or the destination list opens the tag editor on it.

#include "shell/MainForm.h"
#include "shell/PathHelpers.h"
#include "tageditor/frmTagInput.h"

#include <QLineEdit>
#include <QListWidget>

namespace {

void openTagEditor(MainForm& form, QListWidget* list, QLineEdit* folderField) {
    // The current entry is the one double-clicked, even when several are selected.
    const int index = list->currentRow();
    if (index < 0)
        return;
    const QString entry = list->item(index)->text();
    if (entry.isEmpty())
        return;
    frmTagInput editor(&form, form.dialogs(), form.program().title, AddPathSep(folderField->text()) + entry);
    editor.Form_Load();
    editor.exec();
}

} // namespace

void MainForm::SFileList_DblClick() {
    openTagEditor(*this, SFileList, SelectFolderText[0]);
}

void MainForm::DFileList_DblClick() {
    openTagEditor(*this, DFileList, SelectFolderText[2]);
}
