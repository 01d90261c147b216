// From the start of the program until the window is ready, and from the close box or the "終了" button
// to the end: the single-instance check, the caption, the settings, the first listings.

#include "conversion/ConversionPanel.h"
#include "core/files/AtomicFile.h"
#include "core/run/ConversionRun.h"
#include "core/run/TerminationSignals.h"
#include "lists/DestinationPanel.h"
#include "lists/SourcePanel.h"
#include "playlist/PlaylistPanel.h"
#include "ui/Dialogs.h"
#include "window/MainForm.h"

#include <QApplication>
#include <QDir>
#include <QFileInfo>
#include <QLockFile>
#include <QPushButton>
#include <QSessionManager>
#include <QTimer>
#include <cstdio>

static_assert(ProgramSettings::MaxJobs == MainForm::MaxJobs);

namespace {

// A message for the terminal, when the program ends where no one reads a message box.
void printProblem(const core::Result& result) {
    if (result)
        return;
    QString text = result.reason();
    text.replace(QLatin1Char('\r'), QStringLiteral(": "));
    std::fputs(qPrintable(QStringLiteral("MP3Recast: ") + text + QLatin1Char('\n')), stderr);
}

} // namespace

bool MainForm::Form_Load() {
    EnableControls(false);

    // A lock whose owner has died is taken over; a living owner keeps it however long it has run. Only a
    // lock held by another copy refuses the start: when the lock cannot be made at all (no runtime
    // folder, no rights), the program runs without one rather than claim a copy that does not exist.
    m_instanceLock = std::make_unique<QLockFile>(m_program.instanceLockPath());
    m_instanceLock->setStaleLockTime(0);
    if (!m_instanceLock->tryLock(0)) {
        const bool heldByAnother = m_instanceLock->error() == QLockFile::LockFailedError;
        m_instanceLock.reset();
        if (heldByAnother) {
            m_dialogs.message(this, m_program.title,
                              m_program.title + QStringLiteral("は 既に実行されています。"),
                              Dialogs::Icon::Exclamation);
            m_ended = true;
            return false;
        }
    }

    setWindowTitle(m_program.mainCaption());

    // A settings file whose writer was killed before its rename left a temporary copy beside it.
    core::finishInterruptedWrites(QFileInfo(m_program.settingsFilePath()).path());
    // The file is read once; the values are then applied in the order of start-up.
    m_settings = ProgramSettings::load(m_program.settingsFilePath(),
                                       {m_program.defaultSourceFolder(), m_program.defaultWorkFolder(),
                                        m_program.defaultDestinationFolder(), core::defaultWorkerCount()});
    m_conversion->setBitRateIndex(m_settings.bitRateIndex());
    m_conversion->setChannelModeIndex(m_settings.channelModeIndex());

    m_source->setFolder(m_settings.sourceFolder());
    m_conversion->setWorkFolder(m_settings.workFolder());
    m_destination->setFolder(m_settings.destinationFolder());

    // Tag rewrites that a killed writer left half done in the folders the window shows are finished now,
    // before the tag editor reads any of their files.
    for (const QString& folder : {m_source->folder(), m_destination->folder(), QDir::tempPath()})
        core::finishInterruptedWrites(folder);

    m_playlist->setName(m_settings.playListName());
    m_playlist->setPathSetting(m_settings.playListPathSetting());

    // Selecting another option than the window's own runs its click handler, which lists the destination.
    m_destination->setSortIndex(m_settings.sortIndex());

    // How many files a run converts at once, each in a worker process (1: in the window's own process).
    m_conversion->setWorkerCount(m_settings.jobs());
    m_conversion->setRunOptions(m_settings.runOptions());
    showIdleStatus();

    GetDiskFree();
    EnableControls(true);
    return true;
}

void MainForm::Form_QueryUnload(bool& cancel) {
    // ProgExit is disabled exactly while the window is busy, and for the whole of a conversion run.
    if (!ProgExit->isEnabled())
        cancel = true;
}

void MainForm::Form_Unload() {
    if (const core::Result saved = WriteSettings(); !saved)
        m_dialogs.message(this, m_program.title, saved.reason(), Dialogs::Icon::Critical);
}

core::Result MainForm::WriteSettings() {
    // The options and the sync folders stay as start-up or the dialogs left them; the rest comes from the
    // controls.
    m_settings.setBitRateIndex(m_conversion->bitRateIndex());
    m_settings.setChannelModeIndex(m_conversion->channelModeIndex());
    m_settings.setSortIndex(m_destination->sortIndex());
    m_settings.setSourceFolder(m_source->folder());
    m_settings.setWorkFolder(m_conversion->workFolder());
    m_settings.setDestinationFolder(m_destination->folder());
    m_settings.setPlayListName(m_playlist->name());
    m_settings.setPlayListPathSetting(m_playlist->pathSetting());
    m_settings.setJobs(m_conversion->workers());
    const QString path = m_program.settingsFilePath();
    const core::Result saved = m_settings.save(path);
    if (saved)
        return {};
    return core::Error{QStringLiteral("設定を保存できませんでした。\r") + QDir::toNativeSeparators(path) +
                       QLatin1Char('\r') + saved.reason()};
}

void MainForm::watchForShutdown() {
    auto* watcher = new core::TerminationSignals(this);
    connect(watcher, &core::TerminationSignals::received, this, [this] { requestShutdown(); });
    // A session manager asks for the settings before the logout, which then ends the program. The program
    // cannot restore a session (it takes no arguments), so it asks not to be restarted with one.
    connect(qApp, &QGuiApplication::commitDataRequest, this,
            [this](QSessionManager&) { printProblem(WriteSettings()); });
    connect(qApp, &QGuiApplication::saveStateRequest, this,
            [](QSessionManager& manager) { manager.setRestartHint(QSessionManager::RestartNever); });
}

void MainForm::requestShutdown() {
    if (m_shutdownRequested)
        return;
    m_shutdownRequested = true;
    // No handler starts any more; a running conversion sees the flag at its next pass and cleans up.
    m_ended = true;
    m_conversion->stop();
    closeWhenIdle();
}

void MainForm::closeWhenIdle() {
    if (QWidget* dialog = QApplication::activeModalWidget())
        dialog->close();
    if (m_busy || QApplication::activeModalWidget()) {
        QTimer::singleShot(20, this, [this] { closeWhenIdle(); });
        return;
    }
    // No one is there to read a message box: the reason goes to the terminal, if any.
    printProblem(WriteSettings());
    m_endProgram();
}

void MainForm::ProgExit_Click() {
    m_ended = true;
    m_endProgram();
}
