#pragma once

#include "ui/Dialogs.h"

#include <QList>
#include <QString>
#include <QStringList>
#include <functional>
#include <optional>

// Answers the program's dialogs from a script and records every one that was shown, so that no test ever
// waits on a modal window. Unscripted questions get the cautious answer: No, cancel.
class ScriptedDialogs final : public Dialogs {
  public:
    enum class Kind { Message, Confirm, Input, ChooseFolder };

    struct Shown {
        Kind kind;
        QString title;
        QString text; // message text, confirmation text or input prompt
        Icon icon = Icon::Information;
        QString startText; // input default or the chooser's start folder
    };

    QList<Shown> shown;
    QList<bool> confirmAnswers;
    QList<std::optional<QString>> inputAnswers;
    QStringList folderAnswers;
    // Runs while a dialog is "open", to look at the window as the user would see it then.
    std::function<void(const Shown&)> onShow;

    void message(QWidget* owner, const QString& title, const QString& text, Icon icon) override;
    bool confirm(QWidget* owner, const QString& title, const QString& text) override;
    std::optional<QString> input(QWidget* owner, const QString& title, const QString& prompt,
                                 const QString& defaultText) override;
    QString chooseFolder(QWidget* owner, const QString& title, const QString& startFolder) override;

    QStringList messageTexts() const;

  private:
    void record(const Shown& entry);
};
