#pragma once

#include "core/ConversionQueue.h"
#include "core/DestinationListing.h"
#include "shell/ProgramInfo.h"

#include <QPointer>
#include <QSet>
#include <QWidget>
#include <array>
#include <functional>
#include <memory>

class Dialogs;
namespace core {
class ConversionRun;
}
class QCheckBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QLockFile;
class QPlainTextEdit;
class QPushButton;
class QRadioButton;

// The program's only top-level window. The queue and the destination listing are models of the core,
// which the window's lists show; the conversion run is the core's too. The handlers of each subsystem are
// private members implemented in that subsystem's folder (lists/, conversion/, fileops/, tageditor/).
// The controls carry their window-definition names as object names ("SelectFolderText(0)", "Bits(13)"),
// by which tests and accessibility tools find them.
class MainForm : public QWidget {
    Q_OBJECT

  public:
    MainForm(const ProgramInfo& program, Dialogs& dialogs, QWidget* parent = nullptr);
    ~MainForm() override;

    // The conversion queue that SelectList shows.
    core::ConversionQueue& queue() { return m_queue; }

    const ProgramInfo& program() const { return m_program; }
    Dialogs& dialogs() const { return m_dialogs; }

    // Ends the program at once, without the close request and without writing the settings. Tests
    // replace it to observe the exit instead of leaving the event loop.
    std::function<void()> endProgram;

    // --- Busy state ---
    void EnableControls(bool enabled);
    // Runs one event handler so that a failure inside it can never leave the window busy: the window
    // returns to the idle state and the failure is shown.
    void runHandler(const std::function<void()>& handler);

    // --- Start-up and shutdown (shell/StartupShutdown.cpp) ---
    // The window's load event. Returns false when the program must end (another instance runs).
    bool Form_Load();
    // Writes the settings from the controls; empty when they are saved, else the message that says why not.
    QString WriteSettings();
    // From here on SIGTERM, SIGHUP and SIGINT (a logout, a shutdown, a closed terminal) and a session
    // manager's requests end the program as the close box does (see requestShutdown).
    void watchForShutdown();
    // A request to end from outside the window: a run stops as "中止" stops it, an open dialog is closed
    // as its Cancel or No would close it, and once the window is idle the settings are written and the
    // program ends.
    void requestShutdown();

    // Reads the destination folder afresh and shows it (lists/).
    void GetDiskFree();
    // Points the source list at a folder and re-reads it (lists/).
    void RefreshSourceList(const QString& folder);
    // Files and folders dropped onto the source list or the queue (lists/FileDrops.cpp): each MP3 file,
    // and the MP3 files of each folder in name order, join the queue once.
    void QueueDroppedPaths(const QStringList& paths);

    // Files a run converts at once (settings key Jobs): 1 converts in this process; more run each file in
    // a worker process of `program` (by default the command line program beside this one), when it is
    // there.
    void setWorkers(int jobs, const QString& program = QString()) {
        m_jobs = jobs;
        m_workerProgram = program;
    }
    int workers() const { return m_jobs; }
    static constexpr int MaxJobs = 64;

    // Held from start-up to the end of the program so that a second copy can see this one.
    std::unique_ptr<QLockFile> instanceLock;
    // Set once the program is ending, so that nothing more runs afterwards.
    bool ended = false;

  protected:
    void closeEvent(QCloseEvent* event) override;

  private:
    // --- Event handlers, each in the folder of its subsystem ---
    void Form_QueryUnload(bool& cancel);
    void Form_Unload();
    void ProgExit_Click();
    void ListSort_Click();
    void OneSelect_Click();
    void AllSelect_Click();
    void OneRemove_Click();
    void AllRemove_Click();
    void SelctFolder_Click(int index);
    void ConvertStart_Click();
    void MakePlayList_Click();
    void SavePlayList_Click();
    void MakeNewDir_Click();
    void DeleteFile_Click();
    void SFileList_DblClick();
    void DFileList_DblClick();

    // --- Controls (created from the layout table in MainFormLayout.cpp) ---
    QGroupBox* Frame1 = nullptr;
    QGroupBox* Frame2 = nullptr;
    QGroupBox* Frame3 = nullptr;
    QGroupBox* Frame4 = nullptr;
    QGroupBox* Frame5 = nullptr;
    QGroupBox* Frame6 = nullptr;
    std::array<QLineEdit*, 3> SelectFolderText{};
    std::array<QPushButton*, 3> SelctFolder{};
    QListWidget* SFileList = nullptr;
    QLabel* Label1 = nullptr;
    QLabel* Label2 = nullptr;
    QLabel* Label3 = nullptr;
    std::array<QRadioButton*, 14> Bits{};
    std::array<QRadioButton*, 3> Stereo{};
    std::array<QRadioButton*, 2> ListSort{};
    QLabel* TempFree = nullptr;
    QPlainTextEdit* Msg = nullptr;
    QLineEdit* Prog = nullptr;
    QLineEdit* NowCount = nullptr;
    QPushButton* ConvertStart = nullptr;
    QPushButton* AllSelect = nullptr;
    QPushButton* OneSelect = nullptr;
    QPushButton* OneRemove = nullptr;
    QPushButton* AllRemove = nullptr;
    QLabel* SelectFileSize = nullptr;
    QListWidget* SelectList = nullptr;
    QPushButton* MakeNewDir = nullptr;
    QListWidget* DFileList = nullptr;
    QPushButton* DeleteFile = nullptr;
    QLabel* FreeSpace = nullptr;
    QLineEdit* PlayListName = nullptr;
    QPlainTextEdit* M3UText = nullptr;
    QPushButton* MakePlayList = nullptr;
    QCheckBox* SetPathCheck = nullptr;
    QPushButton* SavePlayList = nullptr;
    QPushButton* ProgExit = nullptr;

    void createControls();
    void applyTabOrder();
    void connectEvents();
    void acceptFileDrops();
    // Queues the source list's entries (the selected ones only, or all), in their order, each path once.
    void queueSourceEntries(bool selectedOnly);
    // SelectList and its totals follow the queue model.
    void connectQueue();
    void showQueueTotals();
    // Raises SelectList's horizontal scroll range to the queue's extent whenever the list recomputes it.
    void applyQueueExtent();
    // DFileList, the count and the free space from the listing model.
    void showDestination();
    // After a run's file: the listing takes in the file placed at `destination`.
    void showPlacedFile(const QString& destination, bool placed);

    ProgramInfo m_program;
    Dialogs& m_dialogs;
    // Where the focus was when the window became busy; disabling that control moves the focus on (to
    // the sort options, the only controls left enabled), and the idle state gives it back.
    QPointer<QWidget> m_focusBeforeBusy;
    bool m_busy = false;
    // The conversion run under way, which a click on "中止" stops.
    core::ConversionRun* m_run = nullptr;
    int m_jobs = 1;
    // Jobs as start-up set it: the settings file gets the key only when it had it or Jobs changed since.
    int m_jobsAtLoad = 1;
    bool m_shutdownRequested = false;
    void closeWhenIdle();
    QString m_workerProgram;
    core::ConversionQueue m_queue;
    bool m_queueExtentGuarded = false;
    core::DestinationListing m_listing;
};

// Enters the busy state for the lifetime of the scope and leaves it at the end, whatever happens.
class BusyScope {
  public:
    explicit BusyScope(MainForm& form) : m_form(form) { m_form.EnableControls(false); }
    ~BusyScope() { m_form.EnableControls(true); }
    BusyScope(const BusyScope&) = delete;
    BusyScope& operator=(const BusyScope&) = delete;

  private:
    MainForm& m_form;
};
