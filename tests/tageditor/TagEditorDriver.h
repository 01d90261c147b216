// Opens the tag editor the way the user does and drives it while it is open, inside its modal loop.
#pragma once

#include "WindowDriver.h"
#include "tageditor/frmTagInput.h"
#include "window/MainForm.h"

#include <QApplication>
#include <QListWidget>
#include <QObject>
#include <QTimer>
#include <QtTest>
#include <functional>

struct EditorRun {
    bool opened = false;
    bool closed = false; // the window closed itself (by a button)
    int result = -1;     // QDialog::Accepted / Rejected once closed
};

// Runs `drive` on the tag editor once it is open, from inside its modal loop, while `open` (what opens
// it) runs; an editor that `drive` leaves open is closed afterwards, so that `open` returns.
inline EditorRun whileEditorOpen(const std::function<void()>& open,
                                 const std::function<void(frmTagInput&)>& drive) {
    EditorRun run;
    QTimer poll;
    poll.setInterval(0);
    QObject::connect(&poll, &QTimer::timeout, [&] {
        auto* editor = qobject_cast<frmTagInput*>(QApplication::activeModalWidget());
        if (!editor || !editor->isVisible())
            return;
        poll.stop();
        run.opened = true;
        QObject::connect(editor, &QDialog::finished, [&](int result) {
            run.closed = true;
            run.result = result;
        });
        if (QTest::qWaitForWindowExposed(editor))
            drive(*editor);
        if (editor->isVisible() && !run.closed) {
            QObject::disconnect(editor, &QDialog::finished, nullptr, nullptr);
            editor->reject();
        }
    });
    poll.start();
    open();
    poll.stop();
    return run;
}

// Makes `row` the current entry of `list` and calls the list's double-click handler through the main
// window's guard; `drive` runs while the editor is open.
inline EditorRun openFromList(MainForm& form, QListWidget* list, int row,
                              const std::function<void(frmTagInput&)>& drive) {
    list->setCurrentRow(row);
    (void)form;
    return whileEditorOpen([&] { ui::doubleClickCurrent(list); }, drive);
}
