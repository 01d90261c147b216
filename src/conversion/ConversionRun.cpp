// The conversion run: every queued file in turn, with the running count in the window, and the start
// button serving as the stop button while the run lasts.

#include "conversion/FileHelpers.h"
#include "shell/MainForm.h"
#include "shell/PathHelpers.h"

#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>

namespace {

const QString StopCaption = QStringLiteral("中止");
const QString StartCaption = QStringLiteral("変換開始");

constexpr int BitRates[14] = {32, 40, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320};

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
    for (int index = 0; index <= last; ++index) {
        NowCount->setText(QString::number(index + 1) + QLatin1Char('/') +
                          QString::number(SelectList->count()));
        setWindowTitle(QStringLiteral("コンバート中 [") + NowCount->text() + QLatin1Char(']'));
        const QString source = SelectList->item(index)->text();
        const QString destination = AddPathSep(SelectFolderText[2]->text()) + ExtractFileName(source);
        ConvertFile(source, destination, bitRate, channelMode);
        GetDiskFree();
        if (CancelFlag == -1)
            break;
    }

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
