#include "ui/FormLayout.h"

#include <QAbstractButton>
#include <QButtonGroup>
#include <QEvent>

namespace {

void applyTabStop(QButtonGroup* group) {
    for (QAbstractButton* button : group->buttons()) {
        const int policy = button->focusPolicy();
        button->setFocusPolicy(
            Qt::FocusPolicy(button->isChecked() ? policy | Qt::TabFocus : policy & ~Qt::TabFocus));
    }
}

// Puts the tab stop back on the checked option whenever focus leaves one of the group, after Qt has
// moved it to the option that had focus.
class TabStopKeeper : public QObject {
  public:
    explicit TabStopKeeper(QButtonGroup* group) : QObject(group), m_group(group) {}

  protected:
    bool eventFilter(QObject*, QEvent* event) override {
        if (event->type() == QEvent::FocusOut)
            applyTabStop(m_group);
        return false;
    }

  private:
    QButtonGroup* m_group;
};

} // namespace

void ui::applyTabOrder(QWidget* root, std::span<const char* const> names) {
    QWidget* previous = nullptr;
    for (const char* name : names) {
        QWidget* widget = ui::childNamed<QWidget>(root, name);
        if (!widget || widget->focusPolicy() == Qt::NoFocus)
            continue;
        if (previous)
            QWidget::setTabOrder(previous, widget);
        previous = widget;
    }
}

void ui::keepTabStopOnChecked(QButtonGroup* group) {
    auto* keeper = new TabStopKeeper(group);
    for (QAbstractButton* button : group->buttons())
        button->installEventFilter(keeper);
    QObject::connect(group, &QButtonGroup::buttonToggled, keeper, [group] { applyTabStop(group); });
    applyTabStop(group);
}
