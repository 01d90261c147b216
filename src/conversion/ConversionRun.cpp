// The conversion run: every queued file in turn, with the running count in the window, and the start
// button serving as the stop button while the run lasts.

#include "conversion/WindowConversion.h"
#include "core/DestinationCheck.h"
#include "core/FileHelpers.h"
#include "core/RunFolder.h"
#include "core/WorkerPool.h"
#include "shell/Dialogs.h"
#include "shell/MainForm.h"
#include "shell/PathHelpers.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>

namespace {

const QString StopCaption = QStringLiteral("中止");
const QString StartCaption = QStringLiteral("変換開始");

constexpr int BitRates[14] = {32, 40, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320};

// Worker processes for the whole queue, when the settings ask for more than one file at a time, the
// queue has more than one file and the command line program is there; otherwise none, and the run
// converts in this process.
std::unique_ptr<core::WorkerPool> startWorkers(MainForm& form, int bitRate, int channelMode) {
    const QString program =
        form.workerProgram.isEmpty()
            ? QDir(QCoreApplication::applicationDirPath()).filePath(QStringLiteral("mp3recast-cli"))
            : form.workerProgram;
    if (form.Jobs <= 1 || form.SelectList->count() < 2 || !QFileInfo(program).isExecutable())
        return nullptr;
    QList<core::ConversionJob> jobs;
    for (int i = 0; i < form.SelectList->count(); ++i) {
        core::ConversionJob job;
        job.source = form.SelectList->item(i)->text();
        job.destination = AddPathSep(form.SelectFolderText[2]->text()) + ExtractFileName(job.source);
        job.bitRate = bitRate;
        job.channelMode = channelMode;
        jobs << job;
    }
    return std::make_unique<core::WorkerPool>(program, form.SelectFolderText[1]->text(), form.Jobs, jobs);
}

// The file at `index` as its worker finished it: shown while it is under way, placed in the destination
// when it is the run's turn, its failure shown as the window's own conversion would show it.
void finishFromWorker(MainForm& form, core::WorkerPool& workers, int index, const QString& source) {
    WindowSink sink(form);
    core::Outcome outcome = workers.waitFor(index, sink);
    if (outcome.converted())
        outcome = workers.place(index);
    showOutcome(form, outcome, source);
}

// Before any work: the destination must be able to take the files, and replacing the originals with
// their re-encodes is allowed but never silent.
bool destinationAgreed(MainForm& form) {
    const QString folder = form.SelectFolderText[2]->text();
    if (form.SelectList->count() == 0)
        return true;
    if (const QString problem = core::destinationProblem(folder); !problem.isEmpty()) {
        form.dialogs().message(&form, form.program().title,
                               QStringLiteral("変換ファイルの作成に失敗しました。\r") + folder +
                                   QLatin1Char('\r') + problem,
                               Dialogs::Icon::Critical);
        return false;
    }
    for (int i = 0; i < form.SelectList->count(); ++i) {
        if (core::isFolderOf(folder, form.SelectList->item(i)->text()))
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

void MainForm::ConvertStart_Click() {
    EnableControls(false);

    // A click while a run lets window events run is a request to stop it. Disabling the button keeps a
    // second click from arriving; the running file sees the flag and cleans up.
    if (ConvertStart->text() == StopCaption) {
        EnableControls(false);
        CancelFlag = -1;
        return;
    }
    // Work folders that killed runs left behind go now; those of runs still alive stay.
    core::RunFolder::reclaim(SelectFolderText[1]->text());
    if (!destinationAgreed(*this)) {
        EnableControls(true);
        return;
    }
    ConvertStart->setText(StopCaption);
    ConvertStart->setToolTip(QStringLiteral("処理を中止します。"));
    ConvertStart->setEnabled(true);
    CancelFlag = 0;

    int bitRate = 0;
    for (int i = 0; i < int(Bits.size()); ++i) {
        if (Bits[i]->isChecked()) {
            bitRate = BitRates[i];
            break;
        }
    }
    int channelMode = 0;
    for (int i = 0; i < int(Stereo.size()); ++i) {
        if (Stereo[i]->isChecked()) {
            channelMode = i;
            break;
        }
    }

    const int last = SelectList->count() - 1;
    std::unique_ptr<core::WorkerPool> workers = startWorkers(*this, bitRate, channelMode);
    for (int index = 0; index <= last; ++index) {
        NowCount->setText(QString::number(index + 1) + QLatin1Char('/') +
                          QString::number(SelectList->count()));
        setWindowTitle(QStringLiteral("コンバート中 [") + NowCount->text() + QLatin1Char(']'));
        const QString source = SelectList->item(index)->text();
        const QString destination = AddPathSep(SelectFolderText[2]->text()) + ExtractFileName(source);
        if (workers)
            finishFromWorker(*this, *workers, index, source);
        else
            ConvertFile(source, destination, bitRate, channelMode);
        GetDiskFree();
        if (CancelFlag == -1)
            break;
    }
    // Whatever the workers did beyond the file the run reached is dropped with them.
    workers.reset();

    if (CancelFlag == 0)
        AllRemove_Click();
    setWindowTitle(m_program.mainCaption());
    ConvertStart->setText(StartCaption);
    ConvertStart->setToolTip(StartCaption);
    Msg->clear();
    NowCount->clear();
    Prog->clear();
    EnableControls(true);
}
