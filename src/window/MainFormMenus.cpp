// The menu bar above the window's controls and the status bar below them: the ways to the options, the
// library sync, the guide and the program's identity, and the line that says which options are on and,
// after a run or a sync, what it did.

#include "window/MainForm.h"

#include "conversion/ConversionPanel.h"
#include "core/convert/EncodingChoices.h"
#include "core/run/ConversionRun.h"
#include "librarysync/LibrarySyncDialog.h"
#include "notify/DesktopNotice.h"
#include "options/AboutText.h"
#include "options/GuidePath.h"
#include "options/OptionsDialog.h"
#include "options/OptionsSummary.h"
#include "ui/Dialogs.h"

#include <QDesktopServices>
#include <QMenuBar>
#include <QStatusBar>
#include <QUrl>
#include <optional>

void MainForm::createMenus() {
    m_menuBar = new QMenuBar(this);
    m_menuBar->setObjectName(QStringLiteral("MenuBar"));
    // The window's own controls never take the keyboard to the menu bar by Tab; Alt and the accelerators do.
    m_menuBar->setFocusPolicy(Qt::NoFocus);

    QMenu* file = m_menuBar->addMenu(QStringLiteral("ファイル(&F)"));
    file->setObjectName(QStringLiteral("FileMenu"));
    m_syncAction = file->addAction(QStringLiteral("ライブラリを同期(&S)..."));
    m_syncAction->setObjectName(QStringLiteral("LibrarySyncAction"));
    file->addSeparator();
    m_exitAction = file->addAction(QStringLiteral("終了(&X)"));
    m_exitAction->setObjectName(QStringLiteral("ExitAction"));

    QMenu* settings = m_menuBar->addMenu(QStringLiteral("設定(&O)"));
    settings->setObjectName(QStringLiteral("SettingsMenu"));
    m_optionsAction = settings->addAction(QStringLiteral("変換オプション(&O)..."));
    m_optionsAction->setObjectName(QStringLiteral("OptionsAction"));

    QMenu* help = m_menuBar->addMenu(QStringLiteral("ヘルプ(&H)"));
    help->setObjectName(QStringLiteral("HelpMenu"));
    QAction* guide = help->addAction(QStringLiteral("使い方(&H)"));
    guide->setObjectName(QStringLiteral("GuideAction"));
    QAction* about = help->addAction(QStringLiteral("バージョン情報(&A)"));
    about->setObjectName(QStringLiteral("AboutAction"));

    // Every menu command runs as a click on a button does: through the handler guard, so that a failure
    // inside it is a message and not the end of the program.
    const auto onTrigger = [this](QAction* action, auto handler) {
        connect(action, &QAction::triggered, this, [this, handler] { runHandler(handler); });
    };
    onTrigger(m_syncAction, [this] { showLibrarySync(); });
    // 終了 is the 終了 button: the same close, with the same questions.
    onTrigger(m_exitAction, [this] { ProgExit_Click(); });
    onTrigger(m_optionsAction, [this] { showOptionsDialog(); });
    onTrigger(guide, [this] { showGuide(); });
    onTrigger(about, [this] { showAbout(); });

    m_statusBar = new QStatusBar(this);
    m_statusBar->setObjectName(QStringLiteral("StatusBar"));
    m_statusBar->setSizeGripEnabled(false);
    connect(m_conversion.get(), &ConversionPanel::runEnded, this, [this](core::RunSummary summary) {
        summary.elapsedMs = m_runDuration(summary.elapsedMs);
        showRunSummary(summary);
        noticeRunEnd(summary, isActiveWindow());
    });
}

void MainForm::setMenusEnabled(bool enabled) {
    // Starting a sync or changing the options would change a run under way; the guide and the program's
    // identity stay at hand, and 終了 follows the 終了 button.
    m_syncAction->setEnabled(enabled);
    m_optionsAction->setEnabled(enabled);
    m_exitAction->setEnabled(enabled);
}

options::Choice MainForm::optionsChoice() const {
    return options::Choice{m_settings.runOptions(), m_conversion->workers()};
}

void MainForm::applyOptions(const options::Choice& choice) {
    m_settings.setRunOptions(choice.run);
    m_conversion->setRunOptions(choice.run);
    m_conversion->setWorkerCount(choice.jobs > 0 ? choice.jobs : core::defaultWorkerCount());
    showIdleStatus();
}

void MainForm::showOptionsDialog() {
    if (const std::optional<options::Choice> choice = options::OptionsDialog::ask(this, optionsChoice()))
        applyOptions(*choice);
}

void MainForm::showGuide() {
    const QString guide = options::guidePath();
    if (guide.isEmpty() || !QDesktopServices::openUrl(QUrl::fromLocalFile(guide)))
        m_dialogs.message(this, m_program.title,
                          QStringLiteral("使い方のページを開けませんでした。") +
                              (guide.isEmpty() ? QString() : QLatin1Char('\r') + guide),
                          Dialogs::Icon::Exclamation);
}

void MainForm::showAbout() {
    m_dialogs.message(this, QStringLiteral("バージョン情報"), options::aboutText(m_program),
                      Dialogs::Icon::Information);
}

void MainForm::showIdleStatus() {
    m_statusBar->showMessage(options::optionsStatusText(m_settings.runOptions()));
}

void MainForm::showRunSummary(const core::RunSummary& summary) {
    m_statusBar->showMessage(options::runSummaryStatusText(summary));
    m_summaryShown = true;
}

void MainForm::noticeRunEnd(const core::RunSummary& summary, bool watched) {
    // A long run that ends while the user works elsewhere tells them so; without a notification service
    // nothing is sent.
    if (notify::shouldNotify(summary.elapsedMs, watched)) // best effort: the status bar shows it too
        static_cast<void>(notify::notifyDesktop(m_program.title, options::runSummaryStatusText(summary)));
}

void MainForm::clearRunSummary() {
    // The summary of the last run stays until the next action.
    if (!m_summaryShown)
        return;
    m_summaryShown = false;
    showIdleStatus();
}

void MainForm::showLibrarySync() {
    const librarysync::SyncChoice initial{m_settings.syncSource(), m_settings.syncDestination(),
                                          m_settings.syncPrune(), optionsChoice()};
    const int bits = m_conversion->bitRateIndex();
    librarysync::LibrarySyncDialog dialog(initial, bits >= 0 ? core::BitRates[bits] : core::BitRates[8],
                                          qMax(0, m_conversion->channelModeIndex()),
                                          m_conversion->workerProgram(), this);
    std::optional<core::RunSummary> summary;
    connect(&dialog, &librarysync::LibrarySyncDialog::syncFinished, this,
            [&](const core::RunSummary& done, qint64 elapsedMs) {
                summary = done;
                summary->elapsedMs = m_runDuration(elapsedMs);
                // Told when the sync ends, not when its dialog is closed, which may be much later; a user
                // watching the dialog is at the program too.
                noticeRunEnd(*summary, isActiveWindow() || dialog.isActiveWindow());
            });
    dialog.exec();
    // The folders and the options chosen there are the next sync's, whether it ran or not.
    const librarysync::SyncChoice chosen = dialog.choice();
    m_settings.setSyncSource(chosen.source);
    m_settings.setSyncDestination(chosen.destination);
    m_settings.setSyncPrune(chosen.prune);
    applyOptions(chosen.options);
    if (summary)
        showRunSummary(*summary);
}
