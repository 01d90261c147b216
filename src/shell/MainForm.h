#pragma once

#include "shell/ProgramInfo.h"

#include <QPointer>
#include <QSet>
#include <QWidget>
#include <array>
#include <functional>
#include <memory>

class Dialogs;
class QCheckBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QLockFile;
class QPlainTextEdit;
class QPushButton;
class QRadioButton;

// The program's only top-level window. It owns all working state in its controls; the handlers of each
// subsystem are members implemented in that subsystem's folder (lists/, conversion/, fileops/,
// tageditor/) and read and write the controls directly. The controls carry their window-definition names
// as object names ("SelectFolderText(0)", "Bits(13)") so that tests and accessibility tools find them.
class MainForm : public QWidget {
    Q_OBJECT

  public:
    MainForm(const ProgramInfo& program, Dialogs& dialogs, QWidget* parent = nullptr);
    ~MainForm() override;

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
    QListWidget* FileList = nullptr;
    QPushButton* DeleteFile = nullptr;
    QLabel* FreeSpace = nullptr;
    QLineEdit* PlayListName = nullptr;
    QPlainTextEdit* M3UText = nullptr;
    QPushButton* MakePlayList = nullptr;
    QCheckBox* SetPathCheck = nullptr;
    QPushButton* SavePlayList = nullptr;
    QPushButton* ProgExit = nullptr;

    // --- Window state besides the controls ---
    qint64 QueueBytes = 0; // byte total of the conversion queue
    int QueueExtent = 0;   // horizontal scroll range last given to SelectList, in pixels
    QString SFileListPath; // the folder the source list shows

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
    void Form_QueryUnload(bool& cancel);
    void Form_Unload();
    void ProgExit_Click();
    // Writes the settings from the controls; empty when they are saved, else the message that says why not.
    QString WriteSettings();
    // From here on SIGTERM, SIGHUP and SIGINT (a logout, a shutdown, a closed terminal) and a session
    // manager's requests end the program as the close box does (see requestShutdown).
    void watchForShutdown();
    // A request to end from outside the window: a run stops as "中止" stops it, an open dialog is closed
    // as its Cancel or No would close it, and once the window is idle the settings are written and the
    // program ends.
    void requestShutdown();

    // --- Destination listing (lists/) ---
    void GetDiskFree();
    void ListSort_Click(int index);

    // --- Conversion queue (lists/) ---
    void OneSelect_Click();
    void AllSelect_Click();
    void OneRemove_Click();
    void AllRemove_Click();
    void AddQueueEntry(const QString& path);
    bool NotInQueue(const QString& path) const;
    void ShowQueueTotals();
    // Points the source list at a folder and re-reads it.
    void RefreshSourceList(const QString& folder);
    // The paths in SelectList, kept beside it so that the duplicate test does not walk the whole queue
    // for every file added; every change of SelectList's entries updates it too.
    QSet<QString> queuedPaths;
    // Raises SelectList's horizontal scroll range to QueueExtent whenever the list recomputes it.
    void applyQueueExtent();
    bool queueExtentGuarded = false;

    // Files and folders dropped onto the source list or the queue (lists/FileDrops.cpp): each MP3 file,
    // and the MP3 files of each folder in name order, join the queue once.
    void QueueDroppedPaths(const QStringList& paths);

    // --- Folder selection (lists/) ---
    void SelctFolder_Click(int index);

    // --- Conversion (conversion/) ---
    void ConvertStart_Click();
    // Re-encodes one file into the destination path; a request to stop the run comes back through CancelFlag.
    void ConvertFile(const QString& sourcePath, const QString& destinationPath, int bitRate, int channelMode);
    // 0 while a conversion run may go on, -1 once it is to stop.
    qint16 CancelFlag = 0;
    // Files a run converts at once (settings key Jobs): 1 converts in this process; more run each file in
    // a worker process of workerProgram (the command line program beside this one), when it is there.
    int Jobs = 1;
    static constexpr int MaxJobs = 64;
    QString workerProgram;

    // --- Playlist, new folder, deletion (fileops/) ---
    void MakePlayList_Click();
    void SavePlayList_Click();
    void MakeNewDir_Click();
    void DeleteFile_Click();

    // --- Tag editor openers (tageditor/) ---
    void SFileList_DblClick();
    void DFileList_DblClick();

  protected:
    void closeEvent(QCloseEvent* event) override;

  private:
    void createControls();
    void applyTabOrder();
    void connectEvents();
    void acceptFileDrops();

    ProgramInfo m_program;
    Dialogs& m_dialogs;
    // Where the focus was when the window became busy; disabling that control moves the focus on (to
    // the sort options, the only controls left enabled), and the idle state gives it back.
    QPointer<QWidget> m_focusBeforeBusy;
    bool m_busy = false;
    // Jobs as start-up set it: the settings file gets the key only when it had it or Jobs changed since.
    int m_jobsAtLoad = 1;
    bool m_shutdownRequested = false;
    void closeWhenIdle();

  public:
    // Held from start-up to the end of the program so that a second copy can see this one.
    std::unique_ptr<QLockFile> instanceLock;
    // Set once the program is ending, so that nothing more runs afterwards.
    bool ended = false;
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

class QListWidgetItem;
// An entry for the hidden sorted list: ordered by text without regard to letter case.
QListWidgetItem* makeSortedListItem(const QString& text);
