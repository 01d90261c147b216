// 「ライブラリを同期」: keeps a converted copy of a whole folder tree in step, as `mp3recast-cli -r --update
// [--prune]` does with the same options. 「確認」 lists what a run would do and whether it fits the
// destination; 「開始」 runs it in the dialog (「中止」 stops it, leaving nothing partial) and the summary
// stays shown at the end.
#pragma once

#include "core/run/RunRequest.h"
#include "core/run/RunSummary.h"
#include "options/OptionsDialog.h"

#include <QDialog>
#include <optional>

class QCheckBox;
class QLabel;
class QLineEdit;
class QProgressBar;
class QPushButton;
class QTreeWidget;

namespace core {
class LibraryRun;
}

namespace librarysync {

struct SyncChoice {
    QString source;      // the library folder
    QString destination; // the folder its converted copy is kept in
    bool prune = false;  // copies whose sources are gone are deleted
    options::Choice options;
    bool operator==(const SyncChoice&) const = default;
};

class LibrarySyncDialog : public QDialog {
    Q_OBJECT

  public:
    // `bitRate` and `channelMode` are the window's encoding; `workerProgram` is the command line program
    // the workers run (the worker count is the options' jobs).
    LibrarySyncDialog(const SyncChoice& initial, int bitRate, int channelMode, const QString& workerProgram,
                      QWidget* parent = nullptr);
    ~LibrarySyncDialog() override;

    // What the fields say now (the options as the options dialog last gave them).
    SyncChoice choice() const;
    // The run the fields ask for: recursive, update, prune as checked, not dry.
    core::RunRequest request() const;

    // Of the last 「確認」: what it found and the bytes it estimates the run writes.
    const std::optional<core::RunPreview>& lastPreview() const { return m_preview; }
    qint64 bytesToWrite() const { return m_bytesToWrite; }
    // Of the last run that ended.
    core::RunSummary lastSummary() const { return m_summary; }
    bool isRunning() const { return m_run != nullptr; }

    // The free space 「確認」 compares against instead of the destination's (nullopt: the real one), for
    // tests that cannot fill a volume.
    void setFreeSpaceOverride(std::optional<qint64> bytes) { m_freeSpaceOverride = bytes; }

  public slots:
    // 「確認」: previews the request and shows every entry, the counts and the space needed. False when
    // the run cannot start (nothing to sync, a field empty, too little space).
    [[nodiscard]] bool preview();
    // 「開始」: checks again as 「確認」 does, then runs; returns when the run has ended.
    void start();
    // 「中止」: the file under way is given up, nothing later starts, nothing is pruned.
    void stop();

  signals:
    // A run ended (also when stopped): for the main window's status bar and desktop notice. Not named
    // finished, which would hide QDialog::finished(int).
    void syncFinished(const core::RunSummary& summary, qint64 elapsedMs);

  protected:
    void reject() override;

  private:
    void chooseFolder(QLineEdit* field);
    void chooseOptions();
    void fieldsChanged();
    void showOptions();
    void showEntries(const core::RunPreview& preview);
    void setIdle(bool idle);

    int m_bitRate;
    int m_channelMode;
    QString m_workerProgram;
    options::Choice m_options;

    QLineEdit* m_source = nullptr;
    QLineEdit* m_destination = nullptr;
    QCheckBox* m_prune = nullptr;
    QLabel* m_encoding = nullptr;
    QLabel* m_optionsText = nullptr;
    QPushButton* m_optionsButton = nullptr;
    QPushButton* m_previewButton = nullptr;
    QPushButton* m_startButton = nullptr;
    QPushButton* m_closeButton = nullptr;
    QTreeWidget* m_entries = nullptr;
    QLabel* m_spaceText = nullptr;
    QProgressBar* m_progress = nullptr;
    QLabel* m_timeLeft = nullptr;
    QLabel* m_summaryText = nullptr;

    std::optional<core::RunPreview> m_preview;
    qint64 m_bytesToWrite = 0;
    std::optional<qint64> m_freeSpaceOverride;
    core::RunSummary m_summary;
    core::LibraryRun* m_run = nullptr;
};

} // namespace librarysync
