// From the start of the program until the window is ready, and from the close box or the "終了" button
// to the end: the single-instance check, the caption, the settings, the first listings.

#include "conversion/ConversionPanel.h"
#include "core/convert/EncodingChoices.h"
#include "core/files/AtomicFile.h"
#include "core/run/ConversionRun.h"
#include "core/run/TerminationSignals.h"
#include "lists/DestinationPanel.h"
#include "lists/SourcePanel.h"
#include "playlist/PlaylistPanel.h"
#include "ui/Dialogs.h"
#include "ui/PathHelpers.h"
#include "window/MainForm.h"
#include "window/Settings.h"

#include <QApplication>
#include <QDir>
#include <QFileInfo>
#include <QLockFile>
#include <QPushButton>
#include <QSessionManager>
#include <QTimer>
#include <cstdio>

namespace {

const QString SettingSection = QStringLiteral("Setting");

// The setting as an index of an option array, or the default when the text is no integer in range; a
// hand-edited or damaged file must not leave an array with no option selected.
int readIndex(const ProfileFile& settings, const QString& key, int defaultValue, int count) {
    const QString text = settings.read(SettingSection, key, QString::number(defaultValue));
    bool ok = false;
    const int value = text.toInt(&ok);
    return ok && value >= 0 && value < count ? value : defaultValue;
}

// A folder setting, or the folder's default when the stored one is gone or hidden, or names a file
// (TempPath=/etc/passwd): a folder field must never hold what no folder chooser could have chosen.
QString readFolder(const ProfileFile& settings, const QString& key, const QString& defaultFolder) {
    const QString folder = settings.read(SettingSection, key, defaultFolder);
    return FolderExists(folder) && QFileInfo(QDir::fromNativeSeparators(folder)).isDir() ? folder
                                                                                         : defaultFolder;
}

// A message for the terminal, when the program ends where no one reads a message box.
void printProblem(QString text) {
    if (text.isEmpty())
        return;
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
    // The file is read once; each setting is then looked up in memory.
    const ProfileFile settings = ProfileFile::load(m_program.settingsFilePath());
    m_conversion->setBitRateIndex(readIndex(settings, QStringLiteral("Bits"), 8, int(core::BitRates.size())));
    m_conversion->setChannelModeIndex(
        readIndex(settings, QStringLiteral("Stereo"), 1, core::ChannelModeCount));

    m_source->setFolder(readFolder(settings, QStringLiteral("InPath"), m_program.defaultSourceFolder()));
    m_conversion->setWorkFolder(
        readFolder(settings, QStringLiteral("TempPath"), m_program.defaultWorkFolder()));
    m_destination->setFolder(
        readFolder(settings, QStringLiteral("OutPath"), m_program.defaultDestinationFolder()));

    // Tag rewrites that a killed writer left half done in the folders the window shows are finished now,
    // before the tag editor reads any of their files.
    for (const QString& folder : {m_source->folder(), m_destination->folder(), QDir::tempPath()})
        core::finishInterruptedWrites(folder);

    m_playlist->setName(
        settings.read(SettingSection, QStringLiteral("PlayList"), QStringLiteral("MP3LIST.M3U")));
    // Anything but 0, 1 and 2 (partly checked, kept until the user clicks the box) counts as 0.
    m_playlist->setPathSetting(readIndex(settings, QStringLiteral("PlayListPathSet"), 0, 3));

    // Selecting another option than the window's own runs its click handler, which lists the destination.
    m_destination->setSortIndex(readIndex(settings, QStringLiteral("Sort"), 1, 2));

    // How many files a run converts at once, each in a worker process (1: in the window's own process).
    const int jobs = settings.read(SettingSection, QStringLiteral("Jobs"), QString()).toInt();
    m_conversion->setWorkerCount(jobs >= 1 && jobs <= MaxJobs ? jobs : core::defaultWorkerCount());
    m_jobsAtLoad = m_conversion->workers();
    // Set by hand for a stick: names FAT32 and exFAT refuse get their full-width forms.
    core::RunOptions runOptions = m_conversion->runOptions();
    runOptions.fatNames =
        settings.read(QStringLiteral("Options"), QStringLiteral("FatNames"), QStringLiteral("0")).trimmed() ==
        QLatin1String("1");
    m_conversion->setRunOptions(runOptions);

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
    const QString problem = WriteSettings();
    if (!problem.isEmpty())
        m_dialogs.message(this, m_program.title, problem, Dialogs::Icon::Critical);
}

QString MainForm::WriteSettings() {
    // Read again, so that lines edited by hand meanwhile survive; the keys go in the order a new file
    // lists them, and the file is written once at the end (not at all when nothing changed).
    const QString path = m_program.settingsFilePath();
    ProfileFile settings = ProfileFile::load(path);
    auto write = [&settings](const QString& key, const QString& value) {
        settings.write(SettingSection, key, value);
    };
    if (const int bits = m_conversion->bitRateIndex(); bits >= 0)
        write(QStringLiteral("Bits"), QString::number(bits));
    if (const int stereo = m_conversion->channelModeIndex(); stereo >= 0)
        write(QStringLiteral("Stereo"), QString::number(stereo));
    if (const int sort = m_destination->sortIndex(); sort >= 0)
        write(QStringLiteral("Sort"), QString::number(sort));
    write(QStringLiteral("InPath"), m_source->folder());
    write(QStringLiteral("TempPath"), m_conversion->workFolder());
    write(QStringLiteral("OutPath"), m_destination->folder());
    write(QStringLiteral("PlayList"), m_playlist->name());
    write(QStringLiteral("PlayListPathSet"), QString::number(m_playlist->pathSetting()));
    // Without the key the machine's number of cores applies, wherever the file is carried to.
    if (m_conversion->workers() != m_jobsAtLoad)
        write(QStringLiteral("Jobs"), QString::number(m_conversion->workers()));
    QString cause;
    if (settings.save(path, &cause))
        return {};
    return QStringLiteral("設定を保存できませんでした。\r") + QDir::toNativeSeparators(path) +
           QLatin1Char('\r') + cause;
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
