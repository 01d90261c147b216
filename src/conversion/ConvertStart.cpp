// The start/stop button: the queue becomes a conversion run, whose progress the window shows with the
// running count in its caption, and the button serves as the stop button while the run lasts.

#include "core/ConversionRun.h"
#include "core/DestinationCheck.h"
#include "core/EncodingChoices.h"
#include "core/FileHelpers.h"
#include "core/OutcomeText.h"
#include "core/RunFolder.h"
#include "core/TextConstants.h"
#include "shell/Dialogs.h"
#include "shell/MainForm.h"
#include "shell/PathHelpers.h"

#include <QCoreApplication>
#include <QDir>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QScopeGuard>

namespace {

const QString StopCaption = QStringLiteral("中止");
const QString StartCaption = QStringLiteral("変換開始");

template <size_t N> int checkedIndex(const std::array<QRadioButton*, N>& options) {
    for (size_t i = 0; i < N; ++i) {
        if (options[i]->isChecked())
            return int(i);
    }
    return -1;
}

// The outcome's message box, with the pointer switched around it where the message asks for it.
void showOutcome(MainForm& form, const core::Outcome& outcome, const QString& source) {
    const core::OutcomeMessage message = core::outcomeMessage(outcome, source);
    if (!message.shown)
        return;
    // Message boxes during a run show the normal pointer over the busy window; the two set-up checks
    // before anything is opened leave the hourglass as it is.
    if (message.switchPointer)
        form.setCursor(Qt::ArrowCursor);
    form.dialogs().message(&form, form.program().title, message.text,
                           message.exclamation ? Dialogs::Icon::Exclamation : Dialogs::Icon::Critical);
    if (message.switchPointer)
        form.setCursor(Qt::WaitCursor);
}

// Before any work: the destination must be able to take the files, and replacing the originals with
// their re-encodes is allowed but never silent.
bool destinationAgreed(MainForm& form, const QString& folder, const QStringList& sources) {
    if (sources.isEmpty())
        return true;
    if (const QString problem = core::destinationProblem(folder); !problem.isEmpty()) {
        form.dialogs().message(&form, form.program().title,
                               QStringLiteral("変換ファイルの作成に失敗しました。\r") + folder +
                                   QLatin1Char('\r') + problem,
                               Dialogs::Icon::Critical);
        return false;
    }
    for (const QString& source : sources) {
        if (core::isFolderOf(folder, source))
            return form.dialogs().confirm(
                &form, form.program().title,
                QStringLiteral(
                    "変換先フォルダ %1 に変換するファイルの元のファイルがあります。\r元のファイルは変換後の"
                    "ファイルで置き換えられます。\r宜しいですか?")
                    .arg(folder));
    }
    return true;
}

} // namespace

void MainForm::showPlacedFile(const QString& destination, bool placed) {
    // The listing takes the new file in where a fresh reading would put it; only a listing of another
    // folder (or none yet) is read afresh.
    if (m_listing.folder() != AddPathSep(SelectFolderText[2]->text())) {
        GetDiskFree();
        return;
    }
    if (placed)
        m_listing.addPlaced(ExtractFileName(destination));
    showDestination();
}

void MainForm::ConvertStart_Click() {
    EnableControls(false);

    // A click while a run lets window events run is a request to stop it. Disabling the button keeps a
    // second click from arriving; the running file sees the request and cleans up.
    if (ConvertStart->text() == StopCaption) {
        EnableControls(false);
        if (m_run)
            m_run->cancel();
        return;
    }
    // Work folders that killed runs left behind go now; those of runs still alive stay.
    core::RunFolder::reclaim(SelectFolderText[1]->text());
    QStringList sources;
    for (int i = 0; i < SelectList->count(); ++i)
        sources << SelectList->item(i)->text();
    if (!destinationAgreed(*this, SelectFolderText[2]->text(), sources)) {
        EnableControls(true);
        return;
    }
    ConvertStart->setText(StopCaption);
    ConvertStart->setToolTip(QStringLiteral("処理を中止します。"));
    ConvertStart->setEnabled(true);

    const int bits = checkedIndex(Bits);
    const int bitRate = bits >= 0 ? core::BitRates[bits] : 0;
    const int channelMode = qMax(0, checkedIndex(Stereo));
    QList<core::ConversionJob> jobs;
    for (int i = 0; i < SelectList->count(); ++i) {
        core::ConversionJob job;
        job.source = SelectList->item(i)->text();
        job.destination = AddPathSep(SelectFolderText[2]->text()) + ExtractFileName(job.source);
        job.workFolder = SelectFolderText[1]->text();
        job.bitRate = bitRate;
        job.channelMode = channelMode;
        jobs << job;
    }
    core::RunSettings settings;
    settings.workers = m_jobs;
    settings.workerProgram =
        m_workerProgram.isEmpty()
            ? QDir(QCoreApplication::applicationDirPath()).filePath(QStringLiteral("mp3recast-cli"))
            : m_workerProgram;
    settings.workFolder = SelectFolderText[1]->text();

    core::ConversionRun run(jobs, settings);
    m_run = &run;
    // Whatever way the run ends (a failure inside it too), no click may reach it afterwards.
    const auto forgetRun = qScopeGuard([this] { m_run = nullptr; });
    connect(&run, &core::ConversionRun::fileStarted, this, [this, count = jobs.size()](int index) {
        NowCount->setText(QString::number(index + 1) + QLatin1Char('/') + QString::number(count));
        setWindowTitle(QStringLiteral("コンバート中 [") + NowCount->text() + QLatin1Char(']'));
    });
    connect(&run, &core::ConversionRun::converting, this, [this] { Prog->setText(QStringLiteral("0%")); });
    connect(&run, &core::ConversionRun::decoding, this, [this](int, const QString& songText) {
        Prog->setText(QStringLiteral("0%"));
        Msg->setPlainText(QStringLiteral(" .. コンバート中..  ") + core::CRLF + songText);
    });
    // The window's events run whenever the shown percentage changes and at the converter's pauses.
    connect(&run, &core::ConversionRun::progress, this, [this](int, int percent) {
        Prog->setText(QString::number(percent) + QLatin1Char('%'));
        QCoreApplication::processEvents();
    });
    connect(&run, &core::ConversionRun::paused, this, [] { QCoreApplication::processEvents(); });
    connect(&run, &core::ConversionRun::fileFinished, this,
            [this, &run](int index, const core::Outcome& outcome) {
                showOutcome(*this, outcome, run.jobs()[index].source);
                // A failed copy stops the run after this file.
                if (outcome.failure == core::Failure::CopyFailed)
                    run.cancel();
                showPlacedFile(run.jobs()[index].destination, outcome.converted());
            });
    run.run();

    if (!run.stopRequested())
        AllRemove_Click();
    setWindowTitle(m_program.mainCaption());
    ConvertStart->setText(StartCaption);
    ConvertStart->setToolTip(StartCaption);
    Msg->clear();
    NowCount->clear();
    Prog->clear();
    EnableControls(true);
}
