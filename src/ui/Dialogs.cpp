#include "ui/Dialogs.h"
#include "core/text/TextConstants.h"

#include <QDir>
#include <QFileDialog>
#include <QInputDialog>
#include <QMessageBox>
#include <exception>

namespace {

QMessageBox::Icon toQtIcon(Dialogs::Icon icon) {
    switch (icon) {
    case Dialogs::Icon::Critical:
        return QMessageBox::Critical;
    case Dialogs::Icon::Exclamation:
        return QMessageBox::Warning;
    case Dialogs::Icon::Information:
        return QMessageBox::Information;
    }
    return QMessageBox::NoIcon;
}

// The program's messages break their lines with a lone CR, which a Qt label would not show as a break.
QString forDisplay(QString text) {
    text.replace(core::CRLF, QStringLiteral("\n"));
    text.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    return text;
}

} // namespace

void QtDialogs::message(QWidget* owner, const QString& title, const QString& text, Icon icon) {
    QMessageBox box(toQtIcon(icon), title, forDisplay(text), QMessageBox::Ok, owner);
    box.exec();
}

bool QtDialogs::confirm(QWidget* owner, const QString& title, const QString& text) {
    QMessageBox box(QMessageBox::Warning, title, forDisplay(text), QMessageBox::Yes | QMessageBox::No, owner);
    box.setDefaultButton(QMessageBox::No);
    box.setEscapeButton(QMessageBox::No);
    return box.exec() == QMessageBox::Yes;
}

std::optional<QString> QtDialogs::input(QWidget* owner, const QString& title, const QString& prompt,
                                        const QString& defaultText) {
    bool accepted = false;
    const QString text =
        QInputDialog::getText(owner, title, forDisplay(prompt), QLineEdit::Normal, defaultText, &accepted);
    if (!accepted)
        return std::nullopt;
    return text;
}

QString QtDialogs::chooseFolder(QWidget* owner, const QString& title, const QString& startFolder) {
    const QString chosen = QFileDialog::getExistingDirectory(
        owner, title, QDir::fromNativeSeparators(startFolder), QFileDialog::ShowDirsOnly);
    return QDir::toNativeSeparators(chosen);
}

void ui::runGuarded(Dialogs& dialogs, QWidget* owner, const QString& title,
                    const std::function<void()>& handler, const std::function<void()>& onFailure) {
    QString failureText;
    try {
        handler();
        return;
    } catch (const std::exception& failure) {
        failureText = QString::fromUtf8(failure.what());
    } catch (...) {
        failureText = core::UnexpectedErrorText;
    }
    if (onFailure)
        onFailure();
    dialogs.message(owner, title, failureText, Dialogs::Icon::Critical);
}
