// Opens the tag editor the way the user does and drives it while it is open, without a modal loop.
#pragma once

#include "shell/MainForm.h"
#include "tageditor/frmTagInput.h"

#include <QListWidget>
#include <QObject>
#include <QtTest>
#include <functional>

struct EditorRun {
    bool opened = false;
    bool closed = false; // the window closed itself (by a button)
    int result = -1;     // QDialog::Accepted / Rejected once closed
};

// Makes `row` the current entry of `list` and calls the list's double-click handler through the main
// window's guard; `drive` runs while the editor is open.
inline EditorRun openFromList(MainForm& form, QListWidget* list, int row,
                              const std::function<void(frmTagInput&)>& drive) {
    EditorRun run;
    frmTagInput::runModal = [&](frmTagInput& editor) {
        run.opened = true;
        QObject::connect(&editor, &QDialog::finished, [&](int result) {
            run.closed = true;
            run.result = result;
        });
        // Shown, though without a modal loop of its own, so that keys and default buttons work.
        editor.show();
        if (QTest::qWaitForWindowExposed(&editor))
            drive(editor);
    };
    list->setCurrentRow(row);
    form.runHandler([&] {
        if (list == form.SFileList)
            form.SFileList_DblClick();
        else
            form.DFileList_DblClick();
    });
    frmTagInput::runModal = nullptr;
    return run;
}
