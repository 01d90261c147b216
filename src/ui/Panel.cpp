#include "ui/Panel.h"

#include "ui/Dialogs.h"
#include "ui/ProgramInfo.h"

#include <QAbstractButton>
#include <QCoreApplication>
#include <QDir>
#include <QLineEdit>
#include <QWidget>

void PanelContext::onClick(QAbstractButton* button, QObject* receiver, std::function<void()> handler) const {
    QObject::connect(button, &QAbstractButton::clicked, receiver,
                     [&busy = busy, handler = std::move(handler)] { busy.runHandler(handler); });
}

bool PanelContext::chooseFolder(QLineEdit* field, QAbstractButton* button) const {
    const QString chosen =
        dialogs.chooseFolder(&window, QStringLiteral("フォルダを選択してください"), field->text());

    // The chooser has just closed: let the window repaint where it was, then give the focus back to the
    // button that opened it, so that Space opens it again as after any other action.
    QCoreApplication::processEvents();
    window.activateWindow();
    button->setFocus();

    if (chosen.isEmpty())
        return false;
    field->setText(QDir::toNativeSeparators(chosen));
    return true;
}

void PanelContext::showError(const QString& text) const {
    dialogs.message(&window, program.title, text, Dialogs::Icon::Critical);
}
