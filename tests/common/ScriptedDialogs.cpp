#include "ScriptedDialogs.h"

void ScriptedDialogs::record(const Shown& entry) {
    shown.append(entry);
    if (onShow)
        onShow(entry);
}

void ScriptedDialogs::message(QWidget*, const QString& title, const QString& text, Icon icon) {
    record({Kind::Message, title, text, icon, {}});
}

bool ScriptedDialogs::confirm(QWidget*, const QString& title, const QString& text) {
    record({Kind::Confirm, title, text, Icon::Exclamation, {}});
    return confirmAnswers.isEmpty() ? false : confirmAnswers.takeFirst();
}

std::optional<QString> ScriptedDialogs::input(QWidget*, const QString& title, const QString& prompt,
                                              const QString& defaultText) {
    record({Kind::Input, title, prompt, Icon::Information, defaultText});
    return inputAnswers.isEmpty() ? std::nullopt : inputAnswers.takeFirst();
}

QString ScriptedDialogs::chooseFolder(QWidget*, const QString& title, const QString& startFolder) {
    record({Kind::ChooseFolder, title, {}, Icon::Information, startFolder});
    return folderAnswers.isEmpty() ? QString() : folderAnswers.takeFirst();
}

QStringList ScriptedDialogs::messageTexts() const {
    QStringList texts;
    for (const Shown& entry : shown) {
        if (entry.kind == Kind::Message)
            texts.append(entry.text);
    }
    return texts;
}
