#pragma once

#include <QString>
#include <functional>
#include <optional>

class QWidget;

// Every modal question the program asks goes through this interface, so that tests can answer them
// from a script instead of blocking on a real window.
class Dialogs {
  public:
    enum class Icon { Critical, Exclamation, Information };

    virtual ~Dialogs() = default;

    // A message with an OK button; the title is the application title.
    virtual void message(QWidget* owner, const QString& title, const QString& text, Icon icon) = 0;

    // A Yes/No confirmation with the exclamation icon and No as the default button; true for Yes.
    [[nodiscard]] virtual bool confirm(QWidget* owner, const QString& title, const QString& text) = 0;

    // A one-line input box; std::nullopt when the user cancels.
    [[nodiscard]] virtual std::optional<QString> input(QWidget* owner, const QString& title,
                                                       const QString& prompt, const QString& defaultText) = 0;

    // A folder chooser that starts at startFolder; an empty text when the user cancels.
    [[nodiscard]] virtual QString chooseFolder(QWidget* owner, const QString& title,
                                               const QString& startFolder) = 0;
};

// The real dialogs, built on QMessageBox, QInputDialog and QFileDialog.
class QtDialogs final : public Dialogs {
  public:
    void message(QWidget* owner, const QString& title, const QString& text, Icon icon) override;
    [[nodiscard]] bool confirm(QWidget* owner, const QString& title, const QString& text) override;
    [[nodiscard]] std::optional<QString> input(QWidget* owner, const QString& title, const QString& prompt,
                                               const QString& defaultText) override;
    [[nodiscard]] QString chooseFolder(QWidget* owner, const QString& title,
                                       const QString& startFolder) override;
};

namespace ui {

// Runs one event handler of a window so that no failure inside it reaches the event loop: the failure's
// own text (or, for anything but a std::exception, a general one) is shown in a message box with `title`
// over `owner`. `onFailure` runs before the message, so that the window is usable again under it.
void runGuarded(Dialogs& dialogs, QWidget* owner, const QString& title, const std::function<void()>& handler,
                const std::function<void()>& onFailure = {});

} // namespace ui
