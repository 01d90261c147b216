// Reaches the window's controls by their object names (the control names of the layout tables, such as
// "SelectFolderText(0)" and "Bits(13)") and does what a user does with them, so that tests depend on
// what the user sees rather than on how the window is put together.
#pragma once

#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QList>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QStringList>
#include <QWidget>

namespace ui {

inline QString controlName(const char* name, int index = -1) {
    return index < 0 ? QString::fromLatin1(name)
                     : QStringLiteral("%1(%2)").arg(QLatin1String(name)).arg(index);
}

// The control of that name and kind; a test that names a control the window lacks fails there.
template <typename T> T* control(const QWidget& root, const char* name, int index = -1) {
    T* found = root.findChild<T*>(controlName(name, index));
    if (!found)
        qFatal("no control %s", qPrintable(controlName(name, index)));
    return found;
}

// Every control of a control array, "Bits(0)" to "Bits(13)", in index order.
template <typename T> QList<T*> controls(const QWidget& root, const char* name) {
    QList<T*> found;
    while (T* next = root.findChild<T*>(controlName(name, int(found.size()))))
        found.append(next);
    return found;
}

inline QGroupBox* frame(const QWidget& root, const char* name) {
    return control<QGroupBox>(root, name);
}
inline QLabel* label(const QWidget& root, const char* name) {
    return control<QLabel>(root, name);
}
inline QLineEdit* field(const QWidget& root, const char* name, int index = -1) {
    return control<QLineEdit>(root, name, index);
}
inline QList<QLineEdit*> fields(const QWidget& root, const char* name) {
    return controls<QLineEdit>(root, name);
}
inline QPlainTextEdit* textBox(const QWidget& root, const char* name) {
    return control<QPlainTextEdit>(root, name);
}
inline QListWidget* list(const QWidget& root, const char* name) {
    return control<QListWidget>(root, name);
}
inline QPushButton* button(const QWidget& root, const char* name, int index = -1) {
    return control<QPushButton>(root, name, index);
}
inline QList<QPushButton*> buttons(const QWidget& root, const char* name) {
    return controls<QPushButton>(root, name);
}
inline QRadioButton* option(const QWidget& root, const char* name, int index) {
    return control<QRadioButton>(root, name, index);
}
inline QList<QRadioButton*> options(const QWidget& root, const char* name) {
    return controls<QRadioButton>(root, name);
}
inline QCheckBox* checkBox(const QWidget& root, const char* name) {
    return control<QCheckBox>(root, name);
}
inline QComboBox* comboBox(const QWidget& root, const char* name) {
    return control<QComboBox>(root, name);
}

// A click on the button, as the user's (nothing happens while it is disabled).
inline void click(const QWidget& root, const char* name, int index = -1) {
    button(root, name, index)->click();
}

// A double-click on the list's current entry.
inline void doubleClickCurrent(QListWidget* list) {
    emit list->itemDoubleClicked(list->currentItem());
}

// The texts of the list's entries, in order.
inline QStringList texts(const QListWidget* list) {
    QStringList result;
    for (int i = 0; i < list->count(); ++i)
        result << list->item(i)->text();
    return result;
}

} // namespace ui
