#include "shell/FormLayout.h"

void applyTabOrder(QWidget* root, std::span<const char* const> names) {
    QWidget* previous = nullptr;
    for (const char* name : names) {
        QWidget* widget = childNamed<QWidget>(root, name);
        if (!widget || widget->focusPolicy() == Qt::NoFocus)
            continue;
        if (previous)
            QWidget::setTabOrder(previous, widget);
        previous = widget;
    }
}
