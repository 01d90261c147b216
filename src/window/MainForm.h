#pragma once

#include "core/Result.h"
#include "ui/Panel.h"
#include "ui/ProgramInfo.h"
#include "window/ProgramSettings.h"

#include <QPointer>
#include <QWidget>
#include <functional>
#include <memory>
#include <vector>

class ConversionPanel;
class DestinationPanel;
class Dialogs;
class PlaylistPanel;
class SourcePanel;
class QAction;
class QLockFile;
class QMenuBar;
class QPushButton;
class QStatusBar;
namespace core {
class ConversionQueue;
struct RunSummary;
} // namespace core
namespace options {
struct Choice;
}

// The program's only top-level window. It lays out the controls from its layout table (MainFormLayout.cpp)
// and hands each region to its panel (source and queue, conversion, destination, playlist), which keeps the
// controls and state of its region and reports through signals; the window wires the panels together and
// keeps what concerns all of them: the busy state, start-up with the settings, and closing. The controls
// carry their control names as object names ("SelectFolderText(0)", "Bits(13)"), by which tests and
// accessibility tools find them.
class MainForm : public QWidget, public BusyState {
    Q_OBJECT

  public:
    MainForm(const ProgramInfo& program, Dialogs& dialogs, QWidget* parent = nullptr);
    ~MainForm() override;

    // The conversion queue that the queue list shows.
    core::ConversionQueue& queue();

    const ProgramInfo& program() const { return m_program; }

    // --- Busy state ---
    void EnableControls(bool enabled) override;
    void runHandler(const std::function<void()>& handler) override;

    // --- Start-up and shutdown (StartupShutdown.cpp) ---
    // The window's load event. Returns false when the program must end (another instance runs).
    bool Form_Load();
    // Writes the settings from the controls; empty when they are saved, else the message that says why not.
    core::Result WriteSettings();
    // From here on SIGTERM, SIGHUP and SIGINT (a logout, a shutdown, a closed terminal) and a session
    // manager's requests end the program as the close box does (see requestShutdown).
    void watchForShutdown();
    // A request to end from outside the window: a run stops as "中止" stops it, an open dialog is closed
    // as its Cancel or No would close it, and once the window is idle the settings are written and the
    // program ends.
    void requestShutdown();
    // True once the program is ending, so that nothing more runs.
    bool hasEnded() const { return m_ended; }
    // Ends the program at once, without the close request and without writing the settings. Tests
    // replace it to observe the exit instead of leaving the event loop.
    void setEndProgram(std::function<void()> endProgram) { m_endProgram = std::move(endProgram); }

    // Reads the destination folder afresh and shows it.
    void GetDiskFree();
    // Points the source list at a folder and re-reads it.
    void RefreshSourceList(const QString& folder);

    // Files a run converts at once (settings key Jobs): 1 converts in this process; more run each file in
    // a worker process of `program` (by default the command line program beside this one), when it is
    // there.
    void setWorkers(int jobs, const QString& program = QString());
    int workers() const;
    static constexpr int MaxJobs = 64;

    // The area the controls are laid out in, below the menu bar and above the status bar.
    QWidget* clientArea() const { return m_client; }
    // --- Menus and status bar (MainFormMenus.cpp) ---
    // The options in force and the files converted at once, as the options dialog shows them.
    options::Choice optionsChoice() const;
    // Takes a choice of the options dialog: kept in the settings and used by the next run.
    void applyOptions(const options::Choice& choice);
    // How long a run or a sync that just ended is taken to have lasted, from the time it measured (by
    // default that time): the summary shows it and the desktop notice goes by it. Tests have a short run
    // stand for a long one with it instead of waiting half a minute.
    void setRunDuration(std::function<qint64(qint64 measuredMs)> duration) {
        m_runDuration = std::move(duration);
    }

  protected:
    void closeEvent(QCloseEvent* event) override;

  private:
    void createControls();
    void applyTabOrder();
    void connectPanels();
    void openTagEditor(const QString& path);
    void Form_QueryUnload(bool& cancel);
    void Form_Unload();
    void ProgExit_Click();
    void closeWhenIdle();
    void createMenus();
    void setMenusEnabled(bool enabled);
    void showOptionsDialog();
    void showLibrarySync();
    void showGuide();
    void showAbout();
    void showIdleStatus();
    void showRunSummary(const core::RunSummary& summary);
    void noticeRunEnd(const core::RunSummary& summary, bool watched);
    void clearRunSummary();

    ProgramInfo m_program;
    Dialogs& m_dialogs;
    std::unique_ptr<SourcePanel> m_source;
    std::unique_ptr<ConversionPanel> m_conversion;
    std::unique_ptr<DestinationPanel> m_destination;
    std::unique_ptr<PlaylistPanel> m_playlist;
    QPushButton* ProgExit = nullptr;
    QWidget* m_client = nullptr;
    QMenuBar* m_menuBar = nullptr;
    QStatusBar* m_statusBar = nullptr;
    QAction* m_syncAction = nullptr;
    QAction* m_optionsAction = nullptr;
    QAction* m_exitAction = nullptr;
    // A run's or a sync's summary is on the status bar (until the next action).
    bool m_summaryShown = false;
    std::function<qint64(qint64)> m_runDuration = [](qint64 measuredMs) { return measuredMs; };

    // The controls the busy state disables, in the order it switches them.
    std::vector<QWidget*> m_busyControls;
    // Where the focus was when the window became busy; disabling that control moves the focus on (to
    // the sort options, the only controls left enabled), and the idle state gives it back.
    QPointer<QWidget> m_focusBeforeBusy;
    bool m_busy = false;

    // Held from start-up to the end of the program so that a second copy can see this one.
    std::unique_ptr<QLockFile> m_instanceLock;
    std::function<void()> m_endProgram;
    bool m_ended = false;
    bool m_shutdownRequested = false;
    // The settings as start-up read them; closing writes what the controls and the dialogs left in them.
    ProgramSettings m_settings;
};
