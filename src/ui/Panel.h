#pragma once

#include <QString>
#include <functional>

class Dialogs;
class QAbstractButton;
class QLineEdit;
class QObject;
class QWidget;
struct ProgramInfo;

// The window's busy state, which the panels' handlers enter and leave: the hourglass pointer and the
// user's input controls disabled, so that no second operation starts while one runs.
class BusyState {
  public:
    virtual ~BusyState() = default;
    // False enters the busy state, true returns to the idle state; calls are not counted.
    virtual void EnableControls(bool enabled) = 0;
    // Runs one event handler so that a failure inside it can never leave the window busy: the window
    // returns to the idle state and the failure is shown.
    virtual void runHandler(const std::function<void()>& handler) = 0;
};

// Enters the busy state for the lifetime of the scope and leaves it at the end, whatever happens.
class BusyScope {
  public:
    explicit BusyScope(BusyState& state) : m_state(state) { m_state.EnableControls(false); }
    ~BusyScope() { m_state.EnableControls(true); }
    BusyScope(const BusyScope&) = delete;
    BusyScope& operator=(const BusyScope&) = delete;

  private:
    BusyState& m_state;
};

// What a panel of the main window shares with the window that holds it. A panel is the code of one
// region of the window: it finds its controls in `window` by their object names, keeps them and its
// state to itself, and tells the others what happened through signals.
struct PanelContext {
    QWidget& window; // owner of the message boxes, holder of the caption and the pointer
    Dialogs& dialogs;
    const ProgramInfo& program;
    BusyState& busy;

    // A click on the button runs the handler through the busy state's guard.
    void onClick(QAbstractButton* button, QObject* receiver, std::function<void()> handler) const;

    // A click on a folder field's "…": the chooser opens at the field's folder and a chosen folder
    // replaces the field's text. Afterwards the focus is back on the button. True when one was chosen.
    [[nodiscard]] bool chooseFolder(QLineEdit* field, QAbstractButton* button) const;

    // A message box with the program's title.
    void showError(const QString& text) const;
};
