// The start/stop button: the queue becomes a conversion run, whose progress the panel shows with the
// running count in the window's caption, and the button serves as the stop button while the run lasts.

#include "conversion/ConversionPanel.h"

#include "core/convert/Converter.h"
#include "core/convert/EncodingChoices.h"
#include "core/convert/OutcomeText.h"
#include "core/files/DestinationCheck.h"
#include "core/files/FileHelpers.h"
#include "core/models/ConversionQueue.h"
#include "core/run/LibraryRun.h"
#include "core/text/TextConstants.h"
#include "ui/Dialogs.h"
#include "ui/FormLayout.h"
#include "ui/ListTexts.h"
#include "ui/PathHelpers.h"
#include "ui/ProgramInfo.h"

#include <QCoreApplication>
#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QScopeGuard>
#include <algorithm>

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

// Failures found before anything is opened leave the hourglass as it is; every other message box of a
// run shows the normal pointer over the busy window.
bool switchesPointer(core::Failure failure) {
    return failure != core::Failure::EncoderUnavailable && failure != core::Failure::DecoderSetUp;
}

// The work folder's and the encoder's own errors are warnings the user can act on; the rest are critical.
Dialogs::Icon iconOf(core::Failure failure) {
    return failure == core::Failure::WorkFileUnopenable || failure == core::Failure::FrameError
               ? Dialogs::Icon::Exclamation
               : Dialogs::Icon::Critical;
}

// The outcome's message box, with the pointer switched around it where the failure asks for it.
void showOutcome(const PanelContext& context, const core::Outcome& outcome, const QString& source) {
    const core::OutcomeMessage message = core::outcomeMessage(outcome, source);
    if (!message.shown)
        return;
    const bool switchPointer = switchesPointer(message.failure);
    if (switchPointer)
        context.window.setCursor(Qt::ArrowCursor);
    context.dialogs.message(&context.window, context.program.title, message.text, iconOf(message.failure));
    if (switchPointer)
        context.window.setCursor(Qt::WaitCursor);
}

// Before any work: the destination must be able to take the files, and replacing the originals with
// their re-encodes is allowed but never silent.
bool destinationAgreed(const PanelContext& context, const core::RunRequest& request) {
    if (request.sources.isEmpty())
        return true;
    const QString& folder = request.destination;
    if (const core::Result ready = core::checkDestinationFolder(folder); !ready) {
        context.showError(core::DestinationFailedText + QLatin1Char('\r') + folder + QLatin1Char('\r') +
                          ready.reason());
        return false;
    }
    // The queue's outputs all go into the destination folder itself, so a source there would be replaced;
    // no plan of the whole run is needed to tell.
    const auto inDestination = [&](const QString& source) { return core::isFolderOf(folder, source); };
    if (std::any_of(request.sources.cbegin(), request.sources.cend(), inDestination))
        return context.dialogs.confirm(
            &context.window, context.program.title,
            QStringLiteral(
                "変換先フォルダ %1 に変換するファイルの元のファイルがあります。\r元のファイルは変換後の"
                "ファイルで置き換えられます。\r宜しいですか?")
                .arg(folder));
    return true;
}

} // namespace

ConversionPanel::ConversionPanel(const PanelContext& context, const core::ConversionQueue& queue)
    : m_context(context), m_queue(queue),
      SelectFolderText(ui::childNamed<QLineEdit>(&context.window, "SelectFolderText(1)")),
      SelctFolder(ui::childNamed<QPushButton>(&context.window, "SelctFolder(1)")),
      Bits(ui::childrenNamed<QRadioButton, core::BitRates.size()>(&context.window, "Bits")),
      Stereo(ui::childrenNamed<QRadioButton, core::ChannelModeCount>(&context.window, "Stereo")),
      TempFree(ui::childNamed<QLabel>(&context.window, "TempFree")),
      Msg(ui::childNamed<QPlainTextEdit>(&context.window, "Msg")),
      Prog(ui::childNamed<QLineEdit>(&context.window, "Prog")),
      NowCount(ui::childNamed<QLineEdit>(&context.window, "NowCount")),
      ConvertStart(ui::childNamed<QPushButton>(&context.window, "ConvertStart")) {
    m_context.onClick(SelctFolder, this, [this] { SelctFolder_Click(); });
    m_context.onClick(ConvertStart, this, [this] { ConvertStart_Click(); });
}

QString ConversionPanel::workFolder() const {
    return SelectFolderText->text();
}

void ConversionPanel::setWorkFolder(const QString& folder) {
    SelectFolderText->setText(folder);
}

int ConversionPanel::bitRateIndex() const {
    return checkedIndex(Bits);
}

void ConversionPanel::setBitRateIndex(int index) {
    Bits[index]->setChecked(true);
}

int ConversionPanel::channelModeIndex() const {
    return checkedIndex(Stereo);
}

void ConversionPanel::setChannelModeIndex(int index) {
    Stereo[index]->setChecked(true);
}

void ConversionPanel::setWorkers(int jobs, const QString& program) {
    m_jobs = jobs;
    m_workerProgram = program;
}

void ConversionPanel::stop() {
    if (m_run)
        m_run->cancel();
}

void ConversionPanel::showWorkSpace(const std::optional<core::VolumeSpace>& destination) {
    // The work label must never keep the figure of a volume the work folder has left.
    const std::optional<core::VolumeSpace> work = core::volumeOf(SelectFolderText->text());
    if (work && destination && destination->rootPath == work->rootPath)
        TempFree->setText(ui::workFreeText(destination->bytesAvailable));
    else if (work)
        TempFree->setText(ui::workFreeText(work->bytesAvailable));
}

void ConversionPanel::SelctFolder_Click() {
    if (m_context.chooseFolder(SelectFolderText, SelctFolder))
        emit workFolderChosen();
}

void ConversionPanel::ConvertStart_Click() {
    m_context.busy.EnableControls(false);

    // A click while a run lets window events run is a request to stop it. Disabling the button keeps a
    // second click from arriving; the running file sees the request and cleans up.
    if (ConvertStart->text() == StopCaption) {
        stop();
        return;
    }
    const core::RunRequest request = runRequest();
    if (!destinationAgreed(m_context, request)) {
        m_context.busy.EnableControls(true);
        return;
    }
    ConvertStart->setText(StopCaption);
    ConvertStart->setToolTip(QStringLiteral("処理を中止します。"));
    ConvertStart->setEnabled(true);

    core::LibraryRun run(request);
    m_run = &run;
    // What a converted file lost on the way (a damaged ID3v2 tag), shown once the run has ended.
    QStringList notes;
    // Whatever way the run ends (a failure inside it too), no click may reach it afterwards and the
    // panel returns to its idle look: a button left reading "中止" would stop nothing ever again.
    const auto endRun = qScopeGuard([this, &notes] {
        m_run = nullptr;
        m_context.window.setWindowTitle(m_context.program.mainCaption());
        ConvertStart->setText(StartCaption);
        ConvertStart->setToolTip(StartCaption);
        Msg->clear();
        NowCount->clear();
        Prog->clear();
        if (!notes.isEmpty())
            Msg->setPlainText(notes.join(core::CRLF));
        m_context.busy.EnableControls(true);
    });
    showProgressOf(run);
    connect(&run, &core::LibraryRun::fileFinished, this,
            [this, &run, &notes](int index, const core::Outcome& outcome) {
                const QString& source = run.jobs()[index].source;
                showOutcome(m_context, outcome, source);
                if (outcome.converted() && core::notesDamagedId3v2(outcome))
                    notes << QStringLiteral(
                                 "注意：%1 は ID3v2 タグが壊れているため、ID3v2 タグを引き継げませんでした。")
                                 .arg(ExtractFileName(source));
                emit fileDone(run.jobs()[index].destination, outcome.converted());
            });
    // A refusal has been said in the message boxes of the files it concerns; the summary says the rest.
    const core::RunResult result = run.run();
    emit runEnded(result.summary);

    if (!run.stopRequested())
        emit queueConverted();
}

core::RunRequest ConversionPanel::runRequest() const {
    core::RunRequest request;
    request.sources = m_queue.paths();
    request.destination = m_destinationFolder;
    const int bits = checkedIndex(Bits);
    request.bitRate = bits >= 0 ? core::BitRates[bits] : 0;
    request.channelMode = qMax(0, checkedIndex(Stereo));
    request.options = m_options;
    // The window's queue is what the user chose to convert: existing files are replaced, and replacing
    // the originals is asked about before the run.
    request.overwrite = true;
    request.inPlace = true;
    request.workers = m_jobs;
    request.workerProgram =
        m_workerProgram.isEmpty()
            ? QDir(QCoreApplication::applicationDirPath()).filePath(QStringLiteral("mp3recast-cli"))
            : m_workerProgram;
    request.workFolder = SelectFolderText->text();
    request.stopOnFailedCopy = true;
    // A work folder that cannot take a run folder is used as it is: each conversion then names what is
    // wrong with it in its message box.
    request.workInBaseWithoutRunFolder = true;
    return request;
}

void ConversionPanel::showProgressOf(core::LibraryRun& run) {
    connect(&run, &core::LibraryRun::fileStarted, this, [this, &run](int index) {
        NowCount->setText(QString::number(index + 1) + QLatin1Char('/') + QString::number(run.jobs().size()));
        m_context.window.setWindowTitle(QStringLiteral("コンバート中 [") + NowCount->text() +
                                        QLatin1Char(']'));
    });
    connect(&run, &core::LibraryRun::converting, this, [this] { Prog->setText(QStringLiteral("0%")); });
    connect(&run, &core::LibraryRun::decoding, this, [this](int, const QString& songText) {
        Prog->setText(QStringLiteral("0%"));
        Msg->setPlainText(QStringLiteral(" .. コンバート中..  ") + core::CRLF + songText);
    });
    // The window's events run whenever the shown percentage changes and at the converter's pauses.
    connect(&run, &core::LibraryRun::progress, this, [this](int, int percent) {
        Prog->setText(QString::number(percent) + QLatin1Char('%'));
        QCoreApplication::processEvents();
    });
    connect(&run, &core::LibraryRun::paused, this, [] { QCoreApplication::processEvents(); });
}
