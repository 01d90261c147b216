// One file's conversion in the window: the core converts, the window shows the percentage and the song,
// lets its events run at the core's pauses, passes on a click on "中止", and turns the outcome into its
// message box.

#include "conversion/WindowConversion.h"
#include "core/Converter.h"
#include "core/OutcomeText.h"
#include "shell/Dialogs.h"
#include "shell/MainForm.h"
#include "shell/PathHelpers.h"

#include <QCoreApplication>
#include <QLineEdit>
#include <QPlainTextEdit>

namespace {

const QString CRLF = QStringLiteral("\r\n");

} // namespace

void WindowSink::started() {
    m_form.Prog->setText(QStringLiteral("0%"));
}

void WindowSink::decoding(const QString& songText) {
    m_form.Prog->setText(QStringLiteral("0%"));
    m_form.Msg->setPlainText(QStringLiteral(" .. コンバート中..  ") + CRLF + songText);
}

void WindowSink::progress(int percent) {
    m_form.Prog->setText(QString::number(percent) + QLatin1Char('%'));
    QCoreApplication::processEvents();
}

void WindowSink::pause() {
    QCoreApplication::processEvents();
}

bool WindowSink::cancelRequested() {
    return m_form.CancelFlag == -1;
}

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
    // A failed copy stops the run after this file.
    if (outcome.failure == core::Failure::CopyFailed)
        form.CancelFlag = -1;
}

void MainForm::ConvertFile(const QString& sourcePath, const QString& destinationPath, int bitRate,
                           int channelMode) {
    core::ConversionJob job;
    job.source = sourcePath;
    job.destination = destinationPath;
    // The work folder is read as each work file name is formed, so it is read once the file starts.
    job.workFolder = SelectFolderText[1]->text();
    job.bitRate = bitRate;
    job.channelMode = channelMode;
    WindowSink sink(*this);
    const core::Outcome outcome = core::Converter(job, sink).run();
    showOutcome(*this, outcome, sourcePath);
}
